#include "src/prj/unit/print/VelPerPayeePrint.h"

#include "src/prj/unit/print/VelCuPrint.h"
#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QHash>

namespace VelPerPayeePrint {

QString payeeFileName(const QString &codFis, bool draft)
{
    QString file = codFis.trimmed().toUpper();
    for (QChar &ch : file)
        if (!(ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) && !ch.isDigit())
            ch = QLatin1Char('_');
    if (file.isEmpty())
        file = QStringLiteral("SENZA_CODICE_FISCALE");
    if (draft) // never in the place of a CU delivered
        file += QStringLiteral("-Bozza");
    return file;
}

QStringList payeeFileNames(const QList<TVelPayeeOutcome> &payees, bool draft)
{
    auto who = [](const TVelPayeeOutcome &p) {
        QString w = p.nome.isEmpty() ? QStringLiteral("codice fiscale \"%1\"").arg(p.codFis)
                                     : QStringLiteral("%1 (codice fiscale \"%2\")").arg(p.nome, p.codFis);
        if (!p.mese.isEmpty())
            w += QStringLiteral(", mese %1").arg(p.mese);
        return w;
    };
    QStringList names;
    QHash<QString, qsizetype> first; // file name -> the first CU that has it
    QStringList shared;
    for (qsizetype i = 0; i < payees.size(); ++i) {
        const QString name = payeeFileName(payees.at(i).codFis, draft);
        names << name;
        const auto it = first.constFind(name);
        if (it == first.cend())
            first.insert(name, i);
        else
            shared << QStringLiteral("%1.pdf: %2 e %3").arg(name, who(payees.at(*it)), who(payees.at(i)));
    }
    if (!shared.isEmpty())
        throw EOvError(QStringLiteral("PDF per percipiente non scritti: due CU avrebbero lo stesso file, e uno "
                                      "prenderebbe il posto dell'altro.\n%1\nCorreggere il codice fiscale in "
                                      "\"Dati CU\", oppure stampare i CU di uno stesso percipiente in cartelle "
                                      "diverse (\"Selezionati\", --cf).")
                           .arg(shared.join(QLatin1Char('\n'))));
    return names;
}

Result run(TVelCuPrint &print, const QList<TBookmark> &rows, const QString &payeeDir, VelPdfSplit::FolderGuard &guard,
           const std::function<void(int done, int total)> &cut)
{
    Result r;
    QList<TVelPayeeOutcome> payees;
    for (const TBookmark row : rows)
        payees << print.payeeOf(row);
    const QStringList names = payeeFileNames(payees, print.draft);
    print.outputFolder = guard.workFolder();
    const QString path = print.printDocument(rows, TVelCuPrint::defaultFileName(false, print.draft));
    if (path.isEmpty())
        return r;
    r.printed = true;
    print.cdsPdfSost.first();
    VelPdfSplit::Info info;
    if (!print.cdsPdfSost.isEmpty())
        info.author = print.cdsPdfSost.fieldByName(fld::SSOSDENOM.qs()).asString().trimmed();
    QList<TBookmark> partRows;
    for (const TVelCuPrint::PageRange &range : print.pageRanges()) {
        TVelPayeeOutcome &payee = r.outcome.add(print.payeeOf(range.row));
        const QString file = names.at(rows.indexOf(range.row));
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
    r.outcome = VelPdfSplit::split(path, r.parts, std::move(r.outcome), locker, cut, info);
    return r;
}

} // namespace VelPerPayeePrint
