#include "src/prj/unit/model/VelCodeTables.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/util/TorFolders.h"

#include <QFileInfo>

namespace VelCodeTables {

QString folder()
{
    return TorFolders::tabelleDir();
}

QString resolve(const QString &fileName, const QString &dir)
{
    // A bare file name only: a path would leave the folder.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QString();
    const QString path = TorFolders::resolveFile(dir, fileName);
    return QFileInfo(path).isFile() ? path : QString();
}

void load(TClientDataSet &ds, const QString &fileName, const QString &dir)
{
    const QString path = resolve(fileName, dir);
    if (path.isEmpty())
        throw EOvError(QStringLiteral("Tabella codici non trovata: %1").arg(fileName));
    ds.loadFromFile(path);
}

}
