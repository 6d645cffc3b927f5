#include "src/prj/unit/model/VelRecordModel.h"

#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QStringList>

namespace {

// The campaign's years as the model's captions name them: the year before the
// income year, the income year, the filing year.
const QString kYearBefore = Campagna::anno(Campagna::AnnoPrecedente);
const QString kIncomeYear = Campagna::anno(Campagna::AnnoFinanziario);
const QString kFilingYear = Campagna::anno(Campagna::AnnoInvio);

// Years of the boxes whose caption names one (in the order of the "%s").
const QHash<QString, QStringList> &yearOverrides()
{
    static const QHash<QString, QStringList> m = {
        {fld::FCUDADDCOMSALDOPREC.qs(), {kYearBefore}},
        {fld::fCudAddComIrpefAC.qsUpper(), {kFilingYear}},
        {fld::FRL7TFRMATANNPRECRIM.qs(), {QStringLiteral("2000")}},
        {fld::FRL7TFRMATANNREDDRIM.qs(), {QStringLiteral("2001")}},
        {fld::FRL7TFRVERSANNPREC.qs(), {QStringLiteral("2000")}},
        {fld::FRL7TFRVERANNREDD.qs(), {QStringLiteral("2001"), QStringLiteral("2006")}},
        {fld::FRL7TFRMAT07VERFND.qs(), {QStringLiteral("2007")}},
    };
    return m;
}

} // namespace

QString VelFieldDesc::caption() const
{
    QString text = label;
    if (!text.contains(QLatin1String("%s")))
        return text;
    QStringList years = yearOverrides().value(name.toUpper());
    const int n = int(text.count(QLatin1String("%s")));
    if (years.isEmpty())
        years = n >= 2 ? QStringList{kYearBefore, kIncomeYear, kFilingYear} : QStringList{kIncomeYear};
    int i = 0;
    qsizetype at = 0;
    while ((at = text.indexOf(QLatin1String("%s"), at)) >= 0) {
        const QString y = years.value(i++, years.last());
        text.replace(at, 2, y);
        at += y.size();
    }
    return text;
}
