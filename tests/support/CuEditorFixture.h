#pragma once
// The CU editor over a real store, for the editor's tests: a quiet wait
// indicator, pictures with VELCU_SCREENSHOT_DIR, a fixture that writes CUs and
// their sections, the window over it.
#include "support/ModalWatch.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelCudIns.h"
#include "src/prj/unit/editors/TfmVelNote.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/editors/TfrVelSections.h"
#include "src/prj/unit/editors/VelLookup.h"
#include "src/prj/unit/editors/VelPageBuilder.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/frames/TorDbFormat.h"
#include "tor/ui/search/TfmTorRicerca.h"
#include "tor/store/torUDBCds.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>


namespace CuEditorTest {


struct QuietWait : ITorWaitIndicator
{
    int begins = 0;
    void begin() override { ++begins; }
    void end() override {}
};

inline void shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QApplication::processEvents();
    w->grab().save(QDir(dir).filePath(name));
}

inline void set(TClientDataSet &ds, const char *field, const QVariant &v)
{
    ds.fieldByName(QLatin1String(field)).setValue(v);
}

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

struct Fixture
{
    std::unique_ptr<TOvSQLConnection> db;
    TTorDBCds store;

    Fixture()
    {
        db = TestDb::open();
        seedStructures(*db);
        store.setConnection(db.get());
        store.setProgram(QStringLiteral("vel"));
        store.setYear(2025);
        store.setMonth(TTorDBCds::AllMonths);
    }

    void agent(const QString &firma)
    {
        TClientDataSet ds;
        store.Load(ds, QStringLiteral("TCUS_DATISOST"));
        ds.append();
        set(ds, "SSOSCODFIS", QStringLiteral("92017840536"));
        set(ds, "SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO STATALE \"GIUSEPPE MAZZINI\""));
        set(ds, "SSOSFIRMACOM", firma);
        ds.post();
        store.Save(ds, QStringLiteral("TCUS_DATISOST"));
    }

    // A CU saved in the period of its month; returns its person key.
    qint64 cu(const QString &codfis, const QString &cognome, const QString &nome, const QString &mese, int stato = 0,
              const std::function<void(TClientDataSet &)> &more = {})
    {
        TClientDataSet ds;
        store.Load(ds, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths, TTorDBCds::Default, 0);
        ds.append();
        set(ds, "SCUDCODFIS", codfis);
        set(ds, "SCUDCOGNOME", cognome);
        set(ds, "SCUDNOME", nome);
        set(ds, "SCUDMESE", mese);
        set(ds, "LCUDCONGUAGLIO", QStringLiteral("X"));
        set(ds, "LCUDIMPORTATO", QStringLiteral("0"));
        set(ds, "LCUDCOMPRENSIVO", QStringLiteral("X"));
        set(ds, "SCUDDATIANAFIRMA", QStringLiteral("FIRMA VECCHIA"));
        if (stato)
            set(ds, "iCudStato", stato);
        if (more)
            more(ds);
        ds.post();
        store.Save(ds, QStringLiteral("TCUD_DATICUD"), mese.toInt());
        return ds.fieldByName(QStringLiteral("iAfiID")).asInteger();
    }

    void inps(qint64 afi, const QString &codfis, const QString &mese, const char *imponibile)
    {
        TClientDataSet ds;
        store.Load(ds, QStringLiteral("TCUDI_INPS"), TTorDBCds::AllMonths, TTorDBCds::Default, int(afi));
        ds.append();
        set(ds, "iAfiID", afi);
        set(ds, "SCUDCODFIS", codfis);
        set(ds, "SCUDMESE", mese);
        set(ds, "sCudMatrAzienda", QStringLiteral("1234567890"));
        set(ds, "FCUDIMPONIBILE", QVariant::fromValue(money(imponibile)));
        ds.post();
        store.Save(ds, QStringLiteral("TCUDI_INPS"), mese.toInt());
    }

    int rows(const QString &structure, int person = TTorDBCds::AllPersons)
    {
        TClientDataSet ds;
        store.Load(ds, structure, TTorDBCds::AllMonths, TTorDBCds::Default, person);
        return ds.recordCount();
    }

    QVariant value(const QString &structure, qint64 afi, const QString &field)
    {
        TClientDataSet ds;
        store.Load(ds, structure, TTorDBCds::AllMonths, TTorDBCds::Default, int(afi));
        return ds.isEmpty() ? QVariant() : ds.fieldByName(field).value();
    }
};

// The window over the fixture's store, shown.
inline std::unique_ptr<TfmVelCud> openEditor(Fixture &fx)
{
    std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
    fm->setStore(&fx.store);
    fm->resize(1280, 760);
    fm->show();
    QApplication::processEvents();
    return fm;
}

inline bool locateCu(TfrVelCud *fr, const QString &codfis)
{
    return fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), codfis);
}


} // namespace CuEditorTest
using namespace CuEditorTest;
