#include "tor/util/TorFileSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

namespace TorFileSet {

namespace {

bool renameFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

QStringList parts(const QString &name)
{
    const QFileInfo target(name);
    const QDir dir = target.absoluteDir();
    const QString base = target.fileName();
    const QRegularExpression part(QStringLiteral("^%1_([1-9][0-9]{0,5})$").arg(QRegularExpression::escape(base)));
    QMap<int, QString> found;
    if (target.isFile())
        found.insert(1, target.absoluteFilePath());
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const auto m = part.match(fi.fileName());
        if (m.hasMatch() && m.captured(1).toInt() >= 2)
            found.insert(m.captured(1).toInt(), fi.absoluteFilePath());
    }
    return found.values();
}

QString asideFolder(const QString &name, const QDateTime &when)
{
    const QFileInfo target(name);
    const QString stem = QStringLiteral("%1-precedente-%2")
                             .arg(target.fileName(), when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = target.absoluteDir().filePath(stem);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = target.absoluteDir().filePath(QStringLiteral("%1-%2").arg(stem).arg(n));
    return path;
}

Replaced replace(const QStringList &staged, const QStringList &names, const QDateTime &when)
{
    Replaced r;
    if (names.isEmpty())
        return r;
    const QStringList earlier = parts(names.first());
    QStringList from; // the earlier files moved, where they were
    // undoes what was done, as far as the disk allows
    auto undo = [&] {
        for (const QString &n : std::as_const(r.names))
            QFile::remove(n);
        for (qsizetype i = 0; i < from.size(); ++i)
            renameFile(r.moved.at(i), from.at(i));
        if (!r.aside.isEmpty())
            QDir().rmdir(r.aside);
        r.names.clear();
    };
    if (!earlier.isEmpty()) {
        r.aside = asideFolder(names.first(), when);
        QString why;
        if (!ovTryMakePath(r.aside, &why))
            throw EOvError(ovWriteFailedText(r.aside, why));
        for (const QString &old : earlier) {
            const QString to = QDir(r.aside).filePath(QFileInfo(old).fileName());
            if (!renameFile(old, to)) {
                const int err = errno;
                undo();
                throw EOvError(QStringLiteral("Impossibile spostare il file \"%1\" nella cartella \"%2\": %3.")
                                   .arg(QDir::toNativeSeparators(old), QDir::toNativeSeparators(r.aside),
                                        ovFileErrorText(err)));
            }
            from << old;
            r.moved << to;
        }
    }
    for (qsizetype i = 0; i < staged.size(); ++i) {
        // a file moved aside keeps nothing in its place: the new one takes
        // the permissions it had
        const qsizetype was = from.indexOf(QFileInfo(names[i]).absoluteFilePath());
        if (was >= 0)
            QFile::setPermissions(staged[i], QFile::permissions(r.moved.at(was)));
        else if (QFileInfo::exists(names[i]))
            QFile::setPermissions(staged[i], QFile::permissions(names[i]));
        if (!renameFile(staged[i], names[i])) {
            const int err = errno;
            undo();
            throw EOvError(ovWriteFailedText(names[i], ovFileErrorText(err)));
        }
        r.names << names[i];
    }
    return r;
}

} // namespace TorFileSet
