#include "platform/framework/OvShell.h"

#include "platform/core/OvExceptions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
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

void TOvDesktopShell::openDocument(const QString &filePath, const QString &params, const QString &directory,
                                   bool waitEnd)
{
    const QFileInfo info(filePath);
    if (!info.exists())
        throw EOvError(QStringLiteral("Impossibile aprire il documento \"%1\": il file non esiste.")
                           .arg(QDir::toNativeSeparators(filePath)));
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
        // The opener of the desktop, waited for.
        runAndWait(QStringLiteral("xdg-open"), {info.absoluteFilePath()}, workDir);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        throw EOvError(QStringLiteral("Impossibile aprire il documento \"%1\": nessun programma associato.")
                           .arg(QDir::toNativeSeparators(filePath)));
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
