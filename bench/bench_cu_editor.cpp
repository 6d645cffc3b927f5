// CU editor figures: opening the window on 2,000 CUs (store load, signature
// check and grid ready) and moving through 200 CUs with the "Dati Fiscali"
// page shown, then with the "INPS - Sez. 1" page (one section load a move).
// SQLite on a temporary file; the window runs headless unless a display is set.
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/store/torUDBCds.h"

#include "BenchProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCus = 2000;
constexpr int kMoves = 200;
const QString kFirma = QStringLiteral("IL DIRIGENTE SCOLASTICO");

struct NoWait : ITorWaitIndicator
{
    void begin() override {}
    void end() override {}
};

void fillStore(TTorDBCds &store)
{
    TClientDataSet agent;
    store.Load(agent, QStringLiteral("TCUS_DATISOST"));
    agent.append();
    agent.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(QStringLiteral("92017840536"));
    agent.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(kFirma);
    agent.post();
    store.Save(agent, QStringLiteral("TCUS_DATISOST"));

    const VelStructureDesc &s = VelRecordModel::instance().structure(QStringLiteral("TCUD_DATICUD"));
    QStringList amounts;
    for (const VelFieldDesc &f : s.fields) {
        if (f.kind == VelFieldKind::Amount && f.page == QLatin1String("Dati Fiscali") && amounts.size() < 50)
            amounts << f.name;
    }
    TClientDataSet cu;
    TClientDataSet inps;
    store.Load(cu, QStringLiteral("TCUD_DATICUD"));
    for (int n = 0; n < kCus; ++n) {
        cu.append();
        cu.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H%1U").arg(n, 4, 10, QChar(u'0')));
        cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("COGNOME %1").arg(n, 4, 10, QChar(u'0')));
        cu.fieldByName(QStringLiteral("SCUDNOME")).setAsString(QStringLiteral("NOME"));
        cu.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
        cu.fieldByName(QStringLiteral("SCUDDATIANAFIRMA")).setAsString(kFirma);
        cu.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).setAsString(QStringLiteral("X"));
        cu.fieldByName(QStringLiteral("LCUDCOMPRENSIVO")).setAsString(QStringLiteral("X"));
        for (int i = 0; i < amounts.size(); ++i)
            cu.fieldByName(amounts.at(i)).setAsCurrency(Currency::fromUnits(12345678 + n * 17 + i));
        cu.post();
        if ((n + 1) % 500 == 0)
            store.Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
    }
    // One INPS row per CU.
    store.Load(inps, QStringLiteral("TCUDI_INPS"));
    for (cu.first(); !cu.eof(); cu.next()) {
        inps.append();
        inps.fieldByName(QStringLiteral("iAfiID")).setAsInteger(cu.fieldByName(QStringLiteral("iAfiID")).asInteger());
        inps.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(cu.fieldByName(QStringLiteral("SCUDCODFIS")).asString());
        inps.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
        inps.fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(Currency::fromInt(30000));
        inps.post();
    }
    store.Save(inps, QStringLiteral("TCUDI_INPS"), 12);
}

void moves(TfrVelCud *fr, const char *what)
{
    std::vector<double> ms;
    const int loads = fr->loadCount();
    QElapsedTimer t;
    for (int i = 0; i < kMoves; ++i) {
        t.start();
        fr->next();
        QApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("Move through %d CUs, %s shown: mean %.2f ms, median %.2f ms, max %.2f ms; store loads %d\n", kMoves,
                what, sum / kMoves, ms[ms.size() / 2], ms.back(), fr->loadCount() - loads);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setTorWaitIndicator(std::make_shared<NoWait>());
    QTemporaryDir dir;
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::SQLite;
    cfg.path = dir.filePath(QStringLiteral("bench.sqlite"));
    TOvSQLConnection c(cfg);
    c.setCreateIfMissing(true);
    c.openOrThrow();
    TOvSchemaInstaller(c, QStringLiteral(VELCU_SOURCE_DIR "/data/etc/rag/sql")).install(false);
    seedStructures(c);

    TTorDBCds store;
    store.setConnection(&c);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setMonth(TTorDBCds::AllMonths);
    QElapsedTimer t;
    t.start();
    fillStore(store);
    std::printf("Fixture: %d CUs with 50 amounts each and one INPS row each, written in %.1f s\n", kCus,
                t.nsecsElapsed() / 1e9);

    const double cpu0 = bench::cpuMs();
    t.start();
    TfmVelCud *fm = ovCreate<TfmVelCud>();
    fm->setStore(&store);
    fm->resize(1280, 760);
    fm->show();
    QApplication::processEvents();
    const double open = t.nsecsElapsed() / 1e6;
    TfrVelCud *fr = fm->frVelCud;
    std::printf("Open the editor on %d CUs (store load + grid ready): %.0f ms wall, %.0f ms CPU; rows %d; store loads %d\n",
                kCus, open, bench::cpuMs() - cpu0, fr->cdsMain->recordCount(), fr->loadCount());

    fr->showPage(QStringLiteral("Dati Fiscali"));
    QApplication::processEvents();
    moves(fr, "\"Dati Fiscali\"");
    fr->showPage(QStringLiteral("INPS - Sez. 1"));
    QApplication::processEvents();
    moves(fr, "\"INPS - Sez. 1\"");
    fr->showGrid();
    QApplication::processEvents();
    moves(fr, "the grid");
    delete fm;

    // The office changes the agent's signature: the next opening rewrites
    // every CU, each in its own month's period.
    {
        TClientDataSet agent;
        store.Load(agent, QStringLiteral("TCUS_DATISOST"));
        agent.edit();
        agent.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("IL DIRIGENTE SCOLASTICO REGGENTE"));
        agent.post();
        store.Save(agent, QStringLiteral("TCUS_DATISOST"));
    }
    t.start();
    fm = ovCreate<TfmVelCud>();
    fm->setStore(&store);
    fm->resize(1280, 760);
    fm->show();
    QApplication::processEvents();
    std::printf("Open the editor after a new agent signature (%d CUs rewritten): %.0f ms wall\n", kCus,
                t.nsecsElapsed() / 1e6);
    delete fm;
    std::printf("Peak memory: %.0f MB\n", bench::peakMb());
    return 0;
}
