#include "VelBoxRunHost.h"

#include "platform/framework/OvMessages.h"

void TVelBoxRunHost::notice(const QString &text, TVelNotice kind)
{
    switch (kind) {
    case TVelNotice::Information: OvMessageBox(text, MB_OK | MB_ICONINFORMATION); break;
    case TVelNotice::Warning: OvMessageBox(text, MB_OK | MB_ICONWARNING); break;
    case TVelNotice::Error: OvMessageBox(text, MB_OK | MB_ICONERROR); break;
    case TVelNotice::WarningAlert: OvMessageDlg(text, mtWarning, mbOK); break;
    case TVelNotice::ErrorAlert: OvMessageDlg(text, mtError, mbOK); break;
    }
}

bool TVelBoxRunHost::question(const QString &text)
{
    return OvMessageBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool TVelBoxRunHost::information(const QStringList &lines, bool ask)
{
    return OvInfoList(lines, ask) != mrNo;
}

TVelBoxRunHost &TVelBoxRunHost::instance()
{
    static TVelBoxRunHost host;
    return host;
}
