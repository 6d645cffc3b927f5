#include "src/prj/unit/shell/VelSchemaUpdate.h"

#include "platform/db/InstallRoot.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "src/prj/unit/model/VelStructureSeed.h"

#include <QDir>
#include <QFileInfo>

namespace VelSchemaUpdate {

QString bringUpToDate(const TOvDbConfig &config, const QString &sqlDir)
{
    if (!config.isSQLite() || !QFileInfo(config.path).isFile())
        return QString();
    TOvSQLConnection conn(config);
    conn.openOrThrow();
    TOvSchemaInstaller installer(conn, sqlDir.isEmpty() ? InstallRoot::sqlDir() : sqlDir);
    const TOvSchemaInstaller::Report report = installer.install(false, false);
    if (report.applied.isEmpty())
        return QString();
    seedStructures(conn, QStringLiteral("vel"), Campagna::AnnoFinanziario);
    return QStringLiteral("Il database %1 era di una versione precedente del programma: aggiornato con %2 script "
                          "(%3). I dati già presenti sono stati mantenuti.")
        .arg(QDir::toNativeSeparators(config.path))
        .arg(report.applied.size())
        .arg(report.applied.join(QStringLiteral(", ")));
}

} // namespace VelSchemaUpdate
