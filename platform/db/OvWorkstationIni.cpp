#include "platform/db/OvWorkstationIni.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace TOvWorkstationIni {

bool nothingConfigured(const TOvDbConfig &config)
{
    return config.iniFile.isEmpty() && config.isSQLite()
           && QFileInfo(config.path).absoluteFilePath() == QFileInfo(TOvDbConfig::defaultSqlitePath()).absoluteFilePath()
           && !QFileInfo::exists(config.path);
}

QString problem(const Server &s)
{
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9._:-]+$"));
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    static const QRegularExpression user(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.@-]{0,62}$"));
    if (s.host.trimmed().isEmpty())
        return QStringLiteral("Indicare il server (nome o indirizzo).");
    if (!host.match(s.host.trimmed()).hasMatch())
        return QStringLiteral("Server non valido: \"%1\" (un nome o un indirizzo, senza spazi).").arg(s.host);
    if (s.port < 1 || s.port > 65535)
        return QStringLiteral("Porta non valida: %1 (da 1 a 65535).").arg(s.port);
    if (!name.match(s.database.trimmed()).hasMatch())
        return QStringLiteral("Nome del database non valido: \"%1\".").arg(s.database);
    if (!user.match(s.user.trimmed()).hasMatch())
        return QStringLiteral("Utente non valido: \"%1\".").arg(s.user);
    if (s.password.contains(QLatin1Char('\n')) || s.password.contains(QLatin1Char('\r')))
        return QStringLiteral("La password non può contenere un a capo.");
    return QString();
}

TOvDbConfig config(const Server &s)
{
    TOvDbConfig c;
    c.engine = TOvDbEngine::PostgreSQL;
    c.host = s.host.trimmed();
    c.port = s.port;
    c.database = s.database.trimmed();
    c.user = s.user.trimmed();
    c.password = s.password;
    return c;
}

void write(const QString &file, const Server &s)
{
    if (const QString why = problem(s); !why.isEmpty())
        throw EOvError(why);
    QByteArray text = "; Postazione dell'ufficio: il database sul server PostgreSQL.\n"
                      "; La password si indica nella variabile VELCU_DB_PASSWORD, oppure qui\n"
                      "; (chiave Password) finché il file resta leggibile dal solo proprietario.\n"
                      "[Database]\nEngine=postgres\n";
    text += "Host=" + s.host.trimmed().toUtf8() + "\n";
    text += "Port=" + QByteArray::number(s.port) + "\n";
    text += "Name=" + s.database.trimmed().toUtf8() + "\n";
    text += "User=" + s.user.trimmed().toUtf8() + "\n";
    if (!s.password.isEmpty())
        text += "Password=" + s.password.toUtf8() + "\n";
    if (QFileInfo::exists(file)) {
        // the software producer's code an office set here stays
        QSettings old(file, QSettings::IniFormat);
        old.beginGroup(QStringLiteral("FileTelematico"));
        const QStringList keys = old.childKeys();
        if (!keys.isEmpty()) {
            text += "\n[FileTelematico]\n";
            for (const QString &k : keys)
                text += k.toUtf8() + "=" + old.value(k).toString().toUtf8() + "\n";
        }
    }
    ovMakePath(QFileInfo(file).absolutePath());
    TOvSafeFile::writeFile(file, text, TOvSafeFile::Access::OwnerOnly);
}

} // namespace TOvWorkstationIni
