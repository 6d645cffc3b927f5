#include "StoreFaults.h"

#include "TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSchemaInstaller.h"
#include "src/prj/unit/model/VelStructureSeed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>

namespace StoreFaults {

qint64 copyMs = 0;

Fault::Fault(TOvSQLConnection &c, qint64 failAt) : m_c(&c), m_failAt(failAt)
{
    c.setStatementFault([this](const QString &sql) {
        m_texts << sql;
        if (++m_count != m_failAt)
            return false;
        m_fired = true;
        return true;
    });
}

Fault::~Fault()
{
    remove();
}

void Fault::remove()
{
    if (m_c)
        m_c->setStatementFault({});
    m_c = nullptr;
}

QList<qint64> points(const QStringList &texts, int budget)
{
    QSet<qint64> chosen;
    QSet<QString> kinds;
    for (qsizetype i = 0; i < texts.size(); ++i)
        if (!kinds.contains(texts.at(i))) {
            kinds.insert(texts.at(i));
            chosen.insert(i + 1);
        }
    const qint64 total = texts.size();
    const qint64 target = std::min<qint64>(budget, total);
    const qint64 more = std::max<qint64>(0, budget - chosen.size());
    if (more > 0) {
        const double step = std::max(1.0, double(total) / double(more));
        for (double n = 1; n <= double(total); n += step)
            chosen.insert(qint64(n));
        // the points the kinds already took: between the others, then the first gaps
        for (double n = 1 + step / 2; qint64(chosen.size()) < target && n <= double(total); n += step)
            chosen.insert(qint64(n));
        for (qint64 n = 1; qint64(chosen.size()) < target && n <= total; ++n)
            chosen.insert(n);
    }
    chosen.insert(total); // the last one: the run's final COMMIT
    QList<qint64> out(chosen.cbegin(), chosen.cend());
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

void admin(const QString &sql)
{
    TOvSQLConnection c(TestDb::serverConfig());
    c.openOrThrow();
    c.exec(sql);
}

} // namespace

Copies::Copies(const std::function<void(TOvSQLConnection &)> &prepare)
{
    static int made = 0;
    ++made;
    const qint64 pid = QCoreApplication::applicationPid();
    if (TestDb::isPostgres()) {
        m_source = QStringLiteral("velcu_sweep%1_%2_src").arg(pid).arg(made);
        m_work = QStringLiteral("velcu_sweep%1_%2").arg(pid).arg(made);
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_source));
        admin(QStringLiteral("CREATE DATABASE %1").arg(m_source));
        m_config = TestDb::serverConfig();
        m_config.database = m_source;
    } else {
        if (!folder().isValid())
            throw EOvError(QStringLiteral("Cartella temporanea non disponibile."));
        m_source = folder().filePath(QStringLiteral("sorgente-%1.sqlite").arg(made));
        m_work = folder().filePath(QStringLiteral("copia-%1.sqlite").arg(made));
        m_config.engine = TOvDbEngine::SQLite;
        m_config.path = m_source;
    }
    TOvSQLConnection c(m_config);
    c.setCreateIfMissing(true);
    c.openOrThrow();
    TOvSchemaInstaller(c, TestDb::sqlDir()).install(true);
    seedStructures(c, QStringLiteral("vel"), 2025);
    prepare(c);
    if (c.isSQLite())
        c.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    if (TestDb::isPostgres())
        m_config.database = m_work;
    else
        m_config.path = m_work;
}

Copies::~Copies()
{
    if (!TestDb::isPostgres())
        return;
    try {
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_work));
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_source));
    } catch (...) {
        // the throw-away server goes with its folder
    }
}

std::unique_ptr<TOvSQLConnection> Copies::fresh()
{
    QElapsedTimer clock;
    clock.start();
    struct Count
    {
        QElapsedTimer &clock;
        ~Count() { StoreFaults::copyMs += clock.elapsed(); }
    } count{clock};
    if (TestDb::isPostgres()) {
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_work));
        admin(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(m_work, m_source));
    } else {
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(m_work + suffix);
        if (!QFile::copy(m_source, m_work))
            throw EOvError(QStringLiteral("Copia del database di prova non riuscita."));
    }
    auto c = std::make_unique<TOvSQLConnection>(m_config);
    c->openOrThrow();
    return c;
}

QString integrity(TOvSQLConnection &c)
{
    if (!c.isSQLite())
        return QStringLiteral("ok");
    QSqlQuery q = c.exec(QStringLiteral("PRAGMA integrity_check"));
    return q.next() ? q.value(0).toString() : QStringLiteral("?");
}

namespace {

const char *const kStructures[] = {"TCUD_DATICUD",       "TCUDI_INPS", "TCUDN_INPDAP",     "TCUIN_INAIL",
                                   "TCUDAE_ALTRIENTI",   "TCUDT_TFR",  "TCUDA_ANNOTAZIONI", "TASE_AUTSOMMEEROGATE",
                                   "TCUDC_CONFAMCARICO"};

bool left(const QString &name)
{
    return name.compare(QLatin1String("iAfiID"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("iFisRigo"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("DCUDDATIANADATA"), Qt::CaseInsensitive) == 0
           || name.endsWith(QLatin1String("VERSIONE"), Qt::CaseInsensitive)
           || name.endsWith(QLatin1String("VERSION"), Qt::CaseInsensitive);
}

QString keyOf(TClientDataSet &ds)
{
    return ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString().toUpper() + QLatin1Char('/')
           + ds.fieldByName(QStringLiteral("SCUDMESE")).asString();
}

} // namespace

QMap<QString, QString> cus(TTorDBCds &store)
{
    QHash<qint64, QString> keys;
    QMap<qint64, QStringList> parts;
    for (const char *structure : kStructures) {
        TClientDataSet ds;
        store.Load(ds, QString::fromLatin1(structure), TTorDBCds::AllMonths);
        const bool main = qstrcmp(structure, "TCUD_DATICUD") == 0;
        for (ds.first(); !ds.eof(); ds.next()) {
            const qint64 afi = ds.fieldByName(QStringLiteral("iAfiID")).asInteger();
            QStringList values;
            for (int i = 0; i < ds.fieldCount(); ++i) {
                const QString name = ds.fieldDefs().at(i).name;
                if (!left(name) && !ds.field(i).isNull())
                    values << name + QLatin1Char('=') + ds.field(i).asString();
            }
            if (main)
                keys.insert(afi, keyOf(ds));
            parts[afi] << QString::fromLatin1(structure) + QLatin1Char(':') + values.join(QLatin1Char(';'));
        }
    }
    QMap<QString, QString> out;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        it.value().sort();
        out.insert(keys.value(it.key(), QStringLiteral("senza CU %1").arg(it.key())), it.value().join(QLatin1Char('\n')));
    }
    return out;
}

QStringList cusWhere(TTorDBCds &store, const char *field, const QString &value)
{
    TClientDataSet ds;
    store.Load(ds, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        if (ds.fieldByName(QLatin1String(field)).asString() == value)
            out << keyOf(ds);
    out.sort();
    return out;
}

} // namespace StoreFaults
