#include "platform/core/OvSafeFile.h"

#include "platform/core/OvExceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

QString ovFileErrorText(int err)
{
    switch (err) {
    case ENOSPC: return QStringLiteral("spazio su disco esaurito");
    case EDQUOT: return QStringLiteral("quota disco superata");
    case EACCES:
    case EPERM: return QStringLiteral("permesso negato");
    case EROFS: return QStringLiteral("il disco è di sola lettura");
    case ENOENT: return QStringLiteral("la cartella non esiste");
    case ENOTDIR: return QStringLiteral("un elemento del percorso non è una cartella");
    case EISDIR: return QStringLiteral("al suo posto c'è una cartella");
    case EIO: return QStringLiteral("errore di lettura o scrittura sul disco");
    case EFBIG: return QStringLiteral("file troppo grande");
    case ENAMETOOLONG: return QStringLiteral("nome del file troppo lungo");
    case EMFILE:
    case ENFILE: return QStringLiteral("troppi file aperti");
    case EBUSY: return QStringLiteral("file in uso");
    default: return QString::fromLocal8Bit(std::strerror(err));
    }
}

static QString writeFailedPrefix(const QString &path)
{
    return QStringLiteral("Impossibile scrivere il file \"%1\"").arg(QDir::toNativeSeparators(path));
}

QString ovWriteFailedText(const QString &path, const QString &reason)
{
    const QString prefix = writeFailedPrefix(path);
    const QString r = reason.trimmed();
    // The path may have been given relative to one and absolute to the other.
    if (r.startsWith(QLatin1String("Impossibile scrivere il file ")) && r.contains(QFileInfo(path).fileName()))
        return r;
    if (r.isEmpty())
        return prefix + QLatin1Char('.');
    return QStringLiteral("%1: %2").arg(prefix, r);
}

TOvSafeFile::TOvSafeFile(QString path, Access access) : m_path(std::move(path)), m_access(access) {}

TOvSafeFile::~TOvSafeFile()
{
    cancel();
}

void TOvSafeFile::fail(int err)
{
    cancel();
    throw EOvError(QStringLiteral("%1: %2.").arg(writeFailedPrefix(m_path), ovFileErrorText(err)));
}

void TOvSafeFile::open()
{
    cancel();
    m_finished = false;
    const QFileInfo target(m_path);
    if (target.isDir())
        fail(EISDIR);
    const QString dir = target.absolutePath();

    // Permissions: those of the file replaced, or the program's own.
    mode_t mode = m_access == Access::Shared ? 0644 : 0600;
    struct stat st;
    const QByteArray native = QFile::encodeName(target.absoluteFilePath());
    if (::stat(native.constData(), &st) == 0)
        mode = st.st_mode & 07777;

    QByteArray pattern = QFile::encodeName(dir + QLatin1Char('/') + QLatin1Char('.') + target.fileName())
        + ".tmp-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    m_fd = fd;
    m_temp = QFile::decodeName(pattern);
    if (::fchmod(m_fd, mode) != 0)
        fail(errno);
}

void TOvSafeFile::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        throw EAssertionFailed(QStringLiteral("Scrittura su un file non aperto: %1").arg(m_path));
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            fail(ENOSPC);
        data += n;
        size -= n;
    }
}

void TOvSafeFile::finish()
{
    finish(true);
}

void TOvSafeFile::finish(bool sync)
{
    if (m_finished)
        return;
    if (m_fd < 0)
        throw EAssertionFailed(QStringLiteral("Chiusura di un file non aperto: %1").arg(m_path));
    // The data must be on the disk before the file takes the target's name:
    // otherwise a crash could leave a renamed but empty file.
    if (sync && ::fsync(m_fd) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    m_finished = true;
}

void TOvSafeFile::rename()
{
    const QByteArray from = QFile::encodeName(m_temp);
    const QByteArray to = QFile::encodeName(QFileInfo(m_path).absoluteFilePath());
    if (::rename(from.constData(), to.constData()) != 0)
        fail(errno);
    m_temp.clear();
    m_finished = false;
}

// Best effort, as some file systems refuse to sync a folder: the content is
// on disk already, only the name may be the previous one after a crash.
static void syncFolder(int dfd)
{
    if (dfd >= 0)
        ::fsync(dfd);
}

void TOvSafeFile::commit()
{
    finish();
    rename();
    // The new name itself must survive a crash.
    const QByteArray dir = QFile::encodeName(QFileInfo(m_path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        syncFolder(dfd);
        ::close(dfd);
    }
}

void TOvSafeFile::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(QFile::encodeName(m_temp).constData());
        m_temp.clear();
    }
    m_finished = false;
}

