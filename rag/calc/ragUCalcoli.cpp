#include "rag/calc/ragUCalcoli.h"

#include "rag/calc/ragUQuery.h"

#include <algorithm>

namespace {

QVariantMap range(int iacomid, int meseIniziale, int meseFinale)
{
    return {{QStringLiteral("IACOMID"), iacomid},
            {QStringLiteral("MESE_INIZIALE"), meseIniziale},
            {QStringLiteral("MESE_FINALE"), meseFinale}};
}

}

Currency TragCalcola::inpsFondamentali(int iacomid, int iriceid, int icosid, int meseIniziale, int meseFinale,
                                       const QString &filter, const QString &query, const TRagSource &source)
{
    QVariantMap p = range(iacomid, meseIniziale, meseFinale);
    p.insert(QStringLiteral("IRICEID"), iriceid);
    p.insert(QStringLiteral("ICOSID"), icosid);
    TRagQuery q(source);
    return q.total(query, p, {filter}, QStringLiteral("TOTALE"));
}

Currency TragCalcola::inpsAccessori(int iacomid, int iriceid, int ivarmriprid, int meseIniziale, int meseFinale,
                                    const QString &filter, const QString &query, const TRagSource &source)
{
    QVariantMap p = range(iacomid, meseIniziale, meseFinale);
    p.insert(QStringLiteral("IRICEID"), iriceid);
    p.insert(QStringLiteral("IVARMRIRPID"), ivarmriprid);
    TRagQuery q(source);
    return q.total(query, p, {filter}, QStringLiteral("TOTALE"));
}

int TragCalcola::assenze(int iacomid, int meseIniziale, int meseFinale, const TRagSource &source)
{
    TRagQuery q(source);
    q.open(QStringLiteral("QRY_CUD_ASSENZE"), range(iacomid, meseIniziale, meseFinale));
    const int days = q.dataSet().isEmpty() ? 0 : int(q.dataSet().fieldByName(QStringLiteral("ASSENZE")).asInteger());
    q.dataSet().close();
    return days;
}

int TragCalcola::giorniLavorati(int iacomid, int meseIniziale, int meseFinale, const QString &filter,
                                const TRagSource &source)
{
    // The months of the range in one statement: on a server each one was a
    // round trip.
    const int first = std::max(1, meseIniziale), last = std::min(12, meseFinale);
    if (first > last)
        return 0;
    TRagQuery q(source);
    q.open(QStringLiteral("QRY_CUD_GIORNI"), {{QStringLiteral("IACOMID"), iacomid}},
           {QStringLiteral("REGS.IMESID BETWEEN %1 AND %2 %3").arg(first).arg(last).arg(filter)});
    qint64 days = q.dataSet().isEmpty() ? 0 : q.dataSet().fieldByName(QStringLiteral("IREGSGIORNI")).asInteger();
    q.dataSet().close();
    if (days > 0)
        days -= assenze(iacomid, meseIniziale, meseFinale, source);
    return int(std::clamp<qint64>(days, 0, 365));
}

TragCalcolaFond::Aliquote TragCalcolaFond::aliquote(int iacomid, int ianfid, int iriceid, int IACOMSCAINPDAP,
                                                    const TRagSource &source)
{
    TRagQuery q(source);
    q.open(QStringLiteral("QRY_CUD_INT_DMA_STO_CALC_DIP"),
           {{QStringLiteral("IACOMID"), iacomid},
            {QStringLiteral("IANFID"), ianfid},
            {QStringLiteral("IRICEID"), iriceid},
            {QStringLiteral("IACOMSCAINPDAP"), IACOMSCAINPDAP}});
    Aliquote a;
    if (!q.dataSet().isEmpty()) {
        a.found = true;
        a.FRICAALIQUOTADIP = TRagQuery::amount(q.dataSet(), QStringLiteral("FRICAALIQUOTADIP"));
        a.FRICAALIQUOTAAMM = TRagQuery::amount(q.dataSet(), QStringLiteral("FRICAALIQUOTAAMM"));
    }
    q.dataSet().close();
    return a;
}
