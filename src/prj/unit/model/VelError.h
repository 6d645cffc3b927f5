#pragma once
// The engines' error: the Italian text the office reads, plus where it
// happened: the file, the payee, the stage of the run and a code. A run's
// outcome takes the stage and the payee from here, a log line the file, a test
// the code, and nobody has to read them back out of the text.
//
// It is an EOvError, so every window and the command line show it as before
// (the text alone); the context travels beside it.
//
//   throw EVelError(QStringLiteral("Salvataggio non riuscito"),
//                   {TVelErrorCode::Scrittura, path, TVelStage::Conferma});
#include "platform/core/OvExceptions.h"
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QString>

#include <optional>

// What kind of failure: what a caller can act on, not the wording.
enum class TVelErrorCode {
    Generico,        // none of those below
    ModelloStampa,   // a PDF model or layout missing or unreadable
    OperazionePdf,   // a PDF workspace operation refused (the workspace's own code in `detail`)
    Scrittura,       // a file could not be written or renamed
    Fornitura,       // the supply refused by its pre-check or by the checker
    Archivio,        // the fiscal store refused a read or a write
    DatoNonValido,   // a value that does not fit its box
};

struct TVelErrorContext
{
    TVelErrorContext(TVelErrorCode c = TVelErrorCode::Generico, QString f = QString(),
                     std::optional<TVelStage> s = std::nullopt, int d = 0)
        : code(c), file(std::move(f)), stage(s), detail(d)
    {
    }

    TVelErrorCode code = TVelErrorCode::Generico;
    QString file;                       // the file concerned, when there is one
    QString codFis;                     // the payee concerned, when there is one
    std::optional<TVelStage> stage;     // how far the payee had got
    int detail = 0;                     // the lower layer's own code (the PDF workspace's result...)
};

class EVelError : public EOvError
{
public:
    EVelError(QString message, TVelErrorContext context)
        : EOvError(std::move(message), int(context.code)), m_context(std::move(context))
    {
    }

    const TVelErrorContext &context() const { return m_context; }
    TVelErrorCode errorCode() const { return m_context.code; }

    // The same error with the payee (or the file) filled in by the caller that
    // knows it; what the thrower knew is kept.
    EVelError withPayee(const QString &codFis) const
    {
        EVelError e(*this);
        if (e.m_context.codFis.isEmpty())
            e.m_context.codFis = codFis;
        return e;
    }
    EVelError withFile(const QString &file) const
    {
        EVelError e(*this);
        if (e.m_context.file.isEmpty())
            e.m_context.file = file;
        return e;
    }

    // "text (file: X, codice fiscale: Y)" for a log: the text followed by the
    // context that is known.
    QString detailed() const
    {
        QStringList where;
        if (!m_context.file.isEmpty())
            where << QStringLiteral("file: %1").arg(m_context.file);
        if (!m_context.codFis.isEmpty())
            where << QStringLiteral("codice fiscale: %1").arg(m_context.codFis);
        return where.isEmpty() ? message() : QStringLiteral("%1 (%2)").arg(message(), where.join(QStringLiteral(", ")));
    }

    // Writes the error into a payee's outcome: failed, at the stage the error
    // names (or the one the payee had reached), with the text as the reason.
    void record(TVelPayeeOutcome &payee) const
    {
        payee.result = TVelResult::Errore;
        if (m_context.stage)
            payee.stage = *m_context.stage;
        payee.reason = message();
    }

private:
    TVelErrorContext m_context;
};
