#include "src/prj/unit/editors/VelAskToProceed.h"

#include "platform/framework/OvMessages.h"

bool velAskToProceed(const QStringList &lines)
{
    // An entry of the check may hold several lines separated by "\r\n".
    QStringList shown;
    for (const QString &l : lines)
        shown << l.split(QStringLiteral("\r\n"));
    return OvInfoList(shown, true) == mrYes;
}