void TOvSafeFile::writeFile(const QString &path, const QByteArray &data, Access access)
{
    TOvSafeFile f(path, access);
    f.open();
    f.write(data);
    f.commit();
}

// ---------------------------------------------------------------- batches

namespace {
// Since Linux 5.8 syncfs reports the write errors of the file system that
// happened since the descriptor it is given was opened; before, it reports
// none, and only a sync of each file tells.
bool syncfsReportsErrors()
{
    static const bool reports = [] {
        struct utsname u;
        if (::uname(&u) != 0)
            return false;
        int major = 0, minor = 0;
        if (std::sscanf(u.release, "%d.%d", &major, &minor) != 2)
            return false;
        return major > 5 || (major == 5 && minor >= 8);
    }();
    return reports;
}
} // namespace

TOvSafeFileBatch::TOvSafeFileBatch(TOvSafeFile::Access access) : m_access(access) {}

TOvSafeFileBatch::~TOvSafeFileBatch()
{
    cancel();
}

int TOvSafeFileBatch::folderOf(const QString &path)
{
    const QString dir = QFileInfo(path).absolutePath();
    for (size_t i = 0; i < m_folders.size(); ++i)
        if (m_folders[i].path == dir)
            return int(i);
    Folder f;
    f.path = dir;
    f.fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_folders.push_back(f);
    return int(m_folders.size() - 1);
}

void TOvSafeFileBatch::add(const QString &path, const char *data, qint64 size)
{
    const int folder = folderOf(path);
    auto file = std::make_unique<TOvSafeFile>(path, m_access);
    file->open();
    file->write(data, size);
    file->finish(m_folders[size_t(folder)].fd < 0 || !syncfsReportsErrors());
    m_files.push_back(std::move(file));
    m_fileFolder.push_back(folder);
}

void TOvSafeFileBatch::commit()
{
    m_committed = 0;
    m_failedAt = -1;
    const int total = int(m_files.size());
    QString error;
    // 1. the content of every file on disk, before any takes its name
    for (size_t f = 0; f < m_folders.size() && m_failedAt < 0; ++f) {
        if (m_folders[f].fd < 0 || !syncfsReportsErrors() || ::syncfs(m_folders[f].fd) == 0)
            continue; // synced (or its files were, one by one)
        const int err = errno;
        // the error cannot be told by file: it is said of the folder's first
        for (int i = 0; i < total && m_failedAt < 0; ++i)
            if (m_fileFolder[size_t(i)] == int(f)) {
                m_failedAt = i;
                error = QStringLiteral("%1: %2.").arg(writeFailedPrefix(m_files[size_t(i)]->path()),
                                                      ovFileErrorText(err));
            }
    }
    // 2. the names, in order
    for (int i = 0; i < total && m_failedAt < 0; ++i) {
        try {
            m_files[size_t(i)]->rename();
            m_committed = i + 1;
        } catch (const EOvException &e) {
            m_failedAt = i;
            error = e.message();
        }
    }
    // 3. the names on disk
    if (m_committed > 0)
        for (const Folder &f : m_folders)
            syncFolder(f.fd);
    cancel(); // what did not take its name
    if (m_failedAt >= 0)
        throw EOvError(error);
}

void TOvSafeFileBatch::cancel()
{
    m_files.clear(); // each drops its own temporary file
    m_fileFolder.clear();
    for (const Folder &f : m_folders)
        if (f.fd >= 0)
            ::close(f.fd);
    m_folders.clear();
}

void ovUpdateIniFile(const QString &path, const std::function<void(QSettings &)> &edit, TOvSafeFile::Access access)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw EOvError(QStringLiteral("Impossibile scrivere il file \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(path), ovFileErrorText(ENOSPC)));
    const QString copy = scratch.filePath(QStringLiteral("copia.ini"));
    if (QFileInfo::exists(path) && !QFile::copy(path, copy))
        throw EOvError(QStringLiteral("Impossibile leggere il file \"%1\".").arg(QDir::toNativeSeparators(path)));
    {
        QSettings ini(copy, QSettings::IniFormat);
        edit(ini);
        ini.sync();
        if (ini.status() != QSettings::NoError)
            throw EOvError(QStringLiteral("Impossibile scrivere il file \"%1\".").arg(QDir::toNativeSeparators(path)));
    }
    QFile f(copy);
    if (!f.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile scrivere il file \"%1\".").arg(QDir::toNativeSeparators(path)));
    TOvSafeFile::writeFile(path, f.readAll(), access);
}
