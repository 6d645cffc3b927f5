#pragma once
// The import of the CUs from the demo school's payroll, for the import tests:
// a fresh demo database with the store's structures, the importer as the
// window sets it up, the stored CU and section rows of a tax code, the INPS
// builder counted or failing.
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/sql/OvSQLQuery.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QSqlQuery>
#include <QTest>


namespace ImportTest {

inline Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

inline const QString kTabelle = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle");

// Candidate keys of the demo: relationship 100 + payee.
inline constexpr int ROSSI = 101, BIANCHI = 102, ESPOSITO = 103, ROMANO = 105, COLOMBO = 106, RICCI = 107,
              MARINO = 108, GRECO = 109, CONTI = 112, DE_LUCA = 113, MANCINI = 114, COSTA = 115,
              GIORDANO = 116, BARBIERI = 120, FONTANA = 121, MARINI = 123, RINALDI = 124;

// The import with its real INPS builder, counting the builder's calls.
class ImportWithInps : public TVelImportCud
{
public:
    using TVelImportCud::TVelImportCud;
    int inpsCalls = 0;

protected:
    void importaInps() override
    {
        ++inpsCalls;
        TVelImportCud::importaInps();
    }
};

// The INPS builder's place failing for one tax code.
class FailingInps : public ImportWithInps
{
public:
    using ImportWithInps::ImportWithInps;
    QString failFor;

protected:
    void importaInps() override
    {
        ImportWithInps::importaInps();
        if (cdsImport().fieldByName(QStringLiteral("SCUDCODFIS")).asString() == failFor)
            throw EOvError(QStringLiteral("Sezione INPS non leggibile"));
    }
};

// The fixture the import tests share: one demo database at a time.
class ImportTestBase : public QObject
{
protected:
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;
    TClientDataSet note;

    void fresh()
    {
        store.reset();
        db.reset();
        db = TestDb::open(true);
        // The import runs on the store's connection alone: no framework-wide
        // default connection exists in these tests.
        QVERIFY(!OvGlobConn);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        store = std::make_unique<TTorDBCds>();
        store->setConnection(db.get());
        store->setProgram(QStringLiteral("vel"));
        store->setYear(2025);
        store->setMonth(TTorDBCds::AllMonths);
        store->setShowWait(false);
    }

    template <class T = TVelImportCud>
    std::unique_ptr<T> importer()
    {
        auto imp = std::make_unique<T>(*store, QueryText());
        imp->options().IDWGID = 1;
        imp->options().IMESID = 12;
        imp->setCartellaTabelle(kTabelle);
        // what the import says goes to the boxes, as in the import window
        imp->setRunHost(TVelBoxRunHost::instance());
        return imp;
    }

    // The stored CU of a tax code (and month), as field -> value.
    QVariantMap cu(const QString &codFis, const QString &mese = QStringLiteral("12"))
    {
        TClientDataSet ds;
        store->Load(ds, QStringLiteral("TCUD_DATICUD"));
        QVariantMap m;
        if (!ds.locate(QStringLiteral("SCUDCODFIS;SCUDMESE"), QVariantList{codFis, mese}))
            return m;
        for (int i = 0; i < ds.fieldCount(); ++i)
            if (!ds.field(i).isNull())
                m.insert(ds.fieldDefs().at(i).name.toUpper(), ds.field(i).value());
        return m;
    }
    int rows(const char *structure, const QString &codFis)
    {
        TClientDataSet ds;
        store->Load(ds, QString::fromLatin1(structure));
        int n = 0;
        for (ds.first(); !ds.eof(); ds.next())
            n += ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() == codFis;
        return n;
    }
    // The rows of a section table of a tax code, as field -> value.
    QList<QVariantMap> sezione(const char *structure, const QString &codFis)
    {
        TClientDataSet ds;
        store->Load(ds, QString::fromLatin1(structure));
        QList<QVariantMap> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            if (ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() != codFis)
                continue;
            QVariantMap m;
            for (int i = 0; i < ds.fieldCount(); ++i)
                m.insert(ds.fieldDefs().at(i).name.toUpper(), ds.field(i).value());
            out << m;
        }
        return out;
    }
    QString nota(const char *code)
    {
        if (!note.active())
            VelCodeTables::load(note, QStringLiteral("TNOT_NOTE.CDS"), kTabelle);
        if (!note.locate(QStringLiteral("Codice"), QString::fromLatin1(code)))
            return QString();
        return QString::fromLatin1(code) + QStringLiteral(") ") + note.fieldByName(QStringLiteral("Nota")).asString()
               + QStringLiteral("\r\n");
    }
    static Currency amount(const QVariantMap &m, const char *field)
    {
        const QVariant v = m.value(QString::fromLatin1(field));
        return v.isValid() ? v.value<Currency>() : Currency();
    }
    static QString str(const QVariantMap &m, const char *field) { return m.value(QString::fromLatin1(field)).toString(); }

};

} // namespace ImportTest
using namespace ImportTest;
