#include "platform/db/OvDbConfig.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

struct Setting
{
    const char *iniKey;
    const char *envName;
    const char *option;     // command-line option name, null when none
    const char *valueName;
    const char *help;
};

// One row per setting; the order is also the order of --help.
const Setting kSettings[] = {
    {"Engine", "VELCU_DB_ENGINE", "db-engine", "motore", "Motore del database: sqlite o postgres."},
    {"Path", "VELCU_DB_PATH", "db-path", "file", "File del database SQLite."},
    {"Host", "VELCU_DB_HOST", "db-host", "host", "Server PostgreSQL."},
    {"Port", "VELCU_DB_PORT", "db-port", "porta", "Porta del server PostgreSQL."},
    {"Name", "VELCU_DB_NAME", "db-name", "nome", "Nome del database PostgreSQL."},
    {"User", "VELCU_DB_USER", "db-user", "utente", "Utente PostgreSQL."},
    {"Options", "VELCU_DB_OPTIONS", "db-options", "opzioni", "Opzioni del driver (chiave=valore;...)."},
    {"Password", "VELCU_DB_PASSWORD", nullptr, nullptr, nullptr},
};

const char *const kConfigOption = "db-config";

struct Layered
{
    QString value;
    QString origin;   // for messages: where the value came from
    bool set = false;
};

void apply(TOvDbConfig &cfg, const QString &key, const Layered &v, const QString &iniDir)
{
    if (!v.set)
        return;
    if (key == QLatin1String("Engine")) {
        cfg.engine = TOvDbConfig::parseEngine(v.value, v.origin);
    } else if (key == QLatin1String("Path")) {
        QString p = v.value.trimmed();
        if (!p.isEmpty() && QDir::isRelativePath(p))
            p = QDir(iniDir.isEmpty() ? QDir::currentPath() : iniDir).absoluteFilePath(p);
        cfg.path = p.isEmpty() ? QString() : QDir::cleanPath(p);
    } else if (key == QLatin1String("Host")) {
        cfg.host = v.value.trimmed();
    } else if (key == QLatin1String("Port")) {
        bool ok = false;
        const int port = v.value.trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            throw EOvError(QStringLiteral("Porta del database non valida: \"%1\" (%2).")
                               .arg(v.value, v.origin));
        cfg.port = port;
    } else if (key == QLatin1String("Name")) {
        cfg.database = v.value.trimmed();
    } else if (key == QLatin1String("User")) {
        cfg.user = v.value.trimmed();
    } else if (key == QLatin1String("Options")) {
        // A password among the driver options would be read from any ini and
        // shown to every user by the process list.
        for (const QString &item : v.value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
            if (name.contains(QLatin1String("password"), Qt::CaseInsensitive)
                || name.compare(QLatin1String("passfile"), Qt::CaseInsensitive) == 0)
                throw EOvError(QStringLiteral("Le opzioni del driver (%1) non possono contenere la password "
                                              "del database (\"%2\"): indicarla nella variabile "
                                              "VELCU_DB_PASSWORD.").arg(v.origin, name));
        }
        cfg.connectOptions = v.value.trimmed();
    } else if (key == QLatin1String("Password")) {
        cfg.password = v.value;
    }
}

QString iniPassword(const QString &file, QSettings &ini)
{
    const QString pw = ini.value(QStringLiteral("Database/Password")).toString();
    if (pw.isEmpty())
        return pw;
    if (QFileInfo(file).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup))
        throw EOvError(QStringLiteral("Il file di configurazione \"%1\" contiene la password del database "
                                      "ma è leggibile da altri utenti: limitarne i permessi "
                                      "(chmod 600) oppure indicare la password nella variabile "
                                      "VELCU_DB_PASSWORD.").arg(file));
    return pw;
}

}

QString TOvDbConfig::engineName() const
{
    return isSQLite() ? QStringLiteral("sqlite") : QStringLiteral("postgres");
}

QString TOvDbConfig::driverName() const
{
    return isSQLite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString TOvDbConfig::effectiveUser() const
{
    if (!user.isEmpty())
        return user;
    const QString pgUser = qEnvironmentVariable("PGUSER");
    if (!pgUser.isEmpty())
        return pgUser;
    return qEnvironmentVariable("USER");
}

QString TOvDbConfig::describe() const
{
    if (isSQLite())
        return path;
    return QStringLiteral("%1@%2:%3/%4").arg(effectiveUser(), host).arg(port).arg(database);
}

TOvDbEngine TOvDbConfig::parseEngine(const QString &text, const QString &origin)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("sqlite") || t == QLatin1String("sqlite3") || t == QLatin1String("qsqlite"))
        return TOvDbEngine::SQLite;
    if (t == QLatin1String("postgres") || t == QLatin1String("postgresql") || t == QLatin1String("pg")
        || t == QLatin1String("qpsql"))
        return TOvDbEngine::PostgreSQL;
    throw EOvError(QStringLiteral("Motore di database sconosciuto: \"%1\" (%2). Valori ammessi: sqlite, postgres.")
                       .arg(text, origin));
}

