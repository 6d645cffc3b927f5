// A workstation killed in the middle of its saves (kill -9, twenty times)
// leaves an intact SQLite database in write-ahead-log mode and whole CUs:
// every CU saved has all its values, none has half of them.
//
// The same program is the writer: run with "--scrivi FILE" it saves CUs, one
// save each, until it is killed.
#include "support/KillSeed.h"
#include "support/TestDb.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/store/torUDBCds.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>

namespace {

// Values every CU of the writer carries, besides those kept in its person.
const int kValuesPerCu = 6;

TTorDBCds storeOn(TOvSQLConnection &c)
{
    TTorDBCds s;
    s.setConnection(&c);
    s.setProgram(QStringLiteral("vel"));
    s.setYear(2025);
    s.setMonth(TTorDBCds::AllMonths);
    s.setShowWait(false);
    return s;
}

int writer(const QString &path)
{
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::SQLite;
    cfg.path = path;
    TOvSQLConnection c(cfg);
    c.openOrThrow();
    TTorDBCds s = storeOn(c);
    TClientDataSet cu;
    s.Load(cu, QStringLiteral("TCUD_DATICUD"));
    // Each CU of its own tax code and month (the store holds one per key),
    // going on from what the killed writers left.
    for (int i = cu.recordCount();; ++i) {
        cu.append();
        cu.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H%1X").arg(i % 1000, 3, 10, QLatin1Char('0')));
        cu.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("%1").arg(1 + (i / 1000) % 12, 2, 10, QLatin1Char('0')));
        cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("ROSSI"));
        cu.fieldByName(QStringLiteral("SCUDNOME")).setAsString(QStringLiteral("MARIO"));
        cu.fieldByName(QStringLiteral("SCUDSEX")).setAsString(QStringLiteral("M"));
        cu.fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("RAVENNA"));
        cu.fieldByName(QStringLiteral("SCUDPROVNAS")).setAsString(QStringLiteral("RA"));
        cu.fieldByName(QStringLiteral("DCUDDATANAS")).setAsDate(QDate(1980, 1, 1 + i % 28));
        cu.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).setAsString(QStringLiteral("X"));
        cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(QString(500 + i % 400, QLatin1Char('n')));
        cu.post();
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
    }
}

} // namespace

class TstStoreKill : public QObject
{
    Q_OBJECT
private slots:
    void killedWorkstationsLeaveWholeCus()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("velcu.sqlite"));
        {
            TOvDbConfig cfg;
            cfg.engine = TOvDbEngine::SQLite;
            cfg.path = path;
            TOvSQLConnection c(cfg);
            c.setCreateIfMissing(true);
            c.openOrThrow();
            TOvSchemaInstaller(c, TestDb::sqlDir()).install(false);
            seedStructures(c, QStringLiteral("vel"), 2025);
        }
        QRandomGenerator moments(killSeed());
        int kills = 0;
        for (int round = 0; round < 20; ++round) {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--scrivi"), path});
            QVERIFY(p.waitForStarted());
            // Long enough to be in the middle of saves, at a different point each time.
            QTest::qWait(150 + int(moments.bounded(250)));
            QVERIFY2(p.state() == QProcess::Running, "the writer stopped by itself");
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished());
            ++kills;
        }
        QCOMPARE(kills, 20);

        TOvDbConfig cfg;
        cfg.engine = TOvDbEngine::SQLite;
        cfg.path = path;
        TOvSQLConnection c(cfg);
        c.openOrThrow();
        QSqlQuery q = c.exec(QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        q = c.exec(QStringLiteral("PRAGMA journal_mode"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        q = QSqlQuery();

        TTorDBCds s = storeOn(c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        QVERIFY2(cu.recordCount() > 20, qPrintable(QString::number(cu.recordCount())));
        // Whole CUs only: each with its person, its name and all its values.
        q = c.exec(QStringLiteral("SELECT ifisrigo, count(*) FROM tfis_datifiscali GROUP BY ifisrigo "
                                  "HAVING count(*) <> %1").arg(kValuesPerCu));
        QVERIFY2(!q.next(), "a CU was saved in part");
        q = c.exec(QStringLiteral("SELECT count(DISTINCT ifisrigo), max(ifisrigo) FROM tfis_datifiscali"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), cu.recordCount());
        const int highest = q.value(1).toInt();
        q = c.exec(QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE scdsnome = 'TCUD_DATICUD'"));
        QVERIFY(q.next());
        QVERIFY(q.value(0).toInt() >= highest); // no row number will be handed out twice
        q = QSqlQuery();
        for (cu.first(); !cu.eof(); cu.next()) {
            QCOMPARE(cu.fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("ROSSI"));
            QCOMPARE(cu.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).asString(), QStringLiteral("X"));
            QVERIFY(cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).asString().size() >= 500);
        }
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--scrivi") == 0) {
        QCoreApplication app(argc, argv);
        return writer(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TstStoreKill t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_store_kill.moc"
