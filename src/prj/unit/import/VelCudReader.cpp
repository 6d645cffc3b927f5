#include "src/prj/unit/import/VelCudReader.h"

#include "platform/core/OvExceptions.h"
#include "rag/calc/ragUCalcoli.h"
#include "rag/calc/ragUQuery.h"

#include <algorithm>

namespace {

const QString kMixed = QStringLiteral("Impossibile crea la Certificazione: Esistono liquidazioni non inviate a NoiPa.");

}

QString TCudStd::mixedSources()
{
    return kMixed;
}

namespace {

QVariantMap rangeOf(const TVelCudImportState &s)
{
    return {{QStringLiteral("IACOMID"), s.IACOMID},
            {QStringLiteral("MESE_INIZIALE"), s.MESE_INIZIALE},
            {QStringLiteral("MESE_FINALE"), s.MESE_FINALE}};
}

}

TVelCudImportState &TCudStd::state() const
{
    if (!m_state)
        throw EAssertionFailed(QStringLiteral("Lettura dei dati fiscali prima dell'inizializzazione."));
    return *m_state;
}

void TCudStd::inizializza(TVelCudImportState &state)
{
    m_state = &state;
    m_addedLocal = false;
    m_addedNoiPa = false;
}

Currency TCudStd::sommaRitenute(const QString &query, const QString &codes, const QString &column)
{
    TVelCudImportState &s = state();
    TRagQuery q(s.source());
    TOvSQLQuery &ds = q.open(query, rangeOf(s), {codes, TRagQuery::positionFilter(s.fiscalList)});
    Currency total;
    for (ds.first(); !ds.eof(); ds.next()) {
        const Currency amount = TRagQuery::amount(ds, column);
        if (amount <= Currency())
            continue;
        if (ds.fieldByName(QStringLiteral("EXP_CSFA")).asInteger() == 0) {
            total += amount;
            m_addedLocal = true;
        } else if (s.FISCALE_NOIPA) {
            total += amount;
            m_addedNoiPa = true;
            s.LCUDCPOSCNACFC = true;
        }
    }
    ds.close();
    if (m_addedLocal && m_addedNoiPa)
        throw EOvWarning(kMixed);
    return total;
}

Currency TCudStd::impostaLorda()
{
    if (!m_ancheSenzaConguaglio)
        return Currency();
    return sommaRitenute(QStringLiteral("QRY_CUD_RIT"), TRagQuery::codeList({RICE_COD_IRPEF, RICE_COD_IRPEF_AM}),
                         QStringLiteral("LORDO"));
}

Currency TCudStd::ritenuteOperate()
{
    return sommaRitenute(QStringLiteral("QRY_CUD_RIT"), QString::number(RICE_COD_IRPEF_TS), QStringLiteral("TOTALE"));
}

Currency TCudStd::arretrati()
{
    return sommaRitenute(QStringLiteral("QRY_CUD_REDD"), QString::number(RICE_COD_IRPEF_TS), QStringLiteral("TOTALE"));
}

Currency TCudStd::imponibile()
{
    return sommaRitenute(QStringLiteral("QRY_CUD_REDD"), TRagQuery::codeList({RICE_COD_IRPEF, RICE_COD_IRPEF_AM}),
                         QStringLiteral("TOTALE"));
}

int TCudStd::giorni()
{
    TVelCudImportState &s = state();
    int days = 0;
    if (!s.collabList.trimmed().isEmpty())
        days += s.IACOMDURATARAPP;
    if (!s.fiscalList.trimmed().isEmpty())
        days += TragCalcola::giorniLavorati(s.IACOMID, s.MESE_INIZIALE, s.MESE_FINALE,
                                            TRagQuery::positionFilter(s.fiscalList), s.source());
    return days;
}

Currency TCudStd::impostaNetta()
{
    const Currency net = sommaRitenute(QStringLiteral("QRY_CUD_RIT"),
                                       TRagQuery::codeList({RICE_COD_IRPEF, RICE_COD_IRPEF_AM}),
                                       QStringLiteral("TOTALE"));
    m_detr.impostaNettaCalcolata = m_ancheSenzaConguaglio ? net : Currency();
    return net;
}

Currency TCudStd::addComTrattenuta()
{
    TVelCudImportState &s = state();
    QVariantMap p = rangeOf(s);
    p.insert(QStringLiteral("IRITVID"), RITV_ADD_COM);
    TRagQuery q(s.source());
    return q.total(QStringLiteral("QRY_CUD_RITV"), p, {}, QStringLiteral("TOTALE"));
}

Currency TCudStd::addComDovuta()
{
    return sommaRitenute(QStringLiteral("QRY_CUD_RIT"), QString::number(RICE_COD_ADD_COM), QStringLiteral("TOTALE"));
}

Currency TCudStd::addRegDovuta()
{
    return sommaRitenute(QStringLiteral("QRY_CUD_RIT"), QString::number(RICE_COD_ADD_REG), QStringLiteral("TOTALE"));
}

Currency TCudStd::valoreCampo(const QString &)
{
    return Currency();
}

