#pragma once
// The one way the program writes a file. The content goes to a temporary file
// beside the target; every write, the flush to disk and the close are checked;
// only a complete file takes the target's name (an atomic rename), so on any
// failure (a full disk, a lost network share, no permission) the previous file
// stays whole and an EOvError names the file and the cause in Italian.
//
// New files are readable by their owner only unless Shared is asked: what the
// program writes holds fiscal data. A file that already exists keeps its
// permissions.
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TOvSafeFile
{
public:
    enum class Access { OwnerOnly, Shared };

    explicit TOvSafeFile(QString path, Access access = Access::OwnerOnly);
    ~TOvSafeFile(); // an unfinished write is cancelled: the target is untouched
    TOvSafeFile(const TOvSafeFile &) = delete;
    TOvSafeFile &operator=(const TOvSafeFile &) = delete;

    // Creates the temporary file beside the target (its folder must exist).
    void open();
    void write(const char *data, qint64 size);
    void write(const QByteArray &data) { write(data.constData(), data.size()); }
    // Flushes to disk and closes the temporary file; the target is untouched.
    void finish();
    // finish() when still open, then the temporary file takes the target's name.
    void commit();
    // Drops the temporary file.
    void cancel();

    const QString &path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }

    // The whole of a file in one call.
    static void writeFile(const QString &path, const QByteArray &data, Access access = Access::OwnerOnly);

private:
    friend class TOvSafeFileBatch;
    [[noreturn]] void fail(int err);
    // Closes the temporary file, flushed to disk first when `sync`.
    void finish(bool sync);
    // The temporary file takes the target's name (the folder is not synced).
    void rename();

    QString m_path;
    QString m_temp;
    Access m_access;
    int m_fd = -1;
    bool m_finished = false;
};

// Many files written together and made durable together, for a run that
// writes hundreds of them into one folder: the same safety as TOvSafeFile at
// the cost of one sync of the disk and one of each folder for the whole batch,
// instead of two syncs a file.
//
//   add()     writes a whole file to its temporary file beside the target,
//             every write and the close checked, not yet synced. A failure
//             raises the file's error (as TOvSafeFile) and drops that file
//             only: the files added before stay in the batch.
//   commit()  1. the disk of each folder is synced once (syncfs) - no file
//                takes its name before its content is on disk;
//             2. each temporary file takes its target's name, in the order
//                added;
//             3. each folder is synced once, so the names survive a crash.
//             A failure in 1 cancels the whole batch: nothing takes its name,
//             the temporary files go. A rename that fails in 2 stops there:
//             the files renamed before it stay (they are whole and on disk,
//             and a file they replaced is gone: there is nothing to undo), the
//             folder is still synced, the later temporary files go. Either way
//             committed() says how many files, from the first, are durable
//             under their names, failedAt() which file the error names, and
//             the error is raised; the batch is empty afterwards.
//
// Where syncfs does not report write errors (Linux before 5.8), or a folder
// cannot be opened, each file is flushed to disk as it is added, as
// TOvSafeFile does. The batch holds no file open between add() and commit().
class TOvSafeFileBatch
{
public:
    explicit TOvSafeFileBatch(TOvSafeFile::Access access = TOvSafeFile::Access::OwnerOnly);
    ~TOvSafeFileBatch(); // the files not committed are cancelled
    TOvSafeFileBatch(const TOvSafeFileBatch &) = delete;
    TOvSafeFileBatch &operator=(const TOvSafeFileBatch &) = delete;

    void add(const QString &path, const char *data, qint64 size);
    void add(const QString &path, const QByteArray &data) { add(path, data.constData(), data.size()); }
    // Files added and not yet committed.
    int size() const { return int(m_files.size()); }
    void commit();
    // Of the last commit(): how many files are under their final names, and
    // the index of the file its error names (-1 when it succeeded).
    int committed() const { return m_committed; }
    int failedAt() const { return m_failedAt; }
    // Drops every temporary file of the batch.
    void cancel();

private:
    struct Folder
    {
        QString path;
        int fd = -1; // open from the first file added, so that syncfs reports what failed since
    };
    int folderOf(const QString &path);

    TOvSafeFile::Access m_access;
    std::vector<Folder> m_folders;
    std::vector<std::unique_ptr<TOvSafeFile>> m_files;
    std::vector<int> m_fileFolder; // m_files[i] is in m_folders[m_fileFolder[i]]
    int m_committed = 0;
    int m_failedAt = -1;
};

// The cause of a failed file operation, in Italian ("spazio su disco esaurito").
QString ovFileErrorText(int err);
// "Impossibile scrivere il file "X": <reason>", said once: a reason that is
// already this routine's own error for the file (raised by TOvSafeFile and
// passed on by a library) is returned as it is.
QString ovWriteFailedText(const QString &path, const QString &reason);

class QSettings;
// Changes an ini file through QSettings, then writes it with TOvSafeFile: the
// settings are edited on a scratch copy, so a failed write leaves the old ini.
void ovUpdateIniFile(const QString &path, const std::function<void(QSettings &)> &edit,
                     TOvSafeFile::Access access = TOvSafeFile::Access::OwnerOnly);
