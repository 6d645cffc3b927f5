#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/store/torUDBCds.h"

#include <QDate>

namespace {

const char kModel[] = R"json({
 "format": "velcu-record-model",
 "version": 1,
 "program": "tpf",
 "year": 2025,
 "codeTableFolder": "USR/KZ2025/Res/Tabelle",
 "cuEditor": [],
 "structures": [
  {
   "name": "TAMM_AMMINISTRAZIONI",
   "caption": "Amministrazioni di servizio",
   "rows": "0..n",
   "anagraphic": false,
   "fieldMap": "",
   "fieldMapReadOnly": false,
   "fields": [
    {
     "name": "iAfiID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "iFisRigo",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "IAMMID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "CF_007_SERCODFIS",
     "kind": "text",
     "type": "String",
     "size": 16
    },
    {
     "name": "AN_008_SERINPDAP",
     "kind": "text",
     "type": "String",
     "size": 20
    },
    {
     "name": "SAMMDENOM",
     "kind": "text",
     "type": "String",
     "size": 150
    }
   ]
  },
  {
   "name": "TE0_RETR",
   "caption": "Denunce UniEmens - periodi (E0)",
   "rows": "0..n",
   "anagraphic": false,
   "fieldMap": "saficodfiscale=SCODFIS",
   "fieldMapReadOnly": false,
   "order": "SCODFIS;IANNO;IMESE",
   "fields": [
    {
     "name": "iAfiID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "iFisRigo",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "SCODFIS",
     "kind": "text",
     "type": "String",
     "size": 16
    },
    {
     "name": "IANNO",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "IMESE",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "IAMMID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "NP_E0XXX003_PENS",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "NP_E0XXX004_PREV",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "NP_E0XXX005_CREDITO",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "DT_E0XXX001_DINIZIO",
     "kind": "date",
     "type": "Date"
    },
    {
     "name": "DT_E0XXX002_DFINE",
     "kind": "date",
     "type": "Date"
    },
    {
     "name": "VP_E0XXX032_IMPPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX033_CONPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX034_CONECC",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX035_IMPTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX036_CONTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXXA37_IMPTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXXA38_CONTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX039_IMPCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX040_CONCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX041_CONENPDEDP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX050_PENSSOSP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_E0XXX051_PREVSOSP",
     "kind": "amount",
     "type": "Currency"
    }
   ]
  },
  {
   "name": "TV1_RETR",
   "caption": "Denunce UniEmens - variazioni (V1)",
   "rows": "0..n",
   "anagraphic": false,
   "fieldMap": "saficodfiscale=SCODFIS",
   "fieldMapReadOnly": false,
   "order": "SCODFIS;IANNO;IMESE",
   "fields": [
    {
     "name": "iAfiID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "iFisRigo",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "SCODFIS",
     "kind": "text",
     "type": "String",
     "size": 16
    },
    {
     "name": "IANNO",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "IMESE",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "IAMMID",
     "kind": "integer",
     "type": "Integer"
    },
    {
     "name": "NP_V1XXX003_PENS",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "NP_V1XXX004_PREV",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "NP_V1XXX005_CREDITO",
     "kind": "text",
     "type": "String",
     "size": 4
    },
    {
     "name": "DT_V1XXX001_DINIZIO",
     "kind": "date",
     "type": "Date"
    },
    {
     "name": "DT_V1XXX002_DFINE",
     "kind": "date",
     "type": "Date"
    },
    {
     "name": "VP_V1XXX032_IMPPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX033_CONPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX034_CONECC",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX035_IMPTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX036_CONTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXXA37_IMPTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXXA38_CONTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX039_IMPCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX040_CONCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX041_CONENPDEDP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX050_PENSSOSP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VP_V1XXX051_PREVSOSP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX032_IMPPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX033_CONPENS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX034_CONECC",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX035_IMPTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX036_CONTFS",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXXA37_IMPTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXXA38_CONTFR",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX039_IMPCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX040_CONCREDITO",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX041_CONENPDEDP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX050_PENSSOSP",
     "kind": "amount",
     "type": "Currency"
    },
    {
     "name": "VN_V1XXX051_PREVSOSP",
     "kind": "amount",
     "type": "Currency"
    }
   ]
  }
 ]
})json";

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

