// A store made by the previous release, opened by this one: the database of
// tests/fixtures/store-6.97.29/, made once by the build of 6.97.29 with the
// README's campaign (velcu-db create --demo, import --mese 12 --inpdap
// uniemens, sostituto --imposta SSOSFIRMACOM, stampa --sintetico --cf of two
// payees, which locks their CUs), and the store as that version read it
// (store.txt; VELCU_FIXTURE_RECORD=1 writes it, once, with the fixture).
//
// This version brings the file up to date at its first start
// (VelSchemaUpdate) and finds everything as it was: every stored row, and
// every CU with its lock and annotations.
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/shell/VelSchemaUpdate.h"
#include "tor/store/torUDBCds.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kFixture = QStringLiteral(VELCU_SOURCE_DIR "/tests/fixtures/store-6.97.29/");

QString fixtureText(const QString &name)
{
    QFile f(kFixture + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Every row of the store's tables, in key order, all columns.
QStringList storeRows(const TOvDbConfig &config)
{
    TOvSQLConnection conn(config);
    conn.openOrThrow();
    QStringList out;
    for (const char *table : {"tcds_struttura", "tcrf_crofiscale", "tafi_anafiscale", "tfis_datifiscali"}) {
        QSqlQuery q = conn.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2, 3").arg(QLatin1String(table)));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                // the CUs' versions, which the upgrade adds (checked apart)
                if (q.record().fieldName(i) != QLatin1String("iafiversione"))
                    values << q.record().fieldName(i) + QLatin1Char('=') + q.value(i).toString();
            out << QLatin1String(table) + QLatin1Char(' ') + values.join(QLatin1Char('|'));
        }
    }
    return out;
}

// The CUs and the agent's data as the program reads them from the store: one
// line per value, "structure key FIELD=value" for every field that holds one.
QStringList storeView(TOvSQLConnection *conn)
{
    auto store = TestStore::open(conn);
    QStringList out;
    for (const QString &structure : {QStringLiteral("TCUD_DATICUD"), QStringLiteral("TCUS_DATISOST")}) {
        TClientDataSet ds;
        store->Load(ds, structure, TTorDBCds::AllMonths);
        const bool cu = structure == QLatin1String("TCUD_DATICUD");
        for (ds.first(); !ds.eof(); ds.next()) {
            const QString key = structure + QLatin1Char(' ')
                                + (cu ? ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() + QLatin1Char('|')
                                            + ds.fieldByName(QStringLiteral("SCUDMESE")).asString()
                                      : QStringLiteral("sostituto"));
            for (int i = 0; i < ds.fieldCount(); ++i)
                if (!ds.field(i).isNull() && !ds.field(i).asString().isEmpty())
                    out << key + QLatin1Char(' ') + ds.fieldDefs().at(i).name.toUpper() + QLatin1Char('=')
                               + ds.field(i).asString().replace(QLatin1Char('\r'), QStringLiteral("\\r"))
                                     .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        }
    }
    out.sort();
    return out;
}

} // namespace

class TstStoreUpgrade : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    TOvDbConfig m_db;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_db.engine = TOvDbEngine::SQLite;
        m_db.path = m_dir.filePath(QStringLiteral("velcu-demo.sqlite"));
        QVERIFY(QFile::copy(kFixture + QStringLiteral("velcu-demo.sqlite"), m_db.path));
        QFile::setPermissions(m_db.path, QFile::ReadOwner | QFile::WriteOwner);
    }

    void theFirstStartKeepsEveryStoredRow()
    {
        const QStringList before = storeRows(m_db);
        QVERIFY(before.size() > 1000);
        // what the program does at its first start on the file, with the
        // scripts of this version and one a later version adds
        const QString sql = m_dir.filePath(QStringLiteral("sql"));
        QVERIFY(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), TestDb::sqlDir(), sql}) == 0);
        QFile later(sql + QStringLiteral("/990_versione_successiva.sql"));
        QVERIFY(later.open(QIODevice::WriteOnly));
        later.write("CREATE TABLE IF NOT EXISTS tprova_successiva (x INTEGER);\n");
        later.close();
        const QString said = VelSchemaUpdate::bringUpToDate(m_db, sql);
        QVERIFY2(said.contains(QStringLiteral("versione precedente del programma: aggiornato con")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("990_versione_successiva.sql")), qPrintable(said));
        const QStringList after = storeRows(m_db);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            QCOMPARE(after.at(i), before.at(i));
        {
            // every stored person starts at version 1
            TOvSQLConnection conn(m_db);
            conn.openOrThrow();
            QSqlQuery q = conn.exec(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN iafiversione = 1 THEN 1 ELSE 0 END) "
                                                   "FROM tafi_anafiscale"));
            QVERIFY(q.next());
            QVERIFY(q.value(0).toInt() > 0);
            QCOMPARE(q.value(1).toInt(), q.value(0).toInt());
        }
        // and once up to date, nothing more to do nor to say
        QCOMPARE(VelSchemaUpdate::bringUpToDate(m_db, sql), QString());
    }

    // Every CU with its lock (iCudStato) and annotations, and the agent's
    // data, as the earlier version read them: each value it found is found.
    // A field a newer record model adds may hold values of its own.
    void theCusTheirLocksAndAnnotationsAreAsTheyWere()
    {
        TOvSQLConnection conn(m_db);
        conn.openOrThrow();
        const QStringList now = storeView(&conn);
        if (qEnvironmentVariableIntValue("VELCU_FIXTURE_RECORD") == 1) {
            QFile out(kFixture + QStringLiteral("store.txt"));
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(now.join(QLatin1Char('\n')).toUtf8() + '\n');
            return;
        }
        const QStringList expected = fixtureText(QStringLiteral("store.txt")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(expected.size() > 1000);
        const QSet<QString> found(now.begin(), now.end());
        for (const QString &line : expected)
            QVERIFY2(found.contains(line), qPrintable(QStringLiteral("lost: ") + line));
        // the fixture's campaign printed two CUs: both still locked
        static const QRegularExpression locked(QStringLiteral(" ICUDSTATO=1$"));
        QCOMPARE(expected.filter(locked).size(), 2);
        QCOMPARE(now.filter(locked).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TstStoreUpgrade)
#include "tst_store_upgrade.moc"
