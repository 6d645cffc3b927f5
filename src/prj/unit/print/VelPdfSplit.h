#pragma once
// Cuts a printed document into one PDF per payee: each part takes a range of
// the document's pages into a file of its own, written whole through the PDF
// workspace into a batch of files (TOvSafeFileBatch: temporary files beside
// their targets, the batch flushed to disk at once, then renamed, then the
// folder synced). The CU a part delivers is locked only once its file is on
// disk under its final name: the parts of each batch are handed to the
// caller, as soon as the batch is committed, to lock them.
//
// The delivery folder is held by one run at a time (FolderGuard); the run
// works in a hidden folder of its own there and, before it starts, removes
// what an interrupted run left: such folders and temporary files never
// renamed.
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace VelPdfSplit {

struct Part
{
    QString file;
    int firstPage = 0; // 1-based, inclusive
    int lastPage = 0;
};

// The document information each file carries: its title (by part; none when
// missing) and the author.
struct Info
{
    QStringList titles;
    QString author;
};

struct Locker
{
    // Locks the CUs of these parts (their indexes); raises EOvException when
    // the store refuses.
    std::function<void(const QList<int> &parts)> lock;
    // After a refusal: whether a part's CU was locked nonetheless.
    std::function<bool(int part)> locked;
    // Why a part's CU was left unlocked though lock did not raise (another
    // workstation changed it after the print read it); empty when it was not.
    std::function<QString(int part)> notLockedWhy;
};

// outcome.payees[i] stands for parts[i] (who it is); split() returns it with
// each result set: done once the file is written and its CU locked; failed
// with the reason (the file could not be written, or was written and the CU
// not locked); not reached when the run stopped before it. The run stops at
// the first failure. Nothing is raised for a part: everything lands in the
// outcome.
[[nodiscard]] TVelRunOutcome split(const QString &document, const QList<Part> &parts, TVelRunOutcome outcome,
                                   const Locker &locker, const std::function<void(int done, int total)> &progress = {},
                                   const Info &info = {});

// The delivery folder for one run (an advisory lock on the folder itself,
// which the system releases however the process ends).
class FolderGuard
{
public:
    // Raises EOvError when another run holds the folder.
    explicit FolderGuard(const QString &folder);
    ~FolderGuard();
    FolderGuard(const FolderGuard &) = delete;
    FolderGuard &operator=(const FolderGuard &) = delete;

    // Removes the work folders and the temporary files of runs that ended
    // before finishing; returns their paths.
    QStringList removeLeftovers();
    // This run's hidden work folder (readable by its owner only), made at the
    // first call and removed with the guard.
    QString workFolder();

    static bool isLeftover(const QString &name);

private:
    QString m_folder;
    int m_fd = -1;
    std::unique_ptr<QTemporaryDir> m_work;
};

} // namespace VelPdfSplit
