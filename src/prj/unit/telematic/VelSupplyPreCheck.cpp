#include "src/prj/unit/telematic/VelSupplyPreCheck.h"

#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QHash>

#include <tuple>

namespace {

using VelFileSupport::text;

QDate dateOf(TClientDataSet &ds, const char *column)
{
    const TField f = ds.findField(QLatin1String(column));
    return f && !f.isNull() ? f.asDate() : QDate();
}

// What the rules between two values of a CU find: a value the office
// confirms (the tax code against birth date and sex, "EE" against the code's
// place), each with its rule's id.
QList<std::pair<const char *, QString>> toConfirm(TClientDataSet &d)
{
    QList<std::pair<const char *, QString>> out;
    const QString cf = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
    if (const QString why = VelSupplyRules::taxCodeAgainstBirth(cf, dateOf(d, fld::DCUDDATANAS.name), text(d, fld::SCUDSEX.name));
        !why.isEmpty())
        out.append({"codice-fiscale-nascita", QStringLiteral(" - Codice fiscale del percipiente (%1): ").arg(cf) + why});
    if (const QString why = VelSupplyRules::birthProvinceAgainstCode(text(d, fld::SCUDPROVNAS.name), cf); !why.isEmpty())
        out.append({"provincia-nascita-estero", QStringLiteral(" - ") + why});
    return out;
}

} // namespace

TClientDataSet &TVelSupplyPreCheck::dip()
{
    return m_ws.dataSet(QLatin1String(VelFileCds::Dip));
}

QStringList TVelSupplyPreCheck::report(const QList<int> &rows, const MandatoryCheck &mandatory)
{
    QStringList report;
    TClientDataSet &d = dip();
    TClientDataSet &family = m_ws.dataSet(QLatin1String(VelFileCds::ConFamCar));
    family.setFiltered(false);
    // the first dependants' row of each tax code, found once
    QHash<QString, int> familyRow;
    if (family.active() && !rows.isEmpty()) {
        const int fcf = family.fieldIndex(fld::SCUDCODFIS.qs());
        for (int r = family.recordCount() - 1; fcf >= 0 && r >= 0; --r)
            familyRow.insert(family.valueAt(r, fcf).toString(), r + 1);
    }
    for (int r : rows) {
        d.setRecNo(r);
        QStringList problems;
        bool ok = mandatory(problems, {&d});
        const QString cf = text(d, fld::SCUDCODFIS.name);
        for (const auto &[rule, line] : toConfirm(d)) {
            problems << QStringLiteral("Avviso") + line;
            m_confirmable.insert(QLatin1String(rule) + QLatin1Char('|') + cf.trimmed().toUpper());
            ok = false;
        }
        if (const int at = familyRow.value(cf); at > 0 && !cf.isEmpty()) {
            family.setRecNo(at);
            ok = mandatory(problems, {&family}) && ok;
        }
        if (ok)
            continue;
        report << QString() << QStringLiteral("Dipendente: ") + text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name);
        for (const QString &p : std::as_const(problems))
            report << p.split(QStringLiteral("\r\n"));
    }
    return report;
}

