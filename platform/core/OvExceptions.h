#pragma once
// Exceptions of the application framework. Every error the user must see is one of
// these, carrying an Italian text; programming errors are EAssertionFailed.
#include <QString>
#include <exception>

class EOvException : public std::exception
{
public:
    explicit EOvException(QString message, int code = 0)
        : m_message(std::move(message)), m_code(code), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    int code() const { return m_code; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    int m_code;
    QByteArray m_utf8;
};

// Framework error shown in an error box.
class EOvError : public EOvException
{
public:
    using EOvException::EOvException;
};

// Framework warning shown in a warning box.
class EOvWarning : public EOvException
{
public:
    using EOvException::EOvException;
};

// A broken promise inside the program (a missing query, a missing field...).
class EAssertionFailed : public EOvException
{
public:
    using EOvException::EOvException;
};

// Errors of datasets and of the database (malformed filter, unknown field,
// unreadable file, statement refused by the server).
class EDatabaseError : public EOvException
{
public:
    using EOvException::EOvException;
};

// The connection to the database server was lost (the server stopped, the
// network fell, an administrator ended the session): no statement of this
// connection can succeed any more. A run stops at it instead of failing every
// payee that follows. The text is the office's, never the driver's.
class EOvConnectionLost : public EDatabaseError
{
public:
    EOvConnectionLost()
        : EDatabaseError(QStringLiteral("Il server del database non è raggiungibile: la connessione si è "
                                        "interrotta. Verificare che il server sia acceso e raggiungibile in rete, "
                                        "poi ripetere l'operazione."))
    {
    }
};

// Silent abort: stops an operation (for example a post refused by a handler
// that already told the user why) without any message.
class EAbort : public EOvException
{
public:
    EAbort() : EOvException(QStringLiteral("Operazione annullata")) {}
};
