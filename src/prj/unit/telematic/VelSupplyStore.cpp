#include "src/prj/unit/telematic/VelSupplyStore.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelError.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/sql/OvSQLQuery.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelStoreTransactions.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/query/torCQueryText.h"
#include "velcu/VelFields.h"

#include <QDate>

namespace {

using VelFileSupport::text;

using Source = VelFileCds::Source;
const Source kCertifications[] = {
    {VelFileCds::Dip, rec::TCUD_DATICUD::id.name},          {VelFileCds::Inail, rec::TCUIN_INAIL::id.name},
    {VelFileCds::AltriEnti, rec::TCUDAE_ALTRIENTI::id.name}, {VelFileCds::Inps, rec::TCUDI_INPS::id.name},
    {VelFileCds::Inpdap, rec::TCUDN_INPDAP::id.name},       {VelFileCds::AutSe, rec::TASE_AUTSOMMEEROGATE::id.name},
    {VelFileCds::ConFamCar, rec::TCUDC_CONFAMCARICO::id.name}, {VelFileCds::Tfr, rec::TCUDT_TFR::id.name},
    {VelFileCds::Annotazioni, rec::TCUDA_ANNOTAZIONI::id.name}, {VelFileCds::CoopArt, rec::TCUDCA_COOPART::id.name},
};

bool blank(TClientDataSet &ds, const char *column)
{
    return text(ds, column).trimmed().isEmpty();
}

QDate dateOf(TClientDataSet &ds, const char *column)
{
    const TField f = ds.findField(QLatin1String(column));
    return f && !f.isNull() ? f.asDate() : QDate();
}

} // namespace

const QList<VelFileCds::Source> &TVelSupplyStore::certifications()
{
    static const QList<Source> all(std::begin(kCertifications), std::end(kCertifications));
    return all;
}

const QStringList &TVelSupplyStore::certificationStructures()
{
    static const QStringList names = [] {
        QStringList n;
        for (const Source &s : kCertifications)
            n << QLatin1String(s.structure);
        return n;
    }();
    return names;
}

void TVelSupplyStore::load(TClientDataSet &ds, const QString &structure)
{
    ds.setFiltered(false);
    VelCuRepository(m_store).load(ds, structure, TTorDBCds::AllMonths);
}

void TVelSupplyStore::loadAll()
{
    VelReadSnapshot snapshot(m_store.connection());
    for (const Source &s : VelFileCds::Sources)
        if (QLatin1String(s.cds) != QLatin1String(VelFileCds::Sost))
            load(m_ws.dataSet(QLatin1String(s.cds)), QLatin1String(s.structure));
    m_versions = VelCuRepository(m_store).versions();
    snapshot.end();
}

void TVelSupplyStore::reloadCertifications()
{
    VelReadSnapshot snapshot(m_store.connection());
    for (const Source &s : kCertifications)
        load(m_ws.dataSet(QLatin1String(s.cds)), QLatin1String(s.structure));
    m_versions = VelCuRepository(m_store).versions();
    snapshot.end();
}