QStringList TVelSupplyPreCheck::repeatedTaxCodes(const QList<int> &rows)
{
    TClientDataSet &d = dip();
    const int fCf = d.fieldIndex(fld::SCUDCODFIS.qs());
    if (fCf < 0)
        return {};
    const int keep = d.recNo();
    QHash<QString, QStringList> names;
    QStringList order;
    for (int r : rows) {
        d.setRecNo(r);
        const QString cf = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
        if (cf.isEmpty())
            continue;
        if (!names.contains(cf))
            order << cf;
        QString who = (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
        const QString month = text(d, fld::SCUDMESE.name).trimmed();
        if (!month.isEmpty())
            who += QStringLiteral(" (mese %1)").arg(month);
        names[cf] << who;
    }
    if (keep > 0)
        d.setRecNo(keep);
    QStringList lines;
    for (const QString &cf : std::as_const(order)) {
        const QStringList &who = names[cf];
        if (who.size() > 1)
            lines << QStringLiteral("Il codice fiscale %1 compare in %2 certificazioni dello stesso sostituto "
                                    "d'imposta: %3.")
                         .arg(cf)
                         .arg(who.size())
                         .arg(who.join(QStringLiteral(", ")));
    }
    if (!lines.isEmpty())
        lines << QStringLiteral("Fornitura non generata: un percipiente ha una sola certificazione per sostituto; "
                                "eliminare in \"Dati CU\" quelle in più.");
    return lines;
}

QStringList TVelSupplyPreCheck::unsendableFields(const QList<int> &rows)
{
    // what the supply's check (and the agency's) would refuse in the file:
    // the tax codes of payee and dependants (never the payee's own), the
    // provinces ("EE" for a place of birth abroad), the municipalities' codes,
    // the protocol of a CU replaced, dates and days of the year
    TClientDataSet &d = dip();
    TClientDataSet &family = m_ws.dataSet(QLatin1String(VelFileCds::ConFamCar));
    family.setFiltered(false);
    QHash<qint64, QList<int>> familyRows; // IAFIID -> 0-based rows
    if (family.active() && !rows.isEmpty()) {
        const int fId = family.fieldIndex(fld::iAfiID.qsUpper());
        for (int r = 0; fId >= 0 && r < family.recordCount(); ++r)
            familyRows[family.valueAt(r, fId).toLongLong()] << r;
    }
    auto badCode = [](const QString &value, const QString &what) {
        const QString code = value.trimmed().toUpper();
        const QString why = VelCodFis::problem(code);
        return why.isEmpty() ? QString() : QStringLiteral(" - %1 non valido (%2): %3").arg(what, code, why);
    };
    // the other values by the rule table: refused here as the file's check
    // refuses them
    auto byRule = [](TClientDataSet &ds, const char *column, const char *what, bool feminine) {
        const QString v = text(ds, column).trimmed();
        const QString why = VelSupplyRules::checkColumn(QLatin1String(column), v);
        return why.isEmpty() ? QString()
                             : QStringLiteral(" - %1 non %2 (\"%3\"): %4")
                                   .arg(QLatin1String(what), feminine ? QStringLiteral("valida") : QStringLiteral("valido"),
                                        v, why);
    };
    const int year = Campagna::AnnoFinanziario;
    const int keep = d.recNo();
    QStringList report;
    for (int r : rows) {
        d.setRecNo(r);
        QStringList lines;
        const QString payee = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
        if (!payee.isEmpty())
            lines << badCode(payee, QStringLiteral("Codice fiscale del percipiente"));
        for (const auto &[column, what, feminine] :
             {std::tuple{fld::SCUDPROVNAS.name, "Provincia di nascita", true},
              std::tuple{fld::SCUDPROVDFAP.name, "Provincia del domicilio fiscale al 1/1", true},
              std::tuple{fld::SCUDPROVDFAC.name, "Provincia del domicilio fiscale all'1/1 dell'anno successivo", true},
              std::tuple{fld::SCUDCAPDFAP.name, "Codice comune del domicilio fiscale al 1/1", false},
              std::tuple{fld::SCUDCAPDFAC.name, "Codice comune del domicilio fiscale all'1/1 dell'anno successivo", false},
              std::tuple{fld::SCUDIDENTSERVTELE.name, "Identificativo del protocollo della CU da sostituire", false},
              std::tuple{fld::SCUDPROGRDICH.name, "Progressivo del protocollo della CU da sostituire", false}})
            lines << byRule(d, column, what, feminine);
        if (const QString why = VelSupplyRules::birthDate(dateOf(d, fld::DCUDDATANAS.name), QDate::currentDate()); !why.isEmpty())
            lines << QStringLiteral(" - Data di nascita: ") + why;
        if (const QString why = VelSupplyRules::relationshipStart(dateOf(d, fld::DCUDDATINIRL.name), year); !why.isEmpty())
            lines << QStringLiteral(" - Data di inizio del rapporto (punto 8): ") + why;
        for (const auto &[column, what] : {std::pair{fld::iCudPeriodoLav.upper, "Giorni di lavoro dipendente (punto 6)"},
                                           std::pair{fld::ICUDGGPENSIONE.name, "Giorni di pensione (punto 7)"}})
            if (const QString why = VelSupplyRules::days(int(text(d, column).trimmed().toLongLong()), year); !why.isEmpty())
                lines << QStringLiteral(" - %1: ").arg(QLatin1String(what)) + why;
        for (int fr : familyRows.value(d.fieldByName(fld::iAfiID.qsUpper()).asInteger())) {
            family.setRecNo(fr + 1);
            for (const auto &[column, what] : {std::pair{fld::SCUDCODFISCON.name, "Codice fiscale del coniuge"},
                                               std::pair{fld::SCUDCODFISPRIFIGL.name, "Codice fiscale del primo figlio"},
                                               std::pair{fld::SCUDCODFISFIGL.name, "Codice fiscale del familiare"}}) {
                const QString cf = text(family, column);
                if (cf.trimmed().isEmpty())
                    continue;
                lines << badCode(cf, QLatin1String(what));
                if (const QString why = VelSupplyRules::dependantCode(cf, payee); !why.isEmpty())
                    lines << QStringLiteral(" - %1 (%2): %3").arg(QLatin1String(what), cf.trimmed().toUpper(), why);
            }
        }
        lines.removeAll(QString());
        if (lines.isEmpty())
            continue;
        report << QStringLiteral("Dipendente: ") + (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
        report << lines;
    }
    if (keep > 0)
        d.setRecNo(keep);
    if (!report.isEmpty())
        report << QStringLiteral("Fornitura non generata: il controllo del file la rifiuterebbe; correggere questi dati "
                                 "in \"Dati CU\".");
    return report;
}
