#include "src/prj/unit/print/VelPerPayeePrint.h"

#include "src/prj/unit/print/VelCuPrint.h"
#include "tor/util/TorCampagna.h"

#include <QDir>

namespace VelPerPayeePrint {

QString payeeFileName(const QString &codFis, QHash<QString, int> &seen, bool draft)
{
    QString file = codFis.trimmed().toUpper();
    for (QChar &ch : file)
        if (!(ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) && !ch.isDigit())
            ch = QLatin1Char('_');
    if (file.isEmpty())
        file = QStringLiteral("SENZA_CODICE_FISCALE");
    if (const int n = seen[file]++)
        file += QStringLiteral("_%1").arg(n + 1);
    if (draft) // never in the place of a CU delivered
        file += QStringLiteral("-Bozza");
    return file;
}

Result run(TVelCuPrint &print, const QList<TBookmark> &rows, const QString &payeeDir, VelPdfSplit::FolderGuard &guard,
           const std::function<void(int done, int total)> &cut)
{
    Result r;
    print.outputFolder = guard.workFolder();
    const QString path = print.printDocument(rows, TVelCuPrint::defaultFileName(false, print.draft));
    if (path.isEmpty())
        return r;
    r.printed = true;
    print.cdsPdfSost.first();
    VelPdfSplit::Info info;
    if (!print.cdsPdfSost.isEmpty())
        info.author = print.cdsPdfSost.fieldByName(QStringLiteral("SSOSDENOM")).asString().trimmed();
    QList<TBookmark> partRows;
    QHash<QString, int> seen;
    for (const TVelCuPrint::PageRange &range : print.pageRanges()) {
        TVelPayeeOutcome &payee = r.outcome.add(print.payeeOf(range.row));
        const QString file = payeeFileName(payee.codFis, seen, print.draft);
        r.parts.append({QDir(payeeDir).filePath(file + QStringLiteral(".pdf")), range.first, range.last});
        info.titles << QStringLiteral("Certificazione Unica %1 - %2").arg(Campagna::AnnoInvio).arg(payee.nome);
        partRows << range.row;
    }
    VelPdfSplit::Locker locker;
    locker.lock = [&](const QList<int> &done) {
        QList<TBookmark> lock;
        for (const int k : done)
            lock << partRows.at(k);
        print.lockPrinted(lock);
    };
    locker.locked = [&](int k) { return print.isLocked(partRows.at(k)); };
    locker.notLockedWhy = [&](int k) { return print.notLockedReason(partRows.at(k)); };
    VelPdfSplit::split(path, r.parts, r.outcome, locker, cut, info);
    return r;
}

} // namespace VelPerPayeePrint
