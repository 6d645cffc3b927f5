// The annotations of a CU built from payroll: the coded notes, the periods of
// work and the checks of the days for deductions.
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "tor/store/torUDBCds.h"

using namespace VelImport;

// ---- annotations -------------------------------------------------------------

QString TVelImportCud::notaCodificata(const QString &code)
{
    if (!m_note) {
        m_note = std::make_unique<TClientDataSet>();
        VelCodeTables::load(*m_note, s("TNOT_NOTE.CDS"),
                            cartellaTabelle.isEmpty() ? VelCodeTables::folder() : cartellaTabelle);
    }
    if (!m_note->locate(s("Codice"), code))
        throw EOvError(QStringLiteral("Codice annotazione non gestito :") + code);
    return code + QStringLiteral(") ") + m_note->fieldByName(s("Nota")).asString();
}

QString TVelImportCud::testoPeriodi(const QList<RigaPeriodo> &rows, int *count)
{
    struct Period
    {
        QDate dal, al;
        Currency importo;
    };
    QList<Period> periods;
    for (const RigaPeriodo &r : rows) {
        if (!r.dal.isValid())
            continue;
        const QDate al = r.al.isValid() ? r.al : r.dal;
        if (!periods.isEmpty() && periods.last().al.isValid() && r.dal <= periods.last().al.addDays(1)) {
            Period &p = periods.last();
            p.al = std::max(p.al, al);
            p.importo += r.importo;
        } else {
            periods.append({r.dal, al, r.importo});
        }
    }
    // A period paid nothing taxable (a scholarship) says nothing.
    periods.removeIf([](const Period &p) { return p.importo.isZero(); });
    if (count)
        *count = int(periods.size());
    if (periods.isEmpty())
        return QString();
    QStringList parts;
    for (const Period &p : periods)
        parts << QStringLiteral("dal:") + dateText(p.dal) + QStringLiteral(" al: ") + dateText(p.al)
                     + QStringLiteral(" per un importo di %1").arg(amountText(p.importo));
    return parts.join(QStringLiteral("; ")) + QStringLiteral("\r\n");
}

void TVelImportCud::annotazioni()
{
    if (text("SCUDCASIESCPREC") == QLatin1String("2"))
        return;
    QString note = text("SCUDANNOTAZIONI");
    auto line = [&](const QString &l) { note += l + QStringLiteral("\r\n"); };

    // The periods of work.
    TRagQuery q(&conn());
    TOvSQLQuery &pr = q.open(s("QRY_CUD_PERIODI"), {{s("IACOMID"), m_iacomid},
                                                   {s("MESE_INIZIALE"), m_meseIniziale},
                                                   {s("MESE_FINALE"), m_meseFinale},
                                                   {s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM},
                                                   {s("RICE_COD_IRPEF"), RICE_COD_IRPEF},
                                                   {s("CO_FONDAMENTALI"), 1}});
    QList<RigaPeriodo> rows;
    for (pr.first(); !pr.eof(); pr.next())
        rows.append({pr.fieldByName(s("DREGSDAL")).asDate(), pr.fieldByName(s("DREGSAL")).asDate(),
                     TRagQuery::amount(pr, s("IMPONIBILE_IRPEF"))});
    for (const RigaPeriodo &r : std::as_const(rows))
        if (r.importo < Currency())
            throw EOvError(QStringLiteral("Dati retributivi non validi: imponibile IRPEF negativo (%1) nel periodo "
                                          "dal %2 al %3. Correggere i cedolini nel programma stipendi.")
                               .arg(amountText(r.importo), dateText(r.dal), dateText(r.al)));
    int nPeriods = 0;
    const QString periodi = testoPeriodi(rows, &nPeriods);

    const int year = anno();
    // 1.-3.
    if (text("LCUDCONGUAGLIO") == QLatin1String("0"))
        line(QStringLiteral("Conguaglio non effettuato"));
    if (text("LCUDCOMPRENSIVO") == QLatin1String("X"))
        line(QStringLiteral("ZZ) ") + QStringLiteral("Il presente annulla e sostituisce eventuali CUD precedenti"));
    if (!listaFiscale.isEmpty() && integer("ICUDPERIODOLAV") < GIORNI_ANNO && !periodi.isEmpty())
        note += QStringLiteral("AI) ") + periodi;

    // 4. The relationship.
    const Currency redditi = money("FCUDREDDDETR") + money("FCUDREDDETTRDET");
    if (redditi > Currency()) {
        // Box 718: "1" when boxes 1 and 2 hold employment income entitled to the
        // sum outside income and the further detraction, "2" when they do not
        // (collaborations only: assimilated income is left out of both).
        set("SCUDSNCFRTIPOLOGIA", listaFiscale.isEmpty() ? s("2") : s("1"));
        set("SCUDPTRCOD1", listaFiscale.isEmpty() ? s("6") : s("1"));
        setMoney("FCUDPTRIMP1", redditi);
        const QDate inizio = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
        if (inizio.isValid())
            set("DCUDDATINIRL", inizio);
        else
            log(InfoFiscale, QStringLiteral("Data inizio rapporto in anagrafica non è impostata."));
        const QDate fine = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
        if (fine.isValid() && fine.year() == year) {
            set("DCUDDATFINRL", fine);
            if (text("LCUDCONGUAGLIO") == QLatin1String("X"))
                line(QStringLiteral("Data fine: ") + dateText(fine));
        } else if (!fine.isValid() || fine.year() > year) {
            // In force on 31 December: open-ended, or ending after the year.
            set("LCUDINFORZA3112", s("X"));
        }
        if (nPeriods > 1) {
            set("ICUDPERPART", s("1"));
        } else {
            Currency assenze;
            if (!listaFiscale.isEmpty()) {
                TRagQuery a(&conn());
                assenze = a.total(s("QRY_CUD_ASSENZE"),
                                  {{s("IACOMID"), m_iacomid},
                                   {s("MESE_INIZIALE"), m_meseIniziale},
                                   {s("MESE_FINALE"), m_meseFinale}},
                                  {}, s("ASSENZE"));
            }
            if (assenze > Currency())
                set("ICUDPERPART", s("2"));
            else if (integer("ICUDPERIODOLAV") == 0)
                set("ICUDPERPART", s("4"));
        }
    }
    // 5.
    controlloGiorni();
    if (integer("ICUDPERIODOLAV") > GIORNI_ANNO)
        set("ICUDPERIODOLAV", GIORNI_ANNO);

    const int giorni = integer("ICUDPERIODOLAV");
    const bool senzaConguaglio = text("LCUDCONGUAGLIO") == QLatin1String("0");
    const QDate fineRl = cdsImport.fieldByName(s("DCUDDATFINRL")).asDate();
    const bool fineNellAnno = fineRl.isValid() && fineRl.year() == year;
    // 6.-8.
    if (giorni < GIORNI_ANNO && (!money("FCUDADDREGIRPEF").isZero() || !money("FCUDADDCOMIRPEF").isZero())
        && (senzaConguaglio || (text("LCUDCONGUAGLIO") == QLatin1String("X") && fineNellAnno)))
        line(notaCodificata(s("AL")));
    if (giorni < GIORNI_ANNO && money("FCUDDEDNOTAXFAM") > Currency() && senzaConguaglio)
        line(notaCodificata(s("AC")));
    if (money("FCUDCONTRESCLUSI") > Currency() && senzaConguaglio)
        line(notaCodificata(s("CC")));
    // 9. The minimum employment deduction.
    {
        TRagQuery t(&conn());
        TOvSQLQuery &tdla = t.open(s("QRY_TDLA"), {{s("IANFID"), ianfid()}});
        if (!tdla.isEmpty()) {
            const int tno = int(m_acom->fieldByName(s("ITNOID")).asInteger());
            const Currency minimo =
                TRagQuery::amount(tdla, (tno == 1 || tno == 2) ? s("FTDLAMININD") : s("FTDLAMINDET"));
            if (money("FCUDDETRDIPPENSREDD") < minimo && money("FCUDIMPLORDA") > Currency())
                line(notaCodificata(s("AN")));
        }
    }
    set("SCUDANNOTAZIONI", note);
}

