#include "src/prj/unit/editors/VelAskToProceed.h"

#include "platform/framework/OvMessages.h"

QString velAskToProceedText(const QStringList &lines)
{
    // An entry may hold several lines separated by "\r\n".
    QStringList shown;
    for (const QString &l : lines)
        shown << QString(l).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown.join(u'\n') + QStringLiteral("\n\nSi desidera proseguire?");
}

bool velAskToProceed(const QStringList &lines)
{
    return OvMessageBox(velAskToProceedText(lines), MB_YESNO | MB_ICONQUESTION) == IDYES;
}