QString TOvDbConfig::defaultSqlitePath()
{
    return InstallRoot::usrDir() + QStringLiteral("/velcu-demo.sqlite");
}

QString TOvDbConfig::defaultIniFile()
{
    return InstallRoot::binDir() + QStringLiteral("/velcu.ini");
}

namespace TOvDbOptions {

void addTo(QCommandLineParser &parser)
{
    for (const Setting &s : kSettings) {
        if (!s.option)
            continue;
        parser.addOption(QCommandLineOption(QString::fromLatin1(s.option), QString::fromUtf8(s.help),
                                            QString::fromLatin1(s.valueName)));
    }
    parser.addOption(QCommandLineOption(QString::fromLatin1(kConfigOption),
                                        QStringLiteral("File di configurazione (predefinito: bin/velcu.ini)."),
                                        QStringLiteral("file")));
}

TOvDbConfig resolve(const QCommandLineParser *parser, const QProcessEnvironment &env)
{
    auto optionSet = [parser](const char *name) {
        // isSet() on an option the parser does not know only warns; ask only for ours.
        return parser && parser->optionNames().contains(QString::fromLatin1(name));
    };

    TOvDbConfig cfg;
    cfg.path = TOvDbConfig::defaultSqlitePath();
    cfg.host = QStringLiteral("localhost");
    cfg.database = QStringLiteral("velcu");

    // Which ini: command line, then environment, then the default beside the program.
    QString iniFile;
    bool explicitIni = false;
    if (optionSet(kConfigOption)) {
        iniFile = parser->value(QString::fromLatin1(kConfigOption));
        explicitIni = true;
    } else if (!env.value(QStringLiteral("VELCU_DB_CONFIG")).isEmpty()) {
        iniFile = env.value(QStringLiteral("VELCU_DB_CONFIG"));
        explicitIni = true;
    } else {
        iniFile = TOvDbConfig::defaultIniFile();
    }

    if (QFileInfo::exists(iniFile)) {
        iniFile = QFileInfo(iniFile).absoluteFilePath();
        QSettings ini(iniFile, QSettings::IniFormat);
        if (ini.status() != QSettings::NoError)
            throw EOvError(QStringLiteral("Il file di configurazione \"%1\" non è leggibile.").arg(iniFile));
        cfg.iniFile = iniFile;
        const QString origin = QStringLiteral("file %1").arg(iniFile);
        for (const Setting &s : kSettings) {
            const QString key = QString::fromLatin1(s.iniKey);
            const QString fullKey = QStringLiteral("Database/") + key;
            if (!ini.contains(fullKey))
                continue;
            Layered v;
            v.set = true;
            v.origin = origin;
            v.value = key == QLatin1String("Password") ? iniPassword(iniFile, ini)
                                                        : ini.value(fullKey).toString();
            apply(cfg, key, v, InstallRoot::root());
        }
    } else if (explicitIni) {
        throw EOvError(QStringLiteral("File di configurazione non trovato: \"%1\".").arg(iniFile));
    }

    // PGPASSWORD is the weaker of the two password variables.
    if (env.contains(QStringLiteral("PGPASSWORD")) && !env.value(QStringLiteral("PGPASSWORD")).isEmpty())
        cfg.password = env.value(QStringLiteral("PGPASSWORD"));
    for (const Setting &s : kSettings) {
        const QString name = QString::fromLatin1(s.envName);
        if (!env.contains(name) || env.value(name).isEmpty())
            continue;
        Layered v{env.value(name), QStringLiteral("variabile %1").arg(name), true};
        apply(cfg, QString::fromLatin1(s.iniKey), v, QString());
    }

    if (parser) {
        for (const Setting &s : kSettings) {
            if (!s.option || !optionSet(s.option))
                continue;
            const QString opt = QString::fromLatin1(s.option);
            Layered v{parser->value(opt), QStringLiteral("opzione --%1").arg(opt), true};
            apply(cfg, QString::fromLatin1(s.iniKey), v, QString());
        }
    }
    return cfg;
}

}
