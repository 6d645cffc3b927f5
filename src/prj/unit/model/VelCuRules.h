#pragma once
// Rules of a CU's boxes that the import applies when it writes them and the
// coherence check applies when it reads them back: one definition each, so
// that the check never flags what the import writes by its own rule.
//
//   - box 6 (days of employment) against the relationship: at most the days
//     of the relationship inside the year, or the whole year when the
//     adjustment took in other employers' income (531-536 written), whose
//     periods then count too;
//   - the self-employed withholding as final tax ("a titolo d'imposta",
//     box 10 of the section) only under reason P; every other reason has it
//     on account (box 9).
#include "platform/core/Currency.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QString>
#include <functional>

namespace VelCuRules {

// Boxes 531-536 ("Totale redditi conguagliati già compresi nel punto" 1, 2,
// 3, 4, 5, 13): income of other employers taken in by the adjustment.
inline constexpr const VelAmountField *kRedditiAltriSostituti[] = {&fld::FCUDIMPONPTO1, &fld::FCUDIMPONPTO2, &fld::FCUDIMPONPTO3,
                                                          &fld::FCUDIMPONPTO4, &fld::FCUDIMPONPTO5, &fld::FCUDIMPONPTO13};

// True when any of 531-536 holds an amount; `amount` reads a box by its field.
bool altriSostituti(const std::function<Currency(const VelAmountField &field)> &amount);

// The relationship inside the year and the days box 6 may hold.
struct PeriodoLavoro
{
    QDate dal, al;     // from the later of the start and 1 January to the earlier of the end and 31 December
    int rapporto = 0;  // the days from `dal` to `al`, both counted (0 when the relationship is not in the year)
    int massimo = 0;   // what box 6 may hold: `rapporto`, or the year's days with other employers' income
};

// `inizio` and `fine` as boxes 8 and 9 hold them (either may be invalid: no date).
PeriodoLavoro periodoLavoro(int anno, const QDate &inizio, const QDate &fine, bool altriSostituti);

// True for the one reason whose withholding is the final tax (non-residents'
// use of equipment, "P").
bool ritenutaATitoloDImposta(const QString &causale);

} // namespace VelCuRules
