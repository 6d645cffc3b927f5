#include "platform/db/InstallRoot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace InstallRoot {

namespace {

const QString kShare = QStringLiteral("/share/velcu");

// The folder above the program's, and whether the shipped data sits in its
// share/velcu (an installed package) rather than beside bin/.
struct Found
{
    QString root;
    QString bin;
};

Found find()
{
    const QString env = qEnvironmentVariable("VELCU_STAGE_DIR");
    if (!env.isEmpty()) {
        const QString r = QDir::cleanPath(QDir(env).absolutePath());
        return {r, r + QStringLiteral("/bin")};
    }
    if (!QCoreApplication::instance()) {
        const QString r = QDir::cleanPath(QDir::currentPath());
        return {r, r + QStringLiteral("/bin")};
    }
    const QString bin = QDir::cleanPath(QCoreApplication::applicationDirPath());
    const QString prefix = QDir::cleanPath(bin + QStringLiteral("/.."));
    // A stage has etc/rag beside bin/; an installed tree has it in share/velcu.
    if (!QFileInfo(prefix + QStringLiteral("/etc/rag")).isDir()
        && QFileInfo(prefix + kShare + QStringLiteral("/etc/rag")).isDir())
        return {prefix + kShare, bin};
    return {prefix, bin};
}

QString userDataRoot()
{
    // $XDG_DATA_HOME, else ~/.local/share (Qt reads both as the specification says)
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/velcu"));
}

} // namespace

bool isReadOnlyRoot(const QString &path)
{
    const QString p = QDir::cleanPath(QDir(path).absolutePath());
    if (p.endsWith(kShare) || p == QStringLiteral("/usr") || p.startsWith(QStringLiteral("/usr/")))
        return true;
    // The owner's write bit, not access(): the super-user may write anywhere,
    // and a root made read-only on purpose stays read-only for it too.
    struct stat st;
    const QByteArray native = QFile::encodeName(p);
    if (::stat(native.constData(), &st) != 0)
        return true;
    return !(st.st_mode & S_IWUSR) || ::access(native.constData(), W_OK) != 0;
}

QString root() { return find().root; }
QString binDir() { return find().bin; }
QString etcDir() { return root() + QStringLiteral("/etc/rag"); }
QString usrDir() { return dataRoot() + QStringLiteral("/usr/rag"); }
QString sqlDir() { return etcDir() + QStringLiteral("/sql"); }

QString dataRoot()
{
    const QString env = qEnvironmentVariable("VELCU_DATA_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    const QString r = root();
    return isReadOnlyRoot(r) ? userDataRoot() : r;
}

bool separateDataRoot() { return dataRoot() != root(); }

QString iniFile()
{
    return separateDataRoot() ? dataRoot() + QStringLiteral("/velcu.ini") : binDir() + QStringLiteral("/velcu.ini");
}

QString ownCopy(const QString &relative) { return QDir::cleanPath(dataRoot() + QLatin1Char('/') + relative); }

QString shippedOrOwn(const QString &relative)
{
    const QString own = ownCopy(relative);
    return QFileInfo::exists(own) ? own : QDir::cleanPath(root() + QLatin1Char('/') + relative);
}

}
