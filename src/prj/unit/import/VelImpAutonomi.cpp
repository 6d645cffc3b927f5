#include "src/prj/unit/import/VelImpAutonomi.h"

#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelCudReader.h"
#include "src/prj/unit/import/VelImportTables.h"
#include "src/prj/unit/model/VelCuRules.h"
#include "tor/calc/TorPosizioni.h"
#include "velcu/VelFields.h"

#include <QStringList>
#include <algorithm>

namespace {

bool ritenutaIrpef(int rice)
{
    return rice == TCudStd::RICE_COD_IRPEF || rice == TCudStd::RICE_COD_IRPEF_AM || rice == TCudStd::RICE_COD_IRPEF_TS;
}

// Social-security withholding lines of a self-employed register: INPS,
// part-time INPS, separate scheme, public pension. The entertainment fund
// has queries of its own.
bool ritenutaContributiva(int rice)
{
    return rice == 2 || rice == 3 || rice == 13 || rice == 15;
}

void somma(TClientDataSet &ds, const char *field, Currency value)
{
    const TField f = ds.fieldByName(QLatin1String(field));
    f.setAsCurrency(f.asCurrency() + value);
}

Currency campo(TClientDataSet &ds, const char *field)
{
    const TField f = ds.fieldByName(QLatin1String(field));
    return f.isNull() ? Currency() : f.asCurrency();
}

}

QList<TVelImpAutonomi::Registro> TVelImpAutonomi::registri(TClientDataSet &xqc)
{
    QList<Registro> out;
    for (xqc.first(); !xqc.eof(); xqc.next())
        out.append({int(xqc.fieldByName(QStringLiteral("IREGSID")).asInteger()),
                    xqc.fieldByName(QStringLiteral("CAUSALE")).asString().trimmed().toUpper()});
    return out;
}

QList<TVelImpAutonomi::Registro> TVelImpAutonomi::leggiRegistri(const TVelImpContesto &ctx)
{
    TRagQuery q(ctx.source());
    TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_AUTON_REGSID"),
                             {{QStringLiteral("IACOMID"), ctx.IACOMID},
                              {QStringLiteral("TNO_LIB_PROF"), TorPosizioni::LiberoProfessionista},
                              {QStringLiteral("RICE_COD_IRPEF_AM"), TCudStd::RICE_COD_IRPEF_AM},
                              {QStringLiteral("RICE_COD_IRPEF_TS"), TCudStd::RICE_COD_IRPEF_TS}},
                             {TRagQuery::condizioneAutonomi(ctx.listaFiscale)});
    return registri(ds);
}

QStringList TVelImpAutonomi::causali(const QList<Registro> &regs)
{
    QStringList out{QStringLiteral("A"), QStringLiteral("M")};
    QStringList altre;
    for (const Registro &r : regs)
        if (!out.contains(r.CAUSALE) && !altre.contains(r.CAUSALE))
            altre << r.CAUSALE;
    std::sort(altre.begin(), altre.end());
    return out + altre;
}

bool TVelImpAutonomi::ritenutaATitoloDImposta(const QString &causale)
{
    // Non-residents' use of equipment: the withholding is the final tax (the
    // coherence check reads the section by the same rule).
    return VelCuRules::ritenutaATitoloDImposta(causale);
}

