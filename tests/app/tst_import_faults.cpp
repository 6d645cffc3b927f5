// The import with a fault at every step: the Nth statement the database
// runs (BEGIN and COMMIT included) fails, for N spread over a whole import
// of the demo school, on a fresh copy of the same database each time. After
// each run the database is intact and every employee is either imported
// whole (the same CU and sections as a run without faults) and reported
// imported, or absent and reported with its reason; the run's counters equal
// what the store holds.
//
// SQLite runs in the process: a statement trace counts the statements and
// a progress handler interrupts the chosen one before it does anything.
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

const QString kTabelle = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle");

// The fault: statement number `failAt` (counted from 1) is interrupted.
struct Fault
{
    qint64 count = 0;
    qint64 failAt = -1;
    bool armed = false;
    bool fired = false;

    static int onStatement(unsigned, void *self, void *, void *)
    {
        auto *f = static_cast<Fault *>(self);
        if (++f->count == f->failAt)
            f->armed = true;
        return 0;
    }
    static int onProgress(void *self)
    {
        auto *f = static_cast<Fault *>(self);
        if (!f->armed)
            return 0;
        f->armed = false;
        f->fired = true;
        return 1;
    }
    void install(TOvSQLConnection &c)
    {
        auto *db = static_cast<sqlite3 *>(c.nativeHandle());
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Fault::onStatement, this);
        sqlite3_progress_handler(db, 1, &Fault::onProgress, this);
    }
    static void remove(TOvSQLConnection &c)
    {
        auto *db = static_cast<sqlite3 *>(c.nativeHandle());
        sqlite3_trace_v2(db, 0, nullptr, nullptr);
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
    }
};

TOvDbConfig sqlite(const QString &path)
{
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::SQLite;
    cfg.path = path;
    return cfg;
}

const char *const kStructures[] = {"TCUD_DATICUD",       "TCUDI_INPS", "TCUDN_INPDAP",     "TCUIN_INAIL",
                                   "TCUDAE_ALTRIENTI",   "TCUDT_TFR",  "TCUDA_ANNOTAZIONI", "TASE_AUTSOMMEEROGATE",
                                   "TCUDC_CONFAMCARICO"};

// Every CU of the store as key -> its main record and section rows in text,
// without the store's keys and the day of the import.
QMap<QString, QString> dump(TTorDBCds &s)
{
    QHash<qint64, QString> keyOf;
    QMap<QString, QStringList> parts;
    for (const char *structure : kStructures) {
        TClientDataSet ds;
        s.Load(ds, QString::fromLatin1(structure));
        const bool main = QByteArray(structure) == "TCUD_DATICUD";
        for (ds.first(); !ds.eof(); ds.next()) {
            const qint64 afi = ds.fieldByName(QStringLiteral("iAfiID")).asInteger();
            QStringList values;
            for (int i = 0; i < ds.fieldCount(); ++i) {
                const QString name = ds.fieldDefs().at(i).name;
                if (name.compare(QStringLiteral("iAfiID"), Qt::CaseInsensitive) == 0
                    || name.compare(QStringLiteral("iFisRigo"), Qt::CaseInsensitive) == 0
                    || name.compare(QStringLiteral("DCUDDATIANADATA"), Qt::CaseInsensitive) == 0 || ds.field(i).isNull())
                    continue;
                values << name + QLatin1Char('=') + ds.field(i).asString();
            }
            if (main)
                keyOf.insert(afi, ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString().toUpper() + QLatin1Char('/')
                                      + ds.fieldByName(QStringLiteral("SCUDMESE")).asString());
            parts[QString::number(afi)] << QString::fromLatin1(structure) + QLatin1Char(':') + values.join(QLatin1Char(';'));
        }
    }
    QMap<QString, QString> out;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        const QString key = keyOf.value(it.key().toLongLong(), QStringLiteral("senza CU ") + it.key());
        it.value().sort();
        out.insert(key, it.value().join(QLatin1Char('\n')));
    }
    return out;
}

struct Run
{
    TVelRunOutcome outcome;
    QMap<QString, QString> store;
    qint64 statements = 0;
    bool fired = false;
    QString thrown;
    QString integrity;
};

