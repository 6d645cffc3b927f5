// The withholding agent's CU data, written once per run when the import is
// asked for them: the agent, the Quadro CT and the supplier, from the school
// record and the payroll's accounting parameters.
#include "VelImportSostituto.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "VelImportTables.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "rag/calc/ragUQuery.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QHash>

using namespace VelImport;

TVelImportSostituto::Firma TVelImportSostituto::firma()
{
    TClientDataSet sost;
    VelCuRepository(m_store).load(sost, s(rec::TCUS_DATISOST::id.name));
    if (sost.isEmpty())
        return {};
    return {sost.fieldByName(s(fld::SSOSFIRMACOM.name)).asString(), sost.fieldByName(s(fld::SSOSCODFIS.name)).asString().trimmed()};
}

void TVelImportSostituto::scrivi(TClientDataSet *sos, int idwg)
{
    if (!sos || !sos->active() || sos->isEmpty())
        throw EOvError(QStringLiteral("Dati dell'istituto non disponibili: impossibile importare i dati del sostituto."));
    auto sed = [&](const char *f) { return sos->fieldByName(s(f)).asString(); };
    TRagQuery qp({&m_conn, &m_queries});
    TOvSQLQuery &paco = qp.open(s("QRY_PACO"), {{s("IDWGID"), idwg}});
    const QString ateco = paco.isEmpty() ? QString() : paco.fieldByName(s("SPACOCODATECO2007")).asString();

    QString telFax = sed("SSEDTELTELEFONO");
    if (telFax.trimmed().isEmpty())
        telFax = sed("SSEDFAXNO");
    telFax.remove(QLatin1Char('/')).remove(QLatin1Char('-')).remove(QLatin1Char(' '));
    const QString codFis = sed("SSEDNOMCODICEFISC");

    // Each table holds one row, replaced. What the office typed in the
    // agent's editor and the import has no source for (signature,
    // representative, ...) is carried over from the row replaced.
    auto rewrite = [&](const char *structure, const QList<QPair<const char *, QVariant>> &values) {
        TClientDataSet ds;
        ds.setObjectName(s(structure));
        VelCuRepository(m_store).load(ds, s(structure));
        QHash<QString, QVariant> kept;
        if (!ds.isEmpty()) {
            ds.first();
            for (int i = 0; i < ds.fieldCount(); ++i)
                kept.insert(ds.fieldDefs().at(i).name.toLower(), ds.field(i).value());
        }
        while (!ds.isEmpty()) {
            ds.first();
            ds.deleteRecord();
        }
        ds.append();
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const QString n = ds.fieldDefs().at(i).name.toLower();
            if (n.compare(fld::iAfiID.l1(), Qt::CaseInsensitive) == 0
                || n.compare(fld::iFisRigo.l1(), Qt::CaseInsensitive) == 0)
                continue;
            if (kept.contains(n))
                ds.field(i).setValue(kept.value(n));
        }
        for (const auto &v : values)
            ds.fieldByName(s(v.first)).setValue(v.second);
        ds.post();
        VelCuRepository(m_store).write(ds, s(structure));
    };

    TOvTransaction tr(&m_conn);
    tr.StartTransaction();
    // Two imports rebuilding the agent at once (the first imports of the
    // year on two workstations) must not both find it missing and both add
    // it. Each takes the agent's structure first, by a save that writes
    // nothing, and reads the three tables only once it holds it: on a server
    // the second waits for the first to commit and then reads, and replaces,
    // the rows the first wrote (SQLite's transaction already holds the
    // database).
    {
        TClientDataSet held;
        VelCuRepository(m_store).load(held, s(rec::TCUS_DATISOST::id.name));
        VelCuRepository(m_store).write(held, s(rec::TCUS_DATISOST::id.name));
    }
    rewrite(rec::TCUS_DATISOST::id.name, {{fld::SSOSCODFIS.name, codFis},
                              {fld::SSOSDENOM.name, sed("SSEDNOMLDESC")},
                              {fld::SSOSNOME.name, QString()},
                              {fld::SSOSCOMUNE.name, sed("SCOMDESC")},
                              {fld::SSOSPROV.name, sed("SPROSIGLA")},
                              {fld::SSOSCAP.name, sed("SCAPVALUE")},
                              {fld::SSOSINDIRIZZO.name, sed("SSEDINDINDIRIZZO")},
                              {fld::SSOSTELFAX.name, telFax},
                              {fld::SSOSEMAIL.name, sed("SSEDEMLEMAIL")},
                              {fld::SSOSCODATTIVITA.name, ateco},
                              {fld::LSOSANNULLAMENTO.name, s("0")},
                              {fld::LSOSSOSTITUZIONE.name, s("0")},
                              {fld::LSOSEVECC.name, s("0")},
                              {fld::LSOSCASIPARTICOLARI.name, s("0")},
                              {fld::LSOSCT.name, s("0")},
                              {fld::LSOSDICHCONTRIB.name, s("0")}});
    // The signing representative (the head teacher) where the payroll names
    // one; what the office typed in the agent's editor stays.
    if (const QString rapCf = sed("SSEDRAPCODFIS").trimmed(); !rapCf.isEmpty()) {
        TClientDataSet ds;
        VelCuRepository(m_store).load(ds, s(rec::TCUS_DATISOST::id.name));
        ds.first();
        ds.edit();
        const QString signer = (sed("SSEDRAPCOGNOME") + QLatin1Char(' ') + sed("SSEDRAPNOME")).simplified();
        for (const auto &[field, value] : {std::pair{fld::SSOSCFRAPPR.name, rapCf}, std::pair{fld::SCARCODICE.name, sed("SSEDRAPCARICA")},
                                           std::pair{fld::SSOSCOGNRAPPR.name, sed("SSEDRAPCOGNOME")},
                                           std::pair{fld::SSOSNOMERAPPR.name, sed("SSEDRAPNOME")},
                                           std::pair{fld::SSOSFIRMACOM.name, signer}})
            if (ds.fieldByName(s(field)).asString().trimmed().isEmpty())
                ds.fieldByName(s(field)).setAsString(value.trimmed());
        ds.post();
        VelCuRepository(m_store).write(ds, s(rec::TCUS_DATISOST::id.name));
    }
    rewrite(rec::TCUCT_DATICT::id.name, {{fld::SCTCODFIS.name, codFis}, {fld::LCTFISCONLINE.name, s("0")}, {fld::LCTSRVENTRATEL.name, s("0")}});
    rewrite(rec::TCFO_FORNITORE::id.name, {{fld::SFORCODFIS.name, codFis}, {fld::STFOCODICE.name, s("01")}});
    tr.Commit();
}

