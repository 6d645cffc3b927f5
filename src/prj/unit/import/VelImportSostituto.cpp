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

#include <QHash>

using namespace VelImport;

TVelImportSostituto::Firma TVelImportSostituto::firma()
{
    TClientDataSet sost;
    VelCuRepository(m_store).load(sost, s("TCUS_DATISOST"));
    if (sost.isEmpty())
        return {};
    return {sost.fieldByName(s("SSOSFIRMACOM")).asString(), sost.fieldByName(s("SSOSCODFIS")).asString().trimmed()};
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
            if (n == QLatin1String("iafiid") || n == QLatin1String("ifisrigo"))
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
        VelCuRepository(m_store).load(held, s("TCUS_DATISOST"));
        VelCuRepository(m_store).write(held, s("TCUS_DATISOST"));
    }
    rewrite("TCUS_DATISOST", {{"SSOSCODFIS", codFis},
                              {"SSOSDENOM", sed("SSEDNOMLDESC")},
                              {"SSOSNOME", QString()},
                              {"SSOSCOMUNE", sed("SCOMDESC")},
                              {"SSOSPROV", sed("SPROSIGLA")},
                              {"SSOSCAP", sed("SCAPVALUE")},
                              {"SSOSINDIRIZZO", sed("SSEDINDINDIRIZZO")},
                              {"SSOSTELFAX", telFax},
                              {"SSOSEMAIL", sed("SSEDEMLEMAIL")},
                              {"SSOSCODATTIVITA", ateco},
                              {"LSOSANNULLAMENTO", s("0")},
                              {"LSOSSOSTITUZIONE", s("0")},
                              {"LSOSEVECC", s("0")},
                              {"LSOSCASIPARTICOLARI", s("0")},
                              {"LSOSCT", s("0")},
                              {"LSOSDICHCONTRIB", s("0")}});
    // The signing representative (the head teacher) where the payroll names
    // one; what the office typed in the agent's editor stays.
    if (const QString rapCf = sed("SSEDRAPCODFIS").trimmed(); !rapCf.isEmpty()) {
        TClientDataSet ds;
        VelCuRepository(m_store).load(ds, s("TCUS_DATISOST"));
        ds.first();
        ds.edit();
        const QString signer = (sed("SSEDRAPCOGNOME") + QLatin1Char(' ') + sed("SSEDRAPNOME")).simplified();
        for (const auto &[field, value] : {std::pair{"SSOSCFRAPPR", rapCf}, std::pair{"SCARCODICE", sed("SSEDRAPCARICA")},
                                           std::pair{"SSOSCOGNRAPPR", sed("SSEDRAPCOGNOME")},
                                           std::pair{"SSOSNOMERAPPR", sed("SSEDRAPNOME")},
                                           std::pair{"SSOSFIRMACOM", signer}})
            if (ds.fieldByName(s(field)).asString().trimmed().isEmpty())
                ds.fieldByName(s(field)).setAsString(value.trimmed());
        ds.post();
        VelCuRepository(m_store).write(ds, s("TCUS_DATISOST"));
    }
    rewrite("TCUCT_DATICT", {{"SCTCODFIS", codFis}, {"LCTFISCONLINE", s("0")}, {"LCTSRVENTRATEL", s("0")}});
    rewrite("TCFO_FORNITORE", {{"SFORCODFIS", codFis}, {"STFOCODICE", s("01")}});
    tr.Commit();
}

