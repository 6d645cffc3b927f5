#include "platform/core/OvFolders.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

bool ovTryMakePath(const QString &path, QString *why)
{
    const QString target = QDir::cleanPath(QDir(path).absolutePath());
    // The parents from the top down, each made only when missing.
    QStringList chain;
    for (QString p = target; !p.isEmpty(); ) {
        chain.prepend(p);
        const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        p = p.left(slash);
    }
    for (const QString &dir : chain) {
        const QByteArray native = QFile::encodeName(dir);
        struct stat st;
        if (::stat(native.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            if (why)
                *why = QStringLiteral("Impossibile creare la cartella \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(target), ovFileErrorText(ENOTDIR));
            return false;
        }
        // Another process may make it at the same moment: that is fine.
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            if (why)
                *why = QStringLiteral("Impossibile creare la cartella \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(target), ovFileErrorText(errno));
            return false;
        }
    }
    return true;
}

void ovMakePath(const QString &path)
{
    QString why;
    if (!ovTryMakePath(path, &why))
        throw EOvError(why);
}
