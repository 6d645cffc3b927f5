#include "platform/db/InstallRoot.h"

#include <QCoreApplication>
#include <QDir>

namespace InstallRoot {

QString root()
{
    const QString env = qEnvironmentVariable("VELCU_STAGE_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    if (QCoreApplication::instance())
        return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    return QDir::cleanPath(QDir::currentPath());
}

QString binDir() { return root() + QStringLiteral("/bin"); }
QString etcDir() { return root() + QStringLiteral("/etc/rag"); }
QString usrDir() { return root() + QStringLiteral("/usr/rag"); }
QString sqlDir() { return etcDir() + QStringLiteral("/sql"); }

}