void TCudStd::calcolaDetrazioni()
{
    if (!m_ancheSenzaConguaglio)
        return;
    TVelCudImportState &s = state();
    QVariantMap p = rangeOf(s);
    p.insert(QStringLiteral("RICE_COD_IRPEF"), RICE_COD_IRPEF);
    TRagQuery q(s.source());
    TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_NO_CONG"), p, {TRagQuery::positionFilter(s.fiscalList)});
    if (!ds.isEmpty()) {
        m_detr.detrFamiliari = TRagQuery::amount(ds, QStringLiteral("FADETIMPCONCAR"))
                        + TRagQuery::amount(ds, QStringLiteral("FADETIMPFIGLICAR"))
                        + TRagQuery::amount(ds, QStringLiteral("FADETIMPALTRICAR"));
        m_detr.detrLavoro = TRagQuery::amount(ds, QStringLiteral("FADETIMPLAVDIP"));
        m_detr.detrAggiuntiva = TRagQuery::amount(ds, QStringLiteral("FADETIMPLAVAGG"));
        // The additional deduction is kept apart from the employment one.
        m_detr.detrTotale = m_detr.detrFamiliari + m_detr.detrLavoro + m_detr.detrAggiuntiva;
    }
    ds.close();
}

void TCudStd::numeriFamiliari()
{
}

Currency TCudStd::bonus()
{
    return totaleVoce(COMR_BONUS) + totaleVoce(COMR_BONUS_ARR);
}

Currency TCudStd::totaleVoce(int icomrid, int da, int a)
{
    TVelCudImportState &s = state();
    QVariantMap p = rangeOf(s);
    if (da > 0)
        p.insert(QStringLiteral("MESE_INIZIALE"), std::max(da, s.MESE_INIZIALE));
    if (a > 0)
        p.insert(QStringLiteral("MESE_FINALE"), std::min(a, s.MESE_FINALE));
    p.insert(QStringLiteral("ICOMRID"), icomrid);
    p.insert(QStringLiteral("IANFID"), s.IANFID);
    TRagQuery q(s.source());
    return q.total(QStringLiteral("QRY_CUD_VOCE"), p, {TRagQuery::positionFilter(s.fiscalList)},
                   QStringLiteral("TOTALE_VOCE"));
}

// ---- year-end adjustment ----

void TCudCong::inizializza(TVelCudImportState &s)
{
    TCudStd::inizializza(s);
    m_cong.clear();
    m_found = false;
    TRagQuery q(s.source());
    TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_CONG"),
                             {{QStringLiteral("IACOMID"), s.IACOMID}, {QStringLiteral("IMESID"), s.MESE_FINALE}});
    if (!ds.isEmpty()) {
        m_found = true;
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const QString name = ds.field(i).fieldName().toUpper();
            if (name.startsWith(QLatin1String("FCONG")))
                m_cong.insert(name, TRagQuery::amount(ds, name));
        }
    }
    ds.close();
}

Currency TCudCong::valoreCampo(const QString &field)
{
    return m_cong.value(field.toUpper());
}

Currency TCudCong::impostaLorda()
{
    return valoreCampo(QStringLiteral("FCONGRITLORDA"));
}

Currency TCudCong::imponibile()
{
    return valoreCampo(QStringLiteral("FCONGIMPONIBILE_T"));
}

int TCudCong::giorni()
{
    return int(valoreCampo(QStringLiteral("FCONGGIORNI")).toDouble());
}

Currency TCudCong::impostaNetta()
{
    m_detr.impostaNettaCalcolata = valoreCampo(QStringLiteral("FCONGRITNETTA"));
    return m_detr.impostaNettaCalcolata;
}

Currency TCudCong::addComTrattenuta()
{
    return Currency();
}

Currency TCudCong::addComDovuta()
{
    return valoreCampo(QStringLiteral("FCONGADDCOM_DOV"));
}

Currency TCudCong::addRegDovuta()
{
    return valoreCampo(QStringLiteral("FCONGADDREG_DOV"));
}

void TCudCong::calcolaDetrazioni()
{
    m_detr.detrFamiliari = valoreCampo(QStringLiteral("FCONGIMPCONCAR")) + valoreCampo(QStringLiteral("FCONGIMPFIGLICAR"))
                    + valoreCampo(QStringLiteral("FCONGIMPALTRICAR"));
    m_detr.detrLavoro = valoreCampo(QStringLiteral("FCONGIMPLAVDIP"));
    m_detr.detrAggiuntiva = valoreCampo(QStringLiteral("FCONGIMPLAVAGG"));
    m_detr.detrTotale = valoreCampo(QStringLiteral("FCONGDETRAZIONI"));
}

void TCudCong::numeriFamiliari()
{
    m_detr.detrFamNum = valoreCampo(QStringLiteral("FCONGDETFAMNUM"));
    m_detr.credFamNum = valoreCampo(QStringLiteral("FCONGCREFAMNUM"));
    m_detr.credNrFamNum = valoreCampo(QStringLiteral("FCONGCNRFAMNUM"));
    m_detr.detrCanLoc = valoreCampo(QStringLiteral("FCONGDETCANONE"));
    m_detr.credCanLoc = valoreCampo(QStringLiteral("FCONGCRECANONE"));
    m_detr.credNrCanLoc = valoreCampo(QStringLiteral("FCONGCNRCANONE"));
}

Currency TCudCong::bonus()
{
    return valoreCampo(QStringLiteral("FCONGBONUS66_DOV"));
}