Run importOnce(const QString &path, qint64 failAt)
{
    Run r;
    ScriptedResponder ui;
    ui.setFailureHandler([](const QString &) {});
    TOvSQLConnection c(sqlite(path));
    c.openOrThrow();
    const auto s = TestStore::open(&c);
    {
        TVelImportCud imp(*s, QueryText());
        imp.options().IDWGID = 1;
        imp.options().anno = 2025;
        imp.options().IMESID = 12;
        imp.setCartellaTabelle(kTabelle);
        imp.hooks().onInfo = [](const QStringList &) {};
        Fault f;
        f.failAt = failAt;
        f.install(c);
        try {
            imp.importa();
        } catch (const std::exception &e) {
            r.thrown = exceptionText(e);
        }
        Fault::remove(c);
        r.outcome = imp.outcome();
        r.statements = f.count;
        r.fired = f.fired;
    }
    {
        QSqlQuery q = c.exec(QStringLiteral("PRAGMA integrity_check"));
        r.integrity = q.next() ? q.value(0).toString() : QStringLiteral("?");
    }
    r.store = dump(*s);
    return r;
}

} // namespace

class TstImportFaults : public QObject
{
    Q_OBJECT
private slots:
    void faultAtEveryStep()
    {
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("demo.sqlite"));
        {
            // The demo school with the structures, and no CU yet.
            auto db = TestDb::open(true);
            seedStructures(*db, QStringLiteral("vel"), 2025);
            db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            const QString path = TestDb::config().path;
            db.reset();
            QVERIFY(QFile::copy(path, fresh));
        }
        const QString work = dir.filePath(QStringLiteral("run.sqlite"));
        auto freshCopy = [&] {
            for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(work + suffix);
            return QFile::copy(fresh, work);
        };

        QVERIFY(freshCopy());
        const Run reference = importOnce(work, -1);
        QVERIFY2(reference.thrown.isEmpty(), qPrintable(reference.thrown));
        QVERIFY(reference.outcome.count(TVelResult::Fatto) > 30);
        QCOMPARE(reference.store.size(), reference.outcome.count(TVelResult::Fatto));
        const qint64 total = reference.statements;
        QVERIFY(total > 200);

        // Every step when they are few, else 240 points spread over the run.
        const qint64 step = std::max<qint64>(1, total / 240);
        int tried = 0, fired = 0, lost = 0;
        for (qint64 n = 1; n <= total; n += step) {
            QVERIFY(freshCopy());
            const Run r = importOnce(work, n);
            ++tried;
            fired += r.fired ? 1 : 0;
            const QString at = QStringLiteral("guasto all'istruzione %1 di %2").arg(n).arg(total);
            QVERIFY2(r.integrity == QLatin1String("ok"), qPrintable(at + QStringLiteral(": ") + r.integrity));
            if (!r.thrown.isEmpty()) {
                // The run could not start: nothing written, the reason kept.
                QVERIFY2(r.store.isEmpty(), qPrintable(at));
                QVERIFY2(!r.outcome.fatal.isEmpty(), qPrintable(at));
                continue;
            }
            // What the run says it imported is what the store holds, whole.
            int done = 0;
            for (const TVelPayeeOutcome &p : r.outcome.payees) {
                const QString key = p.codFis + QLatin1Char('/') + p.mese;
                if (p.result == TVelResult::Fatto) {
                    ++done;
                    QVERIFY2(r.store.contains(key), qPrintable(at + QStringLiteral(": manca ") + key));
                    QVERIFY2(r.store.value(key) == reference.store.value(key),
                             qPrintable(at + QStringLiteral(": CU diversa ") + key));
                } else {
                    if (!p.codFis.isEmpty())
                        QVERIFY2(!r.store.contains(key), qPrintable(at + QStringLiteral(": CU presente ") + key));
                    QVERIFY2(!p.reason.isEmpty(), qPrintable(at + QStringLiteral(": senza motivo ") + p.nome));
                }
            }
            QCOMPARE(r.store.size(), done);
            // Every employee of the list is named, done or not.
            QCOMPARE(r.outcome.payees.size(), reference.outcome.payees.size());
            lost += reference.outcome.count(TVelResult::Fatto) - done;
        }
        qInfo("punti di guasto provati: %d su %lld istruzioni, guasti avvenuti: %d, CU non importate e "
              "segnalate: %d",
              tried, total, fired, lost);
        QVERIFY(tried >= 200);
        QVERIFY(fired >= tried - 1);
    }
};

QTEST_MAIN(TstImportFaults)
#include "tst_import_faults.moc"
