#include "src/prj/unit/model/VelCuRules.h"

#include <algorithm>

namespace VelCuRules {

bool altriSostituti(const std::function<Currency(const VelAmountField &field)> &amount)
{
    return std::any_of(std::begin(kRedditiAltriSostituti), std::end(kRedditiAltriSostituti),
                       [&](const VelAmountField *field) { return !amount(*field).isZero(); });
}

PeriodoLavoro periodoLavoro(int anno, const QDate &inizio, const QDate &fine, bool altriSostituti)
{
    const QDate primo(anno, 1, 1), ultimo(anno, 12, 31);
    PeriodoLavoro p;
    p.dal = inizio.isValid() ? std::max(inizio, primo) : primo;
    p.al = fine.isValid() ? std::min(fine, ultimo) : ultimo;
    p.rapporto = p.dal <= p.al ? int(p.dal.daysTo(p.al)) + 1 : 0;
    p.massimo = altriSostituti ? int(primo.daysTo(ultimo)) + 1 : p.rapporto;
    return p;
}

bool ritenutaATitoloDImposta(const QString &causale)
{
    return causale.trimmed().compare(QLatin1String("P"), Qt::CaseInsensitive) == 0;
}

} // namespace VelCuRules