int TVelImpAutonomi::importa(const TVelImpContesto &ctx, TClientDataSet &ds, const QList<Registro> &regs)
{
    TVelSenzaFiltro nf(ds);
    TRagQuery q(ctx.source());
    const bool minimi = ctx.LACOMMINIMI == 1;
    // The relationship the registers are of: every query below reads its rows.
    const QVariantMap rapporto{{QStringLiteral("IACOMID"), ctx.IACOMID}};
    Contributi contributi;
    int scritte = 0;

    // One entry per payment reason: each reason is income of its own kind
    // in the payee's return, so two reasons are never summed into one.
    for (const QString &causale : causali(regs)) {
        QStringList ids;
        for (const Registro &r : regs)
            if (r.CAUSALE == causale)
                ids << QString::number(r.IREGSID);
        if (ids.isEmpty())
            continue;
        const QString filtro = QStringLiteral("AND REGS.IREGSID IN (%1)").arg(ids.join(QLatin1Char(',')));

        ctx.nuovaRiga(ds);
        ds.fieldByName(fld::LASEALTCONT.qs()).setAsString(QStringLiteral("0"));
        ds.fieldByName(fld::SCAUCODICE.qs()).setAsString(causale);
        ds.fieldByName(fld::LDSE7ANTICIPAZ.qs()).setAsString(QStringLiteral("0"));
        Currency senzaRitenuta;
        if (minimi) {
            const Currency lordo = q.total(QStringLiteral("QRY_CUD_AUTON_MINIMI"), rapporto, {filtro}, QStringLiteral("LORDO"));
            somma(ds, fld::FDSE7AMMLORDO.name, lordo);
            somma(ds, fld::FDSE7ALTRESOMME.name, lordo);
        } else {
            senzaRitenuta = ritenute(q, rapporto, ds, ids, causale, contributi);
            // The fund's queries read the whole relationship: once, on the
            // first entry.
            if (ctx.IACOMSOGGENPALS > 0 && !contributi.fondoLetto)
                fondoSpettacolo(ctx, q, ds, contributi);
        }
        altreSomme(ctx, q, ds, filtro);
        ds.post();
        ctx.salvaTabella(ds, kTabella);
        ++scritte;
        if (senzaRitenuta > Currency())
            ctx.scrivi(SezioneAutonomo,
                       QStringLiteral("Compensi con causale %1 pagati senza ritenuta (%2): certificati come altre somme "
                                      "non soggette a ritenuta (codice 21). Verificare che non fossero da assoggettare "
                                      "a ritenuta.")
                           .arg(causale, VelImport::amountText(senzaRitenuta)));
    }
    if (scritte == 0)
        return 0;
    if (scritte > 1)
        ctx.scrivi(SezioneAutonomo,
                   QStringLiteral("Presenza di liquidazioni con causali diverse: certificata una riga per causale."));
    if (contributi.inps && contributi.fondo)
        ctx.scrivi(SezioneAutonomo, QStringLiteral("Contributi INPS ed FPLS (ex Enpals) presenti per la stessa persona"));
    return scritte;
}

Currency TVelImpAutonomi::ritenute(TRagQuery &q, const QVariantMap &rapporto, TClientDataSet &ds,
                                   const QStringList &ids, const QString &causale,
                                   Contributi &c)
{
    QStringList senzaIrpef = ids;
    // Withholding lines register by register: a register without an IRPEF
    // line paid its gross without withholding.
    for (const QString &id : ids) {
        TOvSQLQuery &som =
            q.open(QStringLiteral("QRY_CUD_AUTON_SOM"), rapporto, {QStringLiteral("AND REGS.IREGSID IN (%1)").arg(id)});
        for (som.first(); !som.eof(); som.next()) {
            const int rice = int(som.fieldByName(QStringLiteral("IRICEID")).asInteger());
            const Currency imp = TRagQuery::amount(som, QStringLiteral("IMP"));
            const Currency dip = TRagQuery::amount(som, QStringLiteral("RIT_DIP"));
            const Currency amm = TRagQuery::amount(som, QStringLiteral("RIT_AMM"));
            if (ritenutaIrpef(rice)) {
                senzaIrpef.removeAll(id);
                somma(ds, fld::FDSE7IMPONIBILE.name, imp);
                // The gross paid includes the taxable amount: without it the
                // gross would be below the taxable.
                somma(ds, fld::FDSE7AMMLORDO.name, imp);
                somma(ds, ritenutaATitoloDImposta(causale) ? fld::FDSE7RITTITIMP.name : fld::FDSE7RITTITACC.name, dip);
            } else if (ritenutaContributiva(rice)) {
                if (amm > Currency())
                    somma(ds, fld::FDSE7CONTRAMM.name, amm);
                if (dip > Currency())
                    somma(ds, fld::FDSE7CONTRDIP.name, dip);
                if (amm > Currency() || dip > Currency())
                    c.inps = true;
            }
        }
    }
    if (senzaIrpef.isEmpty())
        return Currency();
    // Paid with nothing withheld and not under the flat-rate regime: the
    // self-employed section sums up every payment of self-employed income,
    // so the gross is certified as a sum not subject to withholding (code
    // 21) and the office is told.
    const Currency lordo =
        q.total(QStringLiteral("QRY_CUD_AUTON_MINIMI"), rapporto,
                {QStringLiteral("AND REGS.IREGSID IN (%1)").arg(senzaIrpef.join(QLatin1Char(',')))}, QStringLiteral("LORDO"));
    somma(ds, fld::FDSE7AMMLORDO.name, lordo);
    somma(ds, fld::FDSE7ALTRESOMME.name, lordo);
    return lordo;
}