void TVelSupplyStore::readSupplier()
{
    TClientDataSet &forn = m_ws.dataSet(QLatin1String(VelFileCds::Forn));
    load(forn, rec::TCFO_FORNITORE::id.qs());
    QString error;
    if (forn.isEmpty())
        error = QStringLiteral("Dati del fornitore mancanti, impossibile procedere!");
    else if (blank(forn, fld::STFOCODICE.name))
        error = QStringLiteral("Tipo fornitore mancante, impossibile procedere!");
    else if (blank(forn, fld::SFORCODFIS.name))
        error = QStringLiteral("Codice fiscale fornitore mancante, impossibile procedere!");
    if (!error.isEmpty())
        throw EVelError(error, {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    VelTaxCode::require(text(forn, fld::SFORCODFIS.name).toUpper(), QStringLiteral("Codice fiscale fornitore"));
    if (const QString why = VelSupplyRules::supplierType(text(forn, fld::STFOCODICE.name)); !why.isEmpty())
        throw EVelError(QStringLiteral("Tipo fornitore non valido: %1. Correggere in \"Dati Fornitore\", impossibile "
                                       "procedere!")
                            .arg(why),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
}

void TVelSupplyStore::readAgent()
{
    TClientDataSet &sost = m_ws.dataSet(QLatin1String(VelFileCds::Sost));
    load(sost, rec::TCUS_DATISOST::id.qs());
    if (sost.isEmpty())
        throw EVelError(QStringLiteral("Dati del sostituto mancanti, impossibile procedere!"),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    const std::pair<const char *, const char *> columns[] = {
        {fld::SSOSDENOM.name, "   Denominazione, "},
        {fld::SSOSCFRAPPR.name, "   Codice Fiscale Rappresentante, "},
        {fld::SCARCODICE.name, "   Codice Carica Rappresentante,"},
        {fld::SSOSCOGNRAPPR.name, "   Cognome Rappresentante, "},
        {fld::SSOSNOMERAPPR.name, "   Nome Rappresentante, "},
        {fld::SSOSFIRMACOM.name, "   Firma della comunicazione, "},
    };
    QString missing;
    for (const auto &[column, label] : columns)
        if (blank(sost, column))
            missing += QLatin1String(label);
    if (!missing.isEmpty())
        throw EVelError(QStringLiteral("Dati mancanti del sostituto : ") + missing + QStringLiteral(" impossibile procedere!"),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    VelTaxCode::require(text(sost, fld::SSOSCODFIS.name).toUpper(), QStringLiteral("Codice fiscale del sostituto"));
    // what the file's check would refuse in record B, said here with the box
    // the office corrects in "Dati Sostituto"
    QStringList wrong;
    for (const auto &[column, what] : {std::pair{fld::SSOSCFRAPPR.name, "Codice fiscale del rappresentante"},
                                       std::pair{fld::SCARCODICE.name, "Codice carica"}, std::pair{fld::SSOSCAP.name, "Cap"},
                                       std::pair{fld::SSOSPROV.name, "Prov."},
                                       std::pair{fld::SSOSCODFISINTERM.name, "Codice fiscale dell'incaricato"}})
        if (const QString why = VelSupplyRules::checkColumn(QLatin1String(column), text(sost, column)); !why.isEmpty())
            wrong << QStringLiteral("%1: %2").arg(QLatin1String(what), why);
    if (!blank(sost, fld::SSOSCODFISINTERM.name)) {
        if (text(sost, fld::LSOSDICHCONTRIB.name).trimmed() != QLatin1String("1"))
            wrong << QStringLiteral("l'incaricato non ha l'impegno a presentare in via telematica");
        if (!dateOf(sost, fld::DSOSDTIMPEGNO.name).isValid())
            wrong << QStringLiteral("manca la data dell'impegno dell'incaricato");
    }
    if (!wrong.isEmpty())
        throw EVelError(QStringLiteral("Dati del sostituto non validi: %1. Correggere in \"Dati Sostituto\", "
                                       "impossibile procedere!")
                            .arg(wrong.join(QStringLiteral("; "))),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
}

QString TVelSupplyStore::defaultMatricola(int workgroup)
{
    TOvSQLConnection *conn = m_store.connection();
    if (!conn)
        return QString();
    TOvSQLQuery q(conn);
    m_queries.SetQuery(QStringLiteral("QRY_PACO"), q, 0, QStringLiteral("SELECT"));
    if (q.params().findParam(QStringLiteral("IDWGID")))
        q.paramByName(QStringLiteral("IDWGID")).setAsInteger(workgroup);
    q.open();
    const QString m = q.isEmpty() ? QString() : q.fieldByName(QStringLiteral("SPACOMATRAZIENDA")).asString().trimmed();
    q.close();
    return m;
}

void TVelSupplyStore::recordCertifications(int certifications)
{
    TClientDataSet agent;
    VelCuRepository(m_store).load(agent, rec::TCUS_DATISOST::id.qs(), TTorDBCds::AllMonths);
    if (agent.isEmpty())
        return;
    agent.first();
    agent.edit();
    agent.fieldByName(fld::ISOSNDIP.qs()).setAsInteger(certifications);
    agent.post();
    VelCuRepository(m_store).write(agent, rec::TCUS_DATISOST::id.qs(), TTorDBCds::AllMonths);
}
