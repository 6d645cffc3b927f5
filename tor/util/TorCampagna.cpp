#include "tor/util/TorCampagna.h"

#include <QStringList>

namespace Campagna {

QString provvedimentoEsteso()
{
    static const QStringList months = {
        QStringLiteral("gennaio"), QStringLiteral("febbraio"), QStringLiteral("marzo"),
        QStringLiteral("aprile"), QStringLiteral("maggio"), QStringLiteral("giugno"),
        QStringLiteral("luglio"), QStringLiteral("agosto"), QStringLiteral("settembre"),
        QStringLiteral("ottobre"), QStringLiteral("novembre"), QStringLiteral("dicembre")};
    const QDate d = dataProvvedimento();
    return QStringLiteral("%1 %2 %3").arg(d.day()).arg(months.at(d.month() - 1)).arg(d.year());
}

} // namespace Campagna
