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
    [[noreturn]] void fail(int err);

    QString m_path;
    QString m_temp;
    Access m_access;
    int m_fd = -1;
    bool m_finished = false;
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
