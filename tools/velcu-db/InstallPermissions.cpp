#include "InstallPermissions.h"

#include "platform/core/OvExceptions.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

bool restrict(const QString &path, bool isDir)
{
    const QFile::Permissions wanted = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther
        | (isDir ? (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther) : QFile::Permissions());
    const QFile::Permissions now = QFileInfo(path).permissions()
        & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
           | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    if (now == wanted)
        return false;
    if (!QFile::setPermissions(path, wanted))
        throw EOvError(QStringLiteral("Impossibile impostare i permessi di \"%1\".").arg(path));
    return true;
}

} // namespace

int protectConfigurationFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return 0;
    int changed = restrict(folder, true) ? 1 : 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo fi(path);
        if (fi.isSymLink())
            continue;
        if (restrict(path, fi.isDir()))
            ++changed;
    }
    return changed;
}
