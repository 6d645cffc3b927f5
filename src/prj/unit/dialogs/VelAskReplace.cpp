#include "src/prj/unit/dialogs/VelAskReplace.h"

#include "platform/framework/OvMessages.h"
#include "src/prj/unit/print/VelCuPrint.h"

#include <QDir>
#include <QFileInfo>

namespace VelAskReplace {

QString question(const QString &path)
{
    return QStringLiteral("Il file \"%1\" esiste già.\nSostituirlo con la nuova stampa?\n\n"
                          "Con \"No\" il file resta com'è e non si stampa nulla: per tenerli entrambi indicare "
                          "un altro nome di file.")
        .arg(QDir::toNativeSeparators(path));
}

bool mayWrite(const QString &path, bool draft, QString *said)
{
    if (!QFileInfo(path).isFile()) // a folder in its place: the save says why it fails
        return true;
    if (draft) {
        if (const QString refusal = TVelCuPrint::draftRefusal(path); !refusal.isEmpty()) {
            OvMessageDlg(refusal, mtWarning, mbOK);
            if (said)
                *said = QStringLiteral("Bozza non stampata: il documento definitivo resta com'è.");
            return false;
        }
    }
    if (OvMessageBox(question(path), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
        return true;
    if (said)
        *said = QStringLiteral("Stampa non eseguita: il file esistente resta com'è.");
    return false;
}

} // namespace VelAskReplace
