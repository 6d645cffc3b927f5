#include "src/prj/unit/cli/VelCliPdfSplit.h"

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

namespace VelCliPdfSplit {

namespace {
// The workspace keeps every document it made until it goes: a fresh one every
// so many parts keeps the memory of a run of thousands of payees flat.
constexpr int PartsPerWorkspace = 500;
// The CUs of the files written are locked at least once a second, and every
// so many files: one store transaction a batch, and a run stopped at any
// moment leaves little written and not yet locked.
constexpr int LockBatch = 100;
constexpr qint64 LockEveryMs = 1000;

const QString kWorkPrefix = QStringLiteral(".velcu-stampa-");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

void split(const QString &document, const QList<Part> &parts, TVelRunOutcome &outcome, const Locker &locker,
           const std::function<void(int, int)> &progress, const Info &info)
{
    const int total = int(parts.size());
    if (outcome.payees.size() < parts.size())
        throw EAssertionFailed(QStringLiteral("Esito senza percipienti per le parti del documento"));
    QList<int> pending;
    QElapsedTimer sinceLock;
    sinceLock.start();

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
        try {
            locker.lock(pending);
        } catch (const std::exception &e) {
            error = exceptionText(e);
        }
        for (const int k : std::as_const(pending)) {
            TVelPayeeOutcome &p = outcome.payees[k];
            if (error.isEmpty() || (locker.locked && locker.locked(k))) {
                p.result = TVelResult::Fatto;
                p.reason.clear();
            } else {
                p.result = TVelResult::Errore;
                p.reason = QStringLiteral("il file \"%1\" è scritto, ma il CU non è segnato come stampato: %2")
                               .arg(native(parts.at(k).file), error);
            }
        }
        pending.clear();
        if (!error.isEmpty()) {
            outcome.fatal = QStringLiteral("CU non segnati come stampati: ") + error;
            return false;
        }
        return true;
    };

    std::unique_ptr<TPdkPdf> pdf;
    int source = 0;
    for (int i = 0; i < total; ++i) {
        const Part &part = parts.at(i);
        TVelPayeeOutcome &payee = outcome.payees[i];
        payee.stage = TVelStage::Scrittura;
        if (i % PartsPerWorkspace == 0) {
            pdf = std::make_unique<TPdkPdf>();
            source = pdf->LoadFromFile(document);
            if (!source) {
                outcome.fatal = QStringLiteral("Impossibile leggere il documento \"%1\": %2")
                                    .arg(native(document), pdf->LastErrorText());
                if (lockPending())
                    stopAt(i, outcome.fatal);
                else
                    stopAt(i, QStringLiteral("non raggiunto: la stampa si è fermata prima"));
                return;
            }
        }
        QString failure;
        if (part.firstPage < 1 || part.lastPage < part.firstPage) {
            failure = QStringLiteral("pagine non valide per il file \"%1\": %2-%3")
                          .arg(native(part.file))
                          .arg(part.firstPage)
                          .arg(part.lastPage);
        } else {
            const int doc = pdf->NewDocument();
            // The new document's empty page goes once the CU's pages are in.
            const bool ok = doc
                            && pdf->CopyPageRanges(source,
                                                   QStringLiteral("%1-%2").arg(part.firstPage).arg(part.lastPage))
                            && pdf->DeletePages(1, 1)
                            && VelImprint::setDocumentInfo(*pdf, info.titles.value(i), info.author)
                            && pdf->SaveToFile(part.file);
            if (!ok) {
                // The workspace's own message names the file when the save failed.
                failure = ovWriteFailedText(native(part.file), pdf->LastErrorText().trimmed());
            }
        }
        if (!failure.isEmpty()) {
            payee.result = TVelResult::Errore;
            payee.reason = failure;
            const bool locked = lockPending();
            stopAt(i + 1, locked ? QStringLiteral("non raggiunto: la stampa si è fermata al file \"%1\"")
                                       .arg(native(part.file))
                                 : QStringLiteral("non raggiunto: la stampa si è fermata prima"));
            return;
        }
        payee.stage = TVelStage::Conferma;
        pending << i;
        if ((pending.size() >= LockBatch || sinceLock.elapsed() >= LockEveryMs) && !lockPending()) {
            stopAt(i + 1, QStringLiteral("non raggiunto: la stampa si è fermata prima"));
            return;
        }
        if (progress)
            progress(i + 1, total);
    }
    lockPending();
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

} // namespace VelCliPdfSplit
