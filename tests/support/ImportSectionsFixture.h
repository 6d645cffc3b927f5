#pragma once
// The section builders' tests over the demo school, on both engines: a demo
// database with the store's structures and the UniEmens declarations, the
// CU main record each section hangs from, and the rows as stored afterwards.
// Expected figures are the demo's amounts worked out by hand
// (docs/demo-payees.md).
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpFamiliari.h"
#include "src/prj/unit/import/VelImpInps.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QTest>

namespace ImportSections {

inline Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

inline const QString kMarchetti = QStringLiteral("MRCRNI67H66H199A");   // payee 39
inline const QString kFontana = QStringLiteral("FNTGRG76A71H199Y");     // payee 21
inline const QString kScuola = QStringLiteral("92017840536");

struct Riga
{
    QString section;
    QString text;
};

} // namespace ImportSections

// The tables, the store and the log the section builders work on; a test
// class derives from QObject and from this.
class ImportSectionsFixture
{
protected:
    using Riga = ImportSections::Riga;

    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;
    TClientDataSet cdsImport, cdsConFamCar, cdsINPS, cdsINPDAP, cdsAutonomo;
    QList<Riga> log;

    // The CU main record of a payee, saved as the CU builder does first (the
    // one already stored by an earlier case, the store holding one CU per tax
    // code and month); the context of its sections.
    TVelImpContesto cu(int n, const QString &cf, const QString &mese = QStringLiteral("12"))
    {
        if (cdsImport.locate(QStringLiteral("SCUDCODFIS;SCUDMESE"), QVariantList{cf, mese}))
            cdsImport.edit();
        else
            cdsImport.append();
        cdsImport.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(cf);
        cdsImport.fieldByName(QStringLiteral("SCUDMESE")).setAsString(mese);
        cdsImport.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("PERCIPIENTE %1").arg(n));
        cdsImport.fieldByName(QStringLiteral("SCUDANNOFIN")).setAsString(QStringLiteral("2025"));
        cdsImport.post();
        store->Save(cdsImport, QStringLiteral("TCUD_DATICUD"));
        TVelImpContesto c;
        c.connection = db.get();
        c.queries = &QueryText();
        c.store = store.get();
        c.anno = 2025;
        c.IANFID = 56;
        c.IACOMID = 100 + n;
        c.IANAID = n;
        c.MESE_FINALE = mese.toInt();
        c.SCUDCODFIS = cf;
        c.SCUDMESE = mese;
        c.iAfiID = cdsImport.fieldByName(QStringLiteral("iAfiID")).asInteger();
        c.listaFiscale = QStringLiteral("1,2");
        c.listaInps = QStringLiteral("1,2,3");
        c.paco.SPACOMATRAZIENDA = QStringLiteral("4512345678");
        c.paco.SPACOCFINPS = QStringLiteral("80078750587");
        c.paco.SPACOCFMEF = QStringLiteral("80415740580");
        c.SSOSCODFIS = ImportSections::kScuola;
        c.log = [this](int section, const QString &text) { log.append({velTitoloSezioneLog(section), text}); };
        return c;
    }

    // The rows of a section table that belong to a tax code, as stored:
    // reloaded from the store, so what was not saved does not count.
    QList<QVariantMap> stored(const QString &table, const QString &cf, const QString &mese = QString())
    {
        TClientDataSet ds;
        store->Load(ds, table);
        QList<QVariantMap> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            if (ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() != cf
                || (!mese.isEmpty() && ds.fieldByName(QStringLiteral("SCUDMESE")).asString() != mese))
                continue;
            QVariantMap m;
            for (const QString &f : ds.fieldNames())
                m.insert(f.toUpper(), ds.fieldByName(f).value());
            out << m;
        }
        return out;
    }

    static QString s(const QVariantMap &row, const char *f) { return row.value(QLatin1String(f)).toString(); }
    static Currency c(const QVariantMap &row, const char *f)
    {
        const QVariant v = row.value(QLatin1String(f));
        return v.isNull() ? Currency() : v.value<Currency>();
    }
    static QString mesi(const QVariantMap &row, const QString &prefix, const QString &suffix = QString())
    {
        static const char *const m[] = {"GENNAIO", "FEBBRAIO", "MARZO", "APRILE", "MAGGIO", "GIUGNO",
                                        "LUGLIO", "AGOSTO", "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
        QString out;
        for (const char *x : m) {
            const QString v = row.value(prefix + QLatin1String(x) + suffix).toString();
            out += v.isEmpty() ? QStringLiteral("_") : v;
        }
        return out;
    }
    // The store on the UniEmens program's tables of 2025.
    void uniEmensStore(TTorDBCds &tpf)
    {
        tpf.setConnection(db.get());
        tpf.setProgram(kUniEmensProgram);
        tpf.setYear(2025);
        tpf.setMonth(TTorDBCds::AllMonths);
        tpf.setShowWait(false);
    }
    QStringList testi(const QString &section) const
    {
        QStringList out;
        for (const Riga &r : log)
            if (r.section == section)
                out << r.text;
        return out;
    }

    // Demo database with the structures and the UniEmens rows; false when
    // the demo's declarations could not be written.
    bool openDemo()
    {
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        if (seedUniEmensDemo(*db, ImportSections::kMarchetti, ImportSections::kFontana).rows <= 0)
            return false;
        store = std::make_unique<TTorDBCds>();
        store->setConnection(db.get());
        store->setProgram(QStringLiteral("vel"));
        store->setYear(2025);
        store->setShowWait(false);
        return true;
    }
    // The CU tables as stored, and an empty log: each case starts from here.
    void reloadTables()
    {
        store->Load(cdsImport, QStringLiteral("TCUD_DATICUD"));
        store->Load(cdsConFamCar, QStringLiteral("TCUDC_CONFAMCARICO"));
        store->Load(cdsINPS, QStringLiteral("TCUDI_INPS"));
        store->Load(cdsINPDAP, QStringLiteral("TCUDN_INPDAP"));
        store->Load(cdsAutonomo, QStringLiteral("TASE_AUTSOMMEEROGATE"));
        log.clear();
    }
    void closeDemo()
    {
        store.reset();
        db.reset();
    }
};
