#include "src/prj/unit/print/VelPdfSplit.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/framework/OvMessages.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/VelImprint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace VelPdfSplit {

namespace {
// The files are written in batches made durable together (one sync of the
// disk and one of the folder a batch), and the CUs of a batch are locked as
// soon as its files have their names. A batch ends at LockBatch files or
// after LockEveryMs, whichever comes first; the first batches are smaller
// (one file, two, four...), so that the first CUs are delivered at once: one
// store transaction a batch, and a run stopped at any moment leaves little
// written and not yet locked.
constexpr int LockBatch = 100;
constexpr qint64 LockEveryMs = 1000;

const QString kWorkPrefix = QStringLiteral(".velcu-stampa-");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

// The cut, into the outcome the caller gave.
static void cut(const QString &document, const QList<Part> &parts, TVelRunOutcome &outcome, const Locker &locker,
                const std::function<void(int, int)> &progress, const Info &info)
{
    const int total = int(parts.size());
    if (outcome.payees.size() < parts.size())
        throw EAssertionFailed(QStringLiteral("Esito senza percipienti per le parti del documento"));
    TOvSafeFileBatch batch;
    QList<int> inBatch; // the parts whose files wait in the batch
    int batchSize = 1;
    QList<int> pending; // the parts whose files have their names, CU not yet locked
    QElapsedTimer sinceLock;
    sinceLock.start();
    const QString stoppedBefore = QStringLiteral("non raggiunto: la stampa si è fermata prima");
    auto stoppedAt = [&](int k) {
        return QStringLiteral("non raggiunto: la stampa si è fermata al file \"%1\"").arg(native(parts.at(k).file));
    };

    // The parts not reached take the reason the run stopped.
    auto stopAt = [&](int from, const QString &why) {
        for (int k = from; k < total; ++k) {
            TVelPayeeOutcome &p = outcome.payees[k];
            if (p.result == TVelResult::Fatto || p.result == TVelResult::Errore)
                continue;
            p.result = TVelResult::NonEseguito;
            p.reason = why;
        }
    };
    // Locks the parts written since the last time; false when refused.
    auto lockPending = [&]() -> bool {
        sinceLock.restart();
        if (pending.isEmpty())
            return true;
        QString error;
        bool lost = false;
        try {
            locker.lock(pending);
        } catch (const std::exception &e) {
            error = exceptionText(e);
            lost = dynamic_cast<const EOvConnectionLost *>(&e) != nullptr;
        }
        for (const int k : std::as_const(pending)) {
            TVelPayeeOutcome &p = outcome.payees[k];
            const QString why = !error.isEmpty() ? error : locker.notLockedWhy ? locker.notLockedWhy(k) : QString();
            if (error.isEmpty() ? why.isEmpty() : (locker.locked && locker.locked(k))) {
                p.result = TVelResult::Fatto;
                p.reason.clear();
            } else {
                // A lost server is said in full once, at the end of the run.
                p.result = TVelResult::Errore;
                p.reason = QStringLiteral("il file \"%1\" è scritto, ma il CU non è segnato come stampato: %2")
                               .arg(native(parts.at(k).file),
                                    lost ? QStringLiteral("server del database non raggiungibile") : why);
            }
        }
        pending.clear();
        if (!error.isEmpty()) {
            outcome.fatal = QStringLiteral("CU non segnati come stampati: ") + error;
            return false;
        }
        return true;
    };
    // The batch's files take their names, then their CUs are locked. An empty
    // text when the run goes on; otherwise the reason for the parts after.
    // A file that failed is named with the cause; those of the batch after it
    // were never renamed and are not reached.
    auto deliver = [&]() -> QString {
        QString failure;
        try {
            batch.commit();
        } catch (const EOvException &e) {
            failure = e.message();
        }
        pending << inBatch.mid(0, batch.committed());
        QString after;
        if (!failure.isEmpty()) {
            const int k = inBatch.at(batch.failedAt());
            outcome.payees[k].result = TVelResult::Errore;
            outcome.payees[k].reason = ovWriteFailedText(native(parts.at(k).file), failure);
            after = stoppedAt(k);
            for (const int j : inBatch.mid(batch.failedAt() + 1)) {
                outcome.payees[j].result = TVelResult::NonEseguito;
                outcome.payees[j].reason = after;
            }
        }
        inBatch.clear();
        batchSize = qMin(batchSize * 2, LockBatch);
        if (!lockPending())
            return stoppedBefore;
        return after;
    };

    // The document is read once; each part's own document is dropped once
    // saved, so the memory of a run of thousands of payees stays flat.
    TPdkPdf pdf;
    const int source = total > 0 ? pdf.LoadFromFile(document) : 0;
    if (total > 0 && !source) {
        outcome.fatal = QStringLiteral("Impossibile leggere il documento \"%1\": %2")
                            .arg(native(document), pdf.LastErrorText());
        stopAt(0, outcome.fatal);
        return;
    }
    for (int i = 0; i < total; ++i) {
        const Part &part = parts.at(i);
        TVelPayeeOutcome &payee = outcome.payees[i];
        payee.stage = TVelStage::Scrittura;
        QString failure;
        if (part.firstPage < 1 || part.lastPage < part.firstPage) {
            failure = QStringLiteral("pagine non valide per il file \"%1\": %2-%3")
                          .arg(native(part.file))
                          .arg(part.firstPage)
                          .arg(part.lastPage);
        } else {
            // The CU's pages as they are in the document: their streams are
            // written as the document has them, not drawn again.
            const int doc = pdf.ExtractPageRanges(
                source, QStringLiteral("%1-%2").arg(part.firstPage).arg(part.lastPage));
            const bool ok = doc && VelImprint::setDocumentInfo(pdf, info.titles.value(i), info.author)
                            && pdf.SaveToBatch(batch, part.file);
            if (!ok) {
                // The workspace's own message names the file when the save failed.
                failure = ovWriteFailedText(native(part.file), pdf.LastErrorText().trimmed());
            }
            if (doc)
                pdf.CloseDocument(doc);
        }
        if (!failure.isEmpty()) {
            payee.result = TVelResult::Errore;
            payee.reason = failure;
            const QString why = deliver();
            stopAt(i + 1, why.isEmpty() ? stoppedAt(i) : why);
            return;
        }
        payee.stage = TVelStage::Conferma;
        inBatch << i;
        if (inBatch.size() >= batchSize || sinceLock.elapsed() >= LockEveryMs) {
            const QString why = deliver();
            if (!why.isEmpty()) {
                stopAt(i + 1, why);
                return;
            }
        }
        if (progress)
            progress(i + 1, total);
    }
    deliver();
}

TVelRunOutcome split(const QString &document, const QList<Part> &parts, TVelRunOutcome outcome, const Locker &locker,
                     const std::function<void(int, int)> &progress, const Info &info)
{
    cut(document, parts, outcome, locker, progress, info);
    return outcome;
}

// ---------------------------------------------------------------- the folder

FolderGuard::FolderGuard(const QString &folder) : m_folder(folder)
{
    const QByteArray path = QFile::encodeName(folder);
    m_fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        throw EOvError(QStringLiteral("Impossibile aprire la cartella \"%1\".").arg(native(folder)));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(m_fd);
        m_fd = -1;
        throw EOvError(QStringLiteral("Un'altra stampa per percipiente sta scrivendo nella cartella \"%1\": "
                                      "attendere che finisca.")
                           .arg(native(folder)));
    }
    // Where the file system has no such locks the run goes on: a run whose
    // work folder another removed fails, and says so, without locking a CU.
}

