// velcu-cli stampa: the summary or ordinary CU of the year's certifications
// in one document, or one PDF per payee, each CU locked once its own file is
// on disk.
#include "src/prj/unit/cli/VelCliCommon.h"
#include "src/prj/unit/cli/VelCliPdfSplit.h"
#include "src/prj/unit/print/VelPerPayeePrint.h"
#include "velcu/VelFields.h"

namespace VelCli::detail {

namespace {
// The command asks nothing: what it locked is said in its output instead.
QString lockedLine(const TVelCuPrint &run)
{
    if (run.draft)
        return s("Bozza: nessun CU segnato come stampato.");
    return s("CU segnati come stampati (non più modificabili né reimportabili senza sbloccarli): %1.")
        .arg(run.newlyLocked());
}
} // namespace

namespace {

// The document's file (--out, or the window's place and name in the year's
// Stp folder, a draft's its own); empty for a per-payee print without --out.
QString outputFile(const QCommandLineParser &p, bool ordinario, bool perPayee, bool replace, bool draft)
{
    if (!p.isSet(QStringLiteral("out")) && perPayee)
        return QString();
    const QString outFile = p.isSet(QStringLiteral("out"))
                                ? QFileInfo(p.value(QStringLiteral("out"))).absoluteFilePath()
                                : QDir(TorFolders::stpDir()).absoluteFilePath(
                                      TVelCuPrint::defaultFileName(ordinario, draft) + QStringLiteral(".pdf"));
    if (!outFile.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        throw UsageError{s("Il file di --out deve avere l'estensione .pdf: \"%1\".").arg(p.value(QStringLiteral("out")))};
    if (!QFileInfo(QFileInfo(outFile).absolutePath()).isDir())
        throw EOvError(s("La cartella del file \"%1\" non esiste.").arg(outFile));
    if (draft) // not even with --sovrascrivi
        if (const QString refusal = TVelCuPrint::draftRefusal(outFile); !refusal.isEmpty())
            throw EOvError(refusal);
    if (QFileInfo::exists(outFile) && !replace)
        throw EOvError(s("Il file \"%1\" esiste già: indicare un altro --out o aggiungere --sovrascrivi.")
                           .arg(QDir::toNativeSeparators(outFile)));
    return outFile;
}

// The CUs to print, in the print's order: all, or those of the tax codes
// asked for. False (after saying why) when a code has none or nothing is left.
bool selectRows(Command &c, TVelCuPrint &run, const QStringList &codes, QList<TBookmark> &rows)
{
    QSet<QString> found;
    for (const TBookmark b : run.allRows()) {
        run.cdsMultiSelect.gotoBookmark(b);
        const QString cf = upperCode(run.cdsMultiSelect.fieldByName(fld::SCUDCODFIS.qs()).asString());
        if (!codes.isEmpty() && !codes.contains(cf))
            continue;
        rows << b;
        found.insert(cf);
    }
    if (!allCodesFound(c, codes, found))
        return false;
    if (rows.isEmpty()) {
        c.err << s("Nessuna certificazione da stampare.\n");
        return false;
    }
    return true;
}

// One document: its CUs are locked once it is on disk.
int printOneDocument(Command &c, TVelCuPrint &run, const QList<TBookmark> &rows, const QString &outFile)
{
    run.outputFolder = QFileInfo(outFile).absolutePath();
    const TVelPrintResult result = run.print(rows, QFileInfo(outFile).completeBaseName());
    const TVelRunOutcome &outcome = result.outcome;
    if (!result.written()) {
        c.err << s("Nessun CU stampato (%1).\n").arg(result.reason());
        return Errors;
    }
    c.out << s("File scritto: ") << QDir::toNativeSeparators(result.path) << '\n';
    c.out << s("CU stampati: %1.\n").arg(outcome.count(TVelResult::Fatto));
    c.out << lockedLine(run) << '\n';
    for (const QString &line : outcome.problemLines())
        c.err << s("Non stampato: ") << line << '\n';
    return outcomeStatus(outcome);
}

// What the per-payee split did, payee by payee: the files written (their CUs
// locked), then what failed and what was not reached, with the reason.
int reportPerPayee(Command &c, const TVelCuPrint &run, const TVelRunOutcome &outcome,
                   const QList<VelCliPdfSplit::Part> &parts, const QString &payeeDir)
{
    for (qsizetype i = 0; i < parts.size(); ++i)
        if (outcome.payees.at(i).result == TVelResult::Fatto)
            c.out << s("File scritto: ") << QDir::toNativeSeparators(parts.at(i).file) << '\n';
    for (const QString &line : outcome.problemLines())
        c.err << s("Non stampato: ") << line << '\n';
    if (!outcome.fatal.isEmpty())
        c.err << outcome.fatal << '\n';
    const int written = outcome.count(TVelResult::Fatto);
    c.out << s("CU stampati: %1.\n").arg(written);
    c.out << lockedLine(run) << '\n';
    c.out << s("PDF per percipiente: %1 nella cartella %2.\n").arg(written).arg(QDir::toNativeSeparators(payeeDir));
    if (!outcome.riuscito())
        c.err << s("PDF per percipiente non scritti: %1 su %2 (%3 non riusciti, %4 non raggiunti).\n")
                     .arg(parts.size() - written)
                     .arg(parts.size())
                     .arg(outcome.count(TVelResult::Errore))
                     .arg(outcome.count(TVelResult::NonEseguito));
    return outcomeStatus(outcome);
}

// Per payee: the whole document (under --out, or in the run's hidden work
// folder), then one file per CU cut from it; a CU is locked only once its
// own file has its final name.
int printPerPayee(Command &c, TVelCuPrint &run, const QList<TBookmark> &rows, const QString &outFile,
                  const QString &payeeDir, VelCliPdfSplit::FolderGuard &guard, bool ordinario)
{
    const QString folder = outFile.isEmpty() ? guard.workFolder() : QFileInfo(outFile).absolutePath();
    const QString name =
        outFile.isEmpty() ? TVelCuPrint::defaultFileName(ordinario, run.draft) : QFileInfo(outFile).completeBaseName();
    run.outputFolder = folder;
    if (outFile.isEmpty()) // the work folder's document is no result: it goes at the end
        run.announceDocument = false;
    // two CUs with one file are refused before anything is written
    QList<TVelPayeeOutcome> payees;
    for (const TBookmark row : rows)
        payees << run.payeeOf(row);
    const QStringList names = VelPerPayeePrint::payeeFileNames(payees, run.draft);
    const QString path = run.printDocument(rows, name);
    if (path.isEmpty()) {
        c.err << s("Nessun CU stampato (modello di stampa non disponibile).\n");
        return Errors;
    }
    if (!outFile.isEmpty())
        c.out << s("File scritto: ") << QDir::toNativeSeparators(path) << '\n';

    run.cdsPdfSost.first();
    VelCliPdfSplit::Info info;
    if (!run.cdsPdfSost.isEmpty())
        info.author = run.cdsPdfSost.fieldByName(fld::SSOSDENOM.qs()).asString().trimmed();
    TVelRunOutcome outcome;
    QList<VelCliPdfSplit::Part> parts;
    QList<TBookmark> partRows;
    for (const TVelCuPrint::PageRange &range : run.pageRanges()) {
        TVelPayeeOutcome &payee = outcome.add(run.payeeOf(range.row));
        const QString file = names.at(rows.indexOf(range.row));
        parts.append({QDir(payeeDir).filePath(file + QStringLiteral(".pdf")), range.first, range.last});
        info.titles << s("Certificazione Unica %1 - %2").arg(Campagna::AnnoInvio).arg(payee.nome);
        partRows << range.row;
    }
    Progress split(c.err, s("PDF per percipiente"));
    VelCliPdfSplit::Locker locker;
    locker.lock = [&](const QList<int> &done) {
        QList<TBookmark> lock;
        for (const int k : done)
            lock << partRows.at(k);
        run.lockPrinted(lock);
    };
    locker.locked = [&](int k) { return run.isLocked(partRows.at(k)); };
    locker.notLockedWhy = [&](int k) { return run.notLockedReason(partRows.at(k)); };
    outcome = VelCliPdfSplit::split(path, parts, std::move(outcome), locker,
                                    [&split](int done, int total) { split.step(done, total); }, info);
    outcome.warnings = run.warnings(); // what the document's printing had to say
    return reportPerPayee(c, run, outcome, parts, payeeDir);
}

} // namespace

int stampa(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    const bool sintetico = p.isSet(QStringLiteral("sintetico"));
    const bool ordinario = p.isSet(QStringLiteral("ordinario"));
    if (sintetico == ordinario)
        throw UsageError{s("Indicare uno fra --sintetico e --ordinario.")};
    const bool perPayee = p.isSet(QStringLiteral("per-percipiente"));
    const QString outFile = outputFile(p, ordinario, perPayee, p.isSet(QStringLiteral("sovrascrivi")),
                                       p.isSet(QStringLiteral("bozza")));
    QString payeeDir;
    std::unique_ptr<VelCliPdfSplit::FolderGuard> guard;
    if (perPayee) {
        payeeDir = QFileInfo(p.value(QStringLiteral("per-percipiente"))).absoluteFilePath();
        ovMakePath(payeeDir);
        guard = std::make_unique<VelCliPdfSplit::FolderGuard>(payeeDir);
        for (const QString &gone : guard->removeLeftovers())
            c.err << s("Rimosso \"%1\", lasciato da una stampa interrotta.\n").arg(QDir::toNativeSeparators(gone));
    }
    const QStringList codes = taxCodes(p);

    Session &session = db.get();
    TdmVelStampePDF stampe;
    stampe.setRunHost(c.host);
    stampe.ordinario = ordinario;
    TdmVelMain main;
    TVelCuPrint run(*session.store, stampe, main);
    run.twoSided = p.isSet(QStringLiteral("fronte-retro"));
    run.signatureOmitted = p.isSet(QStringLiteral("firma-omessa"));
    run.draft = p.isSet(QStringLiteral("bozza"));
    c.err << s("Lettura delle certificazioni...\n");
    c.err.flush();
    run.open();

    QList<TBookmark> rows;
    if (!selectRows(c, run, codes, rows))
        return Errors;
    run.log = [&c](const QString &line) {
        c.err << line << '\n';
        c.err.flush();
    };
    Progress progress(c.err, s("Stampa"));
    run.progress = [&](int done, int total) {
        progress.step(done, total);
        return true;
    };
    if (!perPayee)
        return printOneDocument(c, run, rows, outFile);
    return printPerPayee(c, run, rows, outFile, payeeDir, *guard, ordinario);
}

} // namespace VelCli::detail
