#include "platform/core/OvSafeFile.h"

#include "platform/core/OvExceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
    if (m_finished)
        return;
    if (m_fd < 0)
        throw EAssertionFailed(QStringLiteral("Chiusura di un file non aperto: %1").arg(m_path));
    // The data must be on the disk before the file takes the target's name:
    // otherwise a crash could leave a renamed but empty file.
    if (::fsync(m_fd) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    m_finished = true;
}

void TOvSafeFile::commit()
{
    finish();
    const QByteArray from = QFile::encodeName(m_temp);
    const QByteArray to = QFile::encodeName(QFileInfo(m_path).absoluteFilePath());
    if (::rename(from.constData(), to.constData()) != 0)
        fail(errno);
    m_temp.clear();
    m_finished = false;
    // The new name itself must survive a crash.
    const QByteArray dir = QFile::encodeName(QFileInfo(m_path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
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