void TVelImportCud::controlloGiorni()
{
    const int year = anno();
    const int giorni = integer("ICUDPERIODOLAV");
    const QString perPart = text("ICUDPERPART").trimmed();
    if (giorni == 0 && !money("FCUDREDDDETR").isZero() && perPart.isEmpty() && listaCococo.isEmpty()) {
        set("ICUDPERPART", s("4"));
        if (text("LCUDCPOSCNACFC") != QLatin1String("X"))
            log(InfoFiscale,
                QStringLiteral("Non sono presenti giorni per detrazioni, si presume siano stati pagati solo compensi "
                               "accessori.\r\n  Impostato in automatico il codice 4 sul punto \"11 - Periodi "
                               "Particolari\""));
        return;
    }
    if (giorni == 0)
        return;
    const QDate primo(year, 1, 1), ultimo(year, 12, 31);
    const QDate inizioRl = cdsImport.fieldByName(s("DCUDDATINIRL")).asDate();
    const QDate fineRl = cdsImport.fieldByName(s("DCUDDATFINRL")).asDate();
    const QDate dal = inizioRl.isValid() ? std::max(inizioRl, primo) : primo;
    const QDate al = fineRl.isValid() ? std::min(fineRl, ultimo) : ultimo;
    const int calcolati = dal <= al ? int(dal.daysTo(al)) + 1 : 0;
    const QDate inizioRapp = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
    const QDate fineRapp = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
    const bool piuAnni = (inizioRapp.isValid() && inizioRapp.year() < year) || (fineRapp.isValid() && fineRapp.year() > year);
    // Box 6 never holds more days than the relationship has in the year;
    // with other employers' income taken in (531-536), their periods count
    // too, within the year.
    const bool altriSoggetti = !money("FCUDIMPONPTO1").isZero() || !money("FCUDIMPONPTO2").isZero();
    const int limite = altriSoggetti ? int(primo.daysTo(ultimo)) + 1 : calcolati;
    const bool oltre = giorni > limite;
    if (oltre)
        set("ICUDPERIODOLAV", limite);
    if (oltre && !listaCococo.isEmpty() && piuAnni)
        log(InfoFiscale, QStringLiteral("Periodo di lavoro per co.co.co. su più anni. Giorni per detrazioni impostate "
                                        "automaticamente.\r\n  Su dati retributivi inserito: %1, calcolato sul periodo "
                                        "lavorato nell'anno: %2.")
                             .arg(giorni)
                             .arg(calcolati));
    else if (giorni != calcolati && perPart.isEmpty())
        log(InfoFiscale, QStringLiteral("Giorni per detrazioni non congruenti con i giorni di lavoro calcolati (%1):\r\n "
                                        " (verificare campi 6,8 e 9 dei Dati fiscali)")
                             .arg(calcolati)
                             + (oltre ? giorniScritti(giorni, limite) : QString()));
    else if (oltre)
        log(InfoFiscale, QStringLiteral("Giorni per detrazioni oltre il periodo del rapporto nell'anno.")
                             + giorniScritti(giorni, limite));
}

QString TVelImportCud::giorniScritti(int payroll, int written)
{
    return QStringLiteral("\r\n  Su dati retributivi: %1; nel punto 6 indicati: %2.").arg(payroll).arg(written);
}

