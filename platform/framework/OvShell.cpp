#include "platform/framework/OvShell.h"

#include "platform/core/OvExceptions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

TOvDesktopShell g_desktopShell;
IOvShell *g_shell = nullptr;

QString localSeparators(QString path)
{
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

} // namespace

IOvShell *setOvShell(IOvShell *shell)
{
    IOvShell *previous = ovShell();
    g_shell = shell;
    return previous;
}

IOvShell *ovShell()
{
    return g_shell ? g_shell : &g_desktopShell;
}

QString ovJoinPath(const QString &directory, const QString &fileName)
{
    const QString file = localSeparators(fileName);
    if (directory.isEmpty() || QDir::isAbsolutePath(file))
        return QDir::cleanPath(file);
    return QDir::cleanPath(localSeparators(directory) + QLatin1Char('/') + file);
}

QString ovNoViewerText(const QString &filePath)
{
    const QString native = QDir::toNativeSeparators(filePath);
    if (QFileInfo(filePath).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Nessun programma per aprire i PDF: il file è ") + native;
    return QStringLiteral("Nessun programma per aprire il documento: il file è ") + native;
}

void ovCheckDocument(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QString native = QDir::toNativeSeparators(filePath);
    if (!info.exists())
        throw EOvError(QStringLiteral("Impossibile aprire il documento \"%1\": il file non esiste.").arg(native));
    if (info.isDir())
        return;   // a folder is opened as it is
    // Opened for reading as the viewer will: the permission bits alone do not
    // tell (another owner, a folder on the way, a medium that fails).
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile aprire il documento \"%1\": il file non è leggibile (%2).")
                           .arg(native, file.errorString()));
}

void TOvDesktopShell::openDocument(const QString &filePath, const QString &params, const QString &directory,
                                   bool waitEnd)
{
    ovCheckDocument(filePath);
    const QFileInfo info(filePath);
    const QString workDir = directory.isEmpty() ? info.absolutePath() : localSeparators(directory);
    if (info.isExecutable() && !info.isDir()) {
        const QStringList args = QProcess::splitCommand(params);
        if (waitEnd) {
            runAndWait(info.absoluteFilePath(), args, workDir);
        } else if (!QProcess::startDetached(info.absoluteFilePath(), args, workDir)) {
            throw EOvError(QStringLiteral("Impossibile avviare il programma \"%1\".")
                               .arg(QDir::toNativeSeparators(filePath)));
        }
        return;
    }
    if (waitEnd) {
        // The opener of the desktop, waited for; it ends with 3 when no program
        // takes the file.
        if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()
            || runAndWait(QStringLiteral("xdg-open"), {info.absoluteFilePath()}, workDir) == 3)
            throw EOvError(ovNoViewerText(info.absoluteFilePath()));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        throw EOvError(ovNoViewerText(info.absoluteFilePath()));
}

int TOvDesktopShell::runAndWait(const QString &program, const QStringList &arguments,
                                const QString &workingDirectory)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(localSeparators(workingDirectory));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(localSeparators(program), arguments);
    if (!process.waitForStarted(-1))
        throw EOvError(QStringLiteral("Impossibile avviare il programma \"%1\": %2")
                           .arg(QDir::toNativeSeparators(program), process.errorString()));
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::CrashExit)
        throw EOvError(QStringLiteral("Il programma \"%1\" è terminato in modo anomalo.")
                           .arg(QDir::toNativeSeparators(program)));
    return process.exitCode();
}
