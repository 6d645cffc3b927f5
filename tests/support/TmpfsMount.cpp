#include "TmpfsMount.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const char *const kFiller = ".riempimento";

bool run(const QString &program, const QStringList &args, QString *out)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        *out = QStringLiteral("%1 non risponde").arg(program);
        return false;
    }
    *out = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}

TmpfsMount::TmpfsMount(qint64 bytes)
{
    if (::geteuid() != 0) {
        m_why = QStringLiteral("serve l'utente root per montare un tmpfs di prova");
        return;
    }
    QString err;
    if (!run(QStringLiteral("mount"),
             {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
              QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), m_dir.path()},
             &err)) {
        m_why = QStringLiteral("impossibile montare un tmpfs di prova: ") + err;
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount()
{
    if (!m_mounted)
        return;
    QString err;
    // Lazy: a file a failed test left open must not keep the mount behind.
    run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()}, &err);
}

qint64 TmpfsMount::freeBytes() const
{
    struct statvfs st;
    if (::statvfs(QFile::encodeName(m_dir.path()).constData(), &st) != 0)
        return -1;
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

void TmpfsMount::fill(qint64 leave)
{
    const QByteArray name = QFile::encodeName(m_dir.filePath(QString::fromLatin1(kFiller)));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray block(4096, '\0');
    while (freeBytes() > leave) {
        const qint64 room = freeBytes() - leave;
        const ssize_t n = ::write(fd, block.constData(), size_t(std::min<qint64>(room, block.size())));
        if (n <= 0)
            break;
    }
    ::close(fd);
}

void TmpfsMount::release()
{
    QFile::remove(m_dir.filePath(QString::fromLatin1(kFiller)));
}

bool TmpfsMount::setReadOnly(bool readOnly)
{
    if (!m_mounted)
        return false;
    QString err;
    return run(QStringLiteral("mount"),
               {QStringLiteral("-o"), readOnly ? QStringLiteral("remount,ro") : QStringLiteral("remount,rw"),
                m_dir.path()},
               &err);
}