// A monthly period record of the public-pension scheme: pension,
// severance (TFS) and credit fund, with the rates of the demo.
void addPeriod(TClientDataSet &ds, const QString &cf, int year, int month, int amm, const char *base)
{
    const Currency b = money(base);
    ds.append();
    ds.fieldByName(QStringLiteral("SCODFIS")).setAsString(cf);
    ds.fieldByName(QStringLiteral("IANNO")).setAsInteger(year);
    ds.fieldByName(QStringLiteral("IMESE")).setAsInteger(month);
    ds.fieldByName(QStringLiteral("IAMMID")).setAsInteger(amm);
    ds.fieldByName(QStringLiteral("NP_E0XXX003_PENS")).setAsString(QStringLiteral("1"));
    ds.fieldByName(QStringLiteral("NP_E0XXX004_PREV")).setAsString(QStringLiteral("7001"));
    ds.fieldByName(QStringLiteral("NP_E0XXX005_CREDITO")).setAsString(QStringLiteral("9"));
    ds.fieldByName(QStringLiteral("DT_E0XXX001_DINIZIO")).setAsDate(QDate(year, month, 1));
    ds.fieldByName(QStringLiteral("DT_E0XXX002_DFINE")).setAsDate(QDate(year, month, 1).addMonths(1).addDays(-1));
    // 33 % pension (8.80 employee + 24.20 employer), 9.60 % severance,
    // 0.50 % credit fund: whole cents for the demo's bases.
    ds.fieldByName(QStringLiteral("VP_E0XXX032_IMPPENS")).setAsCurrency(b);
    ds.fieldByName(QStringLiteral("VP_E0XXX033_CONPENS")).setAsCurrency(Currency::fromUnits(b.units() * 33 / 100));
    ds.fieldByName(QStringLiteral("VP_E0XXX035_IMPTFS")).setAsCurrency(b);
    ds.fieldByName(QStringLiteral("VP_E0XXX036_CONTFS")).setAsCurrency(Currency::fromUnits(b.units() * 96 / 1000));
    ds.fieldByName(QStringLiteral("VP_E0XXX039_IMPCREDITO")).setAsCurrency(b);
    ds.fieldByName(QStringLiteral("VP_E0XXX040_CONCREDITO")).setAsCurrency(Currency::fromUnits(b.units() / 200));
    ds.post();
}

}

const VelRecordModel &uniEmensModel()
{
    static const VelRecordModel model = VelRecordModel::fromJson(QByteArray(kModel), QStringLiteral("UniEmens"));
    return model;
}

VelUniEmensDemoResult seedUniEmensDemo(TOvSQLConnection &conn, const QString &wholeYear, const QString &oneMonth,
                                       int year)
{
    if (wholeYear.isEmpty() || oneMonth.isEmpty())
        throw EOvError(QStringLiteral("Dati dimostrativi UniEmens: mancano i codici fiscali dei percipienti."));
    VelUniEmensDemoResult result;
    const VelSeedResult seeded = seedStructures(conn, uniEmensModel(), kUniEmensProgram, year);
    result.structures = seeded.inserted + seeded.updated;

    TTorDBCds store;
    store.setConnection(&conn);
    store.setProgram(kUniEmensProgram);
    store.setYear(year);
    store.setMonth(TTorDBCds::AllMonths);
    if (VelCuRepository(store).hasRows(QStringLiteral("TE0_RETR")))
        return result;

    TClientDataSet amm;
    VelCuRepository(store).load(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
    amm.append();
    amm.fieldByName(QStringLiteral("IAMMID")).setAsInteger(1);
    amm.fieldByName(QStringLiteral("CF_007_SERCODFIS")).setAsString(QStringLiteral("92017840536"));
    amm.fieldByName(QStringLiteral("AN_008_SERINPDAP")).setAsString(QStringLiteral("00001"));
    amm.fieldByName(QStringLiteral("SAMMDENOM")).setAsString(QStringLiteral("I.C. DANTE ALIGHIERI"));
    amm.post();
    amm.append();
    amm.fieldByName(QStringLiteral("IAMMID")).setAsInteger(2);
    amm.fieldByName(QStringLiteral("AN_008_SERINPDAP")).setAsString(QStringLiteral("00002"));
    amm.fieldByName(QStringLiteral("SAMMDENOM")).setAsString(QStringLiteral("SEDE STACCATA SENZA CODICE FISCALE"));
    amm.post();
    VelCuRepository(store).write(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
    result.rows += amm.recordCount();

    TClientDataSet e0;
    VelCuRepository(store).load(e0, QStringLiteral("TE0_RETR"));
    for (int m = 1; m <= 12; ++m)
        addPeriod(e0, wholeYear, year, m, 1, "2550");
    addPeriod(e0, oneMonth, year, 7, 2, "1000");
    VelCuRepository(store).write(e0, QStringLiteral("TE0_RETR"));
    result.rows += e0.recordCount();

    TClientDataSet v1;
    VelCuRepository(store).load(v1, QStringLiteral("TV1_RETR"));
    v1.append();
    v1.fieldByName(QStringLiteral("SCODFIS")).setAsString(wholeYear);
    v1.fieldByName(QStringLiteral("IANNO")).setAsInteger(year);
    v1.fieldByName(QStringLiteral("IMESE")).setAsInteger(3);
    v1.fieldByName(QStringLiteral("IAMMID")).setAsInteger(1);
    v1.fieldByName(QStringLiteral("DT_V1XXX001_DINIZIO")).setAsDate(QDate(year, 3, 1));
    v1.fieldByName(QStringLiteral("DT_V1XXX002_DFINE")).setAsDate(QDate(year, 3, 31));
    v1.fieldByName(QStringLiteral("VP_V1XXX032_IMPPENS")).setAsCurrency(money("100"));
    v1.fieldByName(QStringLiteral("VP_V1XXX033_CONPENS")).setAsCurrency(money("33"));
    v1.fieldByName(QStringLiteral("VN_V1XXX032_IMPPENS")).setAsCurrency(money("20"));
    v1.fieldByName(QStringLiteral("VN_V1XXX033_CONPENS")).setAsCurrency(money("6.60"));
    v1.post();
    VelCuRepository(store).write(v1, QStringLiteral("TV1_RETR"));
    result.rows += v1.recordCount();
    return result;
}
