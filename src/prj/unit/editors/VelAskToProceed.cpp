#include "src/prj/unit/editors/VelAskToProceed.h"

#include "platform/framework/OvMessages.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"

bool velAskToProceed(const QStringList &lines)
{
    // An entry of the check may hold several lines separated by "\r\n".
    QStringList shown;
    for (const QString &l : lines)
        shown << l.split(QStringLiteral("\r\n"));
    return TfmVelInfo::Execute(shown, true) == mrYes;
}