void TVelImpAutonomi::fondoSpettacolo(const TVelImpContesto &ctx, TRagQuery &q, TClientDataSet &ds, Contributi &c)
{
    c.fondoLetto = true;
    const QVariantMap p{{QStringLiteral("IACOMID"), ctx.IACOMID},
                        {QStringLiteral("RICE_COD_ENPALS"), RICE_COD_ENPALS},
                        {QStringLiteral("MESE_INIZIALE"), ctx.MESE_INIZIALE},
                        {QStringLiteral("MESE_FINALE"), ctx.MESE_FINALE}};
    TOvSQLQuery &f = q.open(QStringLiteral("QRY_EMENS_FPLS_EXENPALS_RIT"), p);
    const Currency amm =
        TRagQuery::amount(f, QStringLiteral("RIT_AMM")) + TRagQuery::amount(f, QStringLiteral("RIT_AMM_ECCMASSSPET"));
    const Currency dip = TRagQuery::amount(f, QStringLiteral("RIT_DIP")) + TRagQuery::amount(f, QStringLiteral("RIT_DIP_CTRAGG"))
                         + TRagQuery::amount(f, QStringLiteral("RIT_DIP_ECCMASSSPET"));
    QVariantMap plp = p;
    plp.insert(QStringLiteral("TNO_LIB_PROF"), TorPosizioni::LiberoProfessionista);
    plp.insert(QStringLiteral("COMR_ACC_RIT_PREV"), COMR_ACC_RIT_PREV);
    // The professional's pay that carries the fund's withholding: it tells
    // that the fund applies, it is not a contribution.
    const Currency lordoLp = q.total(QStringLiteral("QRY_EMENS_FPLS_EXENPALS_RITLP"), plp, {}, QStringLiteral("FVACRLORDO"));
    if (amm != Currency() || dip != Currency() || lordoLp != Currency()) {
        somma(ds, fld::FDSE7CONTRAMM.name, amm);
        somma(ds, fld::FDSE7CONTRDIP.name, dip);
        ds.fieldByName(fld::SASECATEG.qs()).setAsString(QStringLiteral("Z"));
        c.fondo = true;
    }
}

void TVelImpAutonomi::altreSomme(const TVelImpContesto &ctx, TRagQuery &q, TClientDataSet &ds, const QString &filtro)
{
    // Sums not subject to withholding and refunded expenses: the flat-rate
    // gross leaves both out, so they count for every payee.
    const QVariantMap rapporto{{QStringLiteral("IACOMID"), ctx.IACOMID}};
    const Currency nonSogg =
        q.total(QStringLiteral("QRY_CUD_AUTON_NON_SOGG"), rapporto, {filtro}, QStringLiteral("SOMME_NON_SOGG"));
    somma(ds, fld::FDSE7ALTRESOMME.name, nonSogg);
    somma(ds, fld::FDSE7AMMLORDO.name, nonSogg);
    somma(ds, fld::FDSE7SPESERIMB.name,
          q.total(QStringLiteral("QRY_CUD_AUTON_SPESE_RIMB"), rapporto, {filtro}, QStringLiteral("SOMME_RIMBORSATE")));
    // The social-security body's part of the entry: its contributions.
    const Currency contrAmm = campo(ds, fld::FDSE7CONTRAMM.name);
    const Currency contrDip = campo(ds, fld::FDSE7CONTRDIP.name);
    if (contrAmm > Currency() || contrDip > Currency()) {
        ds.fieldByName(fld::FASECONTDOV.qs()).setAsCurrency(contrAmm + contrDip);
        ds.fieldByName(fld::FASECONTVER.qs()).setAsCurrency(contrAmm + contrDip);
        ds.fieldByName(fld::SASECODFISENTEPREV.qs()).setAsString(ctx.paco.SPACOCFINPS);
        ds.fieldByName(fld::SASEDENENTEPREV.qs()).setAsString(QStringLiteral("INPS"));
    }
    if (campo(ds, fld::FDSE7ALTRESOMME.name) > Currency())
        ds.fieldByName(fld::FDSE7CODICE.qs())
            .setAsString(ctx.LACOMMINIMI == 1 ? QStringLiteral("25") : QStringLiteral("21"));
}
