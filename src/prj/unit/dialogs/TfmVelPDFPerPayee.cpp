// The print window's "Un PDF per percipiente": what velcu-cli stampa
// --per-percipiente does, with the window's questions and progress.
#include "src/prj/unit/dialogs/TfmVelPDF.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelPerPayeePrint.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

QString TfmVelPDF::payeesReplaceQuestion(const QString &folder, int count)
{
    return QStringLiteral("Nella cartella \"%1\" ci sono già %2 PDF dei percipienti scelti.\n"
                          "Sostituirli con la nuova stampa?\n\nCon \"No\" restano come sono e non si stampa nulla.")
        .arg(QDir::toNativeSeparators(folder))
        .arg(count);
}

QString TfmVelPDF::printPerPayee(const QList<TBookmark> &rows)
{
    const QString typed = edCartella->text().trimmed();
    if (typed.isEmpty()) {
        OvMessageDlg(QStringLiteral("Indicare la cartella dei PDF per percipiente."), mtWarning, mbOK);
        return QString();
    }
    const QString dir = QFileInfo(typed).absoluteFilePath();
    // two CUs with one file are refused before anything is asked or written
    QList<TVelPayeeOutcome> payees;
    for (const TBookmark b : rows)
        payees << m_run->payeeOf(b);
    int there = 0;
    for (const QString &name : VelPerPayeePrint::payeeFileNames(payees, m_run->draft))
        there += QFileInfo::exists(QDir(dir).filePath(name + QStringLiteral(".pdf")));
    if (there > 0 && OvMessageBox(payeesReplaceQuestion(dir, there), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        meOut->appendPlainText(QStringLiteral("Stampa non eseguita: i PDF esistenti restano come sono."));
        return QString();
    }
    if (!lockAgreed(rows))
        return QString();
    ovMakePath(dir);
    VelPdfSplit::FolderGuard guard(dir); // raises when another run holds the folder
    for (const QString &gone : guard.removeLeftovers())
        meOut->appendPlainText(QStringLiteral("Rimosso \"%1\", lasciato da una stampa interrotta.")
                                   .arg(QDir::toNativeSeparators(gone)));
    const Busy busy(this);
    meOut->appendPlainText(QStringLiteral("PDF per percipiente nella cartella %1...").arg(QDir::toNativeSeparators(dir)));
    const VelPerPayeePrint::Result r = VelPerPayeePrint::run(*m_run, rows, dir, guard, [this](int done, int total) {
        pbAvanzamento->setMaximum(qMax(total, 1));
        pbAvanzamento->setValue(done);
        pbAvanzamento->setFormat(QStringLiteral("PDF per percipiente %v di %m"));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    pbAvanzamento->setFormat(QStringLiteral("%p%"));
    if (!r.printed) {
        meOut->appendPlainText(m_cancel ? QStringLiteral("Stampa interrotta: nessun CU segnato come stampato.")
                                        : QStringLiteral("Nessun CU stampato (modello di stampa non disponibile)."));
        return QString();
    }
    const int written = r.outcome.count(TVelResult::Fatto);
    meOut->appendPlainText(QStringLiteral("PDF per percipiente: %1 su %2 nella cartella %3.")
                               .arg(written)
                               .arg(r.parts.size())
                               .arg(QDir::toNativeSeparators(dir)));
    meOut->appendPlainText(m_run->draft ? QStringLiteral("Bozza: nessun CU segnato come stampato.")
                                        : QStringLiteral("CU segnati come stampati ora: %1.").arg(m_run->newlyLocked()));
    for (const QString &line : r.outcome.problemLines())
        meOut->appendPlainText(QStringLiteral("Non stampato: ") + line);
    if (!r.outcome.fatal.isEmpty())
        meOut->appendPlainText(r.outcome.fatal);
    if (!r.outcome.riuscito())
        OvMessageDlg(QStringLiteral("PDF per percipiente non scritti: %1 su %2. I CU non scritti non sono segnati come "
                                    "stampati; i motivi sono nel registro della finestra.")
                         .arg(r.parts.size() - written)
                         .arg(r.parts.size()),
                     mtWarning, mbOK);
    return written > 0 ? dir : QString();
}
