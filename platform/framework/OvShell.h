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
// Every failure raises EOvError with an Italian text naming the file: a missing
// or unreadable file (ovCheckDocument), no program to open it (ovNoViewerText).
class TOvDesktopShell : public IOvShell
{
public:
    void openDocument(const QString &filePath, const QString &params, const QString &directory,
                      bool waitEnd) override;
    int runAndWait(const QString &program, const QStringList &arguments,
                   const QString &workingDirectory) override;
};

// "Nessun programma per aprire i PDF: il file è /path/CU-2026.pdf" (for another
// kind of document: "... per aprire il documento ...").
QString ovNoViewerText(const QString &filePath);
// Raises EOvError naming filePath when it does not exist or cannot be read;
// a folder passes.
void ovCheckDocument(const QString &filePath);

// Installs a shell (nullptr restores the desktop one); returns the previous one.
// The caller keeps ownership.
IOvShell *setOvShell(IOvShell *shell);
IOvShell *ovShell();

// A path written with Windows separators, or a folder and a file name, as a
// local path: "USR\KZ2025\Res\" + "News.pdf" -> "USR/KZ2025/Res/News.pdf".
// An absolute fileName ignores directory.
QString ovJoinPath(const QString &directory, const QString &fileName);
