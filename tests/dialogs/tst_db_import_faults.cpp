// The import with a fault at every step: the Nth statement the database
// runs (BEGIN and COMMIT included) is refused, for N spread over a whole
// import of the demo school, on a fresh copy of the same database each time,
// on either engine. After each run the database is intact and every employee
// is either imported whole (the same CU and sections as a run without
// faults) and reported imported, or absent and reported with its reason; the
// run's counters equal what the store holds.
#include "support/ScriptedResponder.h"
#include "support/StoreFaults.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTest>

namespace {

const QString kTabelle = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle");

struct Run
{
    TVelRunOutcome outcome;
    QMap<QString, QString> store;
    QStringList statements;
    bool fired = false;
    QString thrown;
    bool typed = false; // raised as the engine's error, with a code
    TVelErrorCode code = TVelErrorCode::Generico;
    QString integrity;
};

Run importOnce(StoreFaults::Copies &copies, qint64 failAt)
{
    Run r;
    ScriptedResponder ui;
    ui.setFailureHandler([](const QString &) {});
    const auto c = copies.fresh();
    const auto s = TestStore::open(c.get());
    {
        TVelImportCud imp(*s, QueryText());
        imp.setRunHost(TVelBoxRunHost::instance());
        imp.options().IDWGID = 1;
        imp.options().anno = 2025;
        imp.options().IMESID = 12;
        imp.setCartellaTabelle(kTabelle);
        imp.hooks().onInfo = [](const QStringList &) {};
        StoreFaults::Fault f(*c, failAt);
        try {
            r.outcome = imp.importa();
        } catch (const EVelError &e) {
            r.thrown = e.message();
            r.typed = true;
            r.code = e.errorCode();
        } catch (const std::exception &e) {
            r.thrown = exceptionText(e);
        }
        f.remove();
        r.statements = f.texts();
        r.fired = f.fired();
    }
    r.integrity = StoreFaults::integrity(*c);
    r.store = StoreFaults::cus(*s);
    return r;
}

} // namespace

class TstImportFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void faultAtEveryStep()
    {
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        // The demo school with the structures, and no CU yet.
        StoreFaults::Copies copies([](TOvSQLConnection &) {});

        QElapsedTimer clock;
        clock.start();
        const Run reference = importOnce(copies, -1);
        const qint64 perRun = std::max<qint64>(1, clock.elapsed());
        QVERIFY2(reference.thrown.isEmpty(), qPrintable(reference.thrown));
        QVERIFY(reference.outcome.count(TVelResult::Fatto) > 30);
        QCOMPARE(reference.store.size(), reference.outcome.count(TVelResult::Fatto));
        const qint64 total = reference.statements.size();
        QVERIFY(total > 200);

        // Every kind of statement, and points spread over the run: what about
        // a minute allows, 200 at most.
        const int budget = int(std::clamp<qint64>(60000 / perRun, 30, 200));
        const QList<qint64> points = StoreFaults::points(reference.statements, budget);
        int fired = 0, lost = 0;
        for (const qint64 n : points) {
            const Run r = importOnce(copies, n);
            fired += r.fired ? 1 : 0;
            const QString at = QStringLiteral("guasto all'istruzione %1 di %2 (%3)")
                                   .arg(n)
                                   .arg(total)
                                   .arg(reference.statements.at(n - 1).left(80));
            QVERIFY2(r.integrity == QLatin1String("ok"), qPrintable(at + QStringLiteral(": ") + r.integrity));
            if (!r.thrown.isEmpty()) {
                // The run could not start: nothing written, the reason raised
                // as the engine's error, coded as the store's.
                QVERIFY2(r.store.isEmpty(), qPrintable(at));
                QVERIFY2(r.typed && r.code == TVelErrorCode::Archivio, qPrintable(at + QStringLiteral(": ") + r.thrown));
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
            QVERIFY2(r.store.size() == done, qPrintable(at + QStringLiteral(": CU nell'archivio %1, importate %2")
                                                                 .arg(r.store.size())
                                                                 .arg(done)));
            // Every employee of the list is named, done or not.
            QCOMPARE(r.outcome.payees.size(), reference.outcome.payees.size());
            lost += reference.outcome.count(TVelResult::Fatto) - done;
        }
        qInfo("punti di guasto provati: %lld su %lld istruzioni di %lld tipi, guasti avvenuti: %d, CU non "
              "importate e segnalate: %d",
              qint64(points.size()), total, qint64(QSet<QString>(reference.statements.cbegin(), reference.statements.cend()).size()),
              fired, lost);
        QVERIFY(points.size() >= std::min<qint64>(budget, total) - 2);
        QCOMPARE(qsizetype(fired), points.size());
    }
};

QTEST_MAIN(TstImportFaults)
#include "tst_db_import_faults.moc"
