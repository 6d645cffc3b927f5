#pragma once
// The system shell: opening a document with the program associated with it, and
// starting another program and waiting for it. One replaceable implementation,
// so tests record the requests instead of opening anything.
#include <QString>
#include <QStringList>

class IOvShell
{
public:
    virtual ~IOvShell() = default;
    // Opens filePath with its associated program. params are passed on when the
    // file is itself a program; directory is the working folder (may be empty).
    // With waitEnd the call returns when that program has ended.
    virtual void openDocument(const QString &filePath, const QString &params, const QString &directory,
                              bool waitEnd) = 0;
    // Starts program with arguments and waits for it; returns its exit code.
    virtual int runAndWait(const QString &program, const QStringList &arguments,
                           const QString &workingDirectory) = 0;
};

// The desktop's own shell: QDesktopServices for documents, QProcess for programs.
// Every failure raises EOvError with an Italian text naming the file.
class TOvDesktopShell : public IOvShell
{
public:
    void openDocument(const QString &filePath, const QString &params, const QString &directory,
                      bool waitEnd) override;
    int runAndWait(const QString &program, const QStringList &arguments,
                   const QString &workingDirectory) override;
};

// Installs a shell (nullptr restores the desktop one); returns the previous one.
// The caller keeps ownership.
IOvShell *setOvShell(IOvShell *shell);
IOvShell *ovShell();

// A path written with Windows separators, or a folder and a file name, as a
// local path: "USR\KZ2025\Res\" + "News.pdf" -> "USR/KZ2025/Res/News.pdf".
// An absolute fileName ignores directory.
QString ovJoinPath(const QString &directory, const QString &fileName);
