#include "src/prj/unit/model/VelCodeTables.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QFileInfo>

namespace VelCodeTables {

QString folder()
{
    return TorFolders::tabelleDir();
}

QString ownFolder()
{
    return TorFolders::ownTabelleDir();
}

QString resolve(const QString &fileName, const QString &dir)
{
    // A bare file name only: a path would leave the folder.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QString();
    // The installation's tables: a table the office typed (velcu-db tabelle
    // --importa) is its own copy, in the data folder, and comes first.
    if (QDir(dir) == QDir(folder())) {
        const QString own = TorFolders::resolveFile(ownFolder(), fileName);
        if (QFileInfo(own).isFile())
            return own;
    }
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