FolderGuard::~FolderGuard()
{
    m_work.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderGuard::isLeftover(const QString &name)
{
    // ".velcu-stampa-XXXXXX" (a work folder), ".NAME.pdf.tmp-XXXXXX" (a PDF
    // being written)
    static const QRegularExpression re(QStringLiteral("^(\\.velcu-stampa-.{6}|\\..+\\.pdf\\.tmp-.{6})$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

QStringList FolderGuard::removeLeftovers()
{
    QStringList removed;
    QDir dir(m_folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        if (!isLeftover(e.fileName()) || (m_work && e.absoluteFilePath() == QDir(m_work->path()).absolutePath()))
            continue;
        const bool work = e.fileName().startsWith(kWorkPrefix);
        bool ok = false;
        if (work && e.isDir() && !e.isSymLink())
            ok = QDir(e.absoluteFilePath()).removeRecursively();
        else if (!work && (e.isFile() || e.isSymLink()))
            ok = QFile::remove(e.absoluteFilePath());
        else
            continue;
        if (!ok)
            throw EOvError(QStringLiteral("Impossibile rimuovere \"%1\", lasciato da una stampa interrotta.")
                               .arg(native(e.absoluteFilePath())));
        removed << e.absoluteFilePath();
    }
    return removed;
}

QString FolderGuard::workFolder()
{
    if (!m_work) {
        m_work = std::make_unique<QTemporaryDir>(QDir(m_folder).filePath(kWorkPrefix + QStringLiteral("XXXXXX")));
        if (!m_work->isValid()) {
            const QString why = m_work->errorString();
            m_work.reset();
            throw EOvError(QStringLiteral("Impossibile creare una cartella temporanea in \"%1\": %2")
                               .arg(native(m_folder), why));
        }
    }
    return m_work->path();
}

} // namespace VelPdfSplit
