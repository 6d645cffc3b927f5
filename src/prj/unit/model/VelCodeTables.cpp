#include "src/prj/unit/model/VelCodeTables.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/InstallRoot.h"

#include <QDir>
#include <QFileInfo>

namespace VelCodeTables {

QString folder()
{
    return InstallRoot::root() + QStringLiteral("/USR/KZ2025/Res/Tabelle");
}

QString resolve(const QString &fileName, const QString &dir)
{
    // Only a bare file name: a path would escape the folder.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QString();
    const QDir d(dir);
    if (QFileInfo(d.filePath(fileName)).isFile())
        return d.filePath(fileName);
    const QStringList entries = d.entryList(QDir::Files);
    for (const QString &entry : entries)
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return d.filePath(entry);
    return QString();
}

void load(TClientDataSet &ds, const QString &fileName, const QString &dir)
{
    const QString path = resolve(fileName, dir);
    if (path.isEmpty())
        throw EOvError(QStringLiteral("Tabella codici non trovata: %1").arg(fileName));
    ds.loadFromFile(path);
}

}
