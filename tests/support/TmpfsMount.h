#pragma once
// A small file system of its own for a test that needs a full disk: a tmpfs
// of the given size mounted on a temporary folder (root only), unmounted at
// the end. Where it cannot be mounted the test skips, saying why:
//
//   TmpfsMount disk(256 * 1024);
//   VELCU_REQUIRE_TMPFS(disk);
//   ... write into disk.path() ...
//   disk.fill();      // no byte left
//   disk.release();   // space again
//   disk.setReadOnly(true);  // a read-only disk
#include <QString>
#include <QTemporaryDir>

class TmpfsMount
{
public:
    explicit TmpfsMount(qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool mounted() const { return m_mounted; }
    QString why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes every free byte with a filler file (leaving `leave` bytes free).
    void fill(qint64 leave = 0);
    // Removes the filler.
    void release();
    // Mounts it again read-only (a read-only disk, even for root) or back
    // read-write; false when the remount fails.
    bool setReadOnly(bool readOnly);
    qint64 freeBytes() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

#define VELCU_REQUIRE_TMPFS(mount)              \
    do {                                        \
        if (!(mount).mounted())                 \
            QSKIP(qPrintable((mount).why()));   \
    } while (0)
