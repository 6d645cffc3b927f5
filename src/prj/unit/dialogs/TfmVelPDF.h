#pragma once
// The CU print window ("Stampa CU Sintetico" and "Stampa CU Ordinario", by
// the print module's flag): the selection grid over the CUs of the year, the
// file name ("CU-2026" or "CU_Ordinario-2026"), the options and the log. Every step of the
// print is TVelCuPrint's; this form only shows and asks.
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/TfmOvMultiSelect.h"

#include <memory>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class TDataSetModel;
class TTorDBCds;
class TVelCuPrint;
class TdmVelMain;
class TdmVelStampePDF;

class TfmVelPDF : public TfmOvMultiSelect
{
    Q_OBJECT
public:
    // The store, the print module and the CU layout it prints with, given by
    // whoever opens the window.
    explicit TfmVelPDF(QWidget *parent = nullptr, TTorDBCds *store = nullptr, TdmVelStampePDF *stampe = nullptr,
                       TdmVelMain *main = nullptr);
    ~TfmVelPDF() override;

    QLineEdit *edPdfFileName = nullptr;
    QRadioButton *rbTutti = nullptr;
    QRadioButton *rbSelezionati = nullptr;
    QCheckBox *chFronteRetro = nullptr;
    QCheckBox *chkFirmaOmessa = nullptr;
    QCheckBox *chkQuadroCT = nullptr;     // hidden and not read
    QCheckBox *chkBozza = nullptr;        // a draft: every page marked, no CU locked
    QCheckBox *chkPerPercipiente = nullptr; // one PDF per payee, as velcu-cli stampa --per-percipiente
    QLineEdit *edCartella = nullptr;      // ...in this folder
    QPlainTextEdit *meOut = nullptr;
    QProgressBar *pbAvanzamento = nullptr;
    QPushButton *buCreatePdf = nullptr;
    QPushButton *buOpenPdf = nullptr;
    QPushButton *buAnnulla = nullptr;     // cancels the run between two CUs
    QPushButton *buExit = nullptr;

    TVelCuPrint &run() { return *m_run; }
    // "Crea stampa dichiarazione": true when a document was written; a
    // failure has been shown.
    bool createPdf();
    // "Apri stampa dichiarazione": the file named in the window through the
    // shell; raises when it is missing, unreadable or nothing opens PDFs.
    void openPdf();
    // Said when "Crea" finds no CU to print.
    static QString noCuToPrint();
    // Asked before a print marks `count` of `total` CUs printed.
    static QString lockQuestion(int count, int total);
    // Asked before the payees' files already in `folder` are replaced.
    static QString payeesReplaceQuestion(const QString &folder, int count);
    // Index of the grid by the clicked title.
    void sortByColumn(int column);

protected:
    void formCreate() override;
    void formShow() override;
    // While a run is on, closing (Esc, the close box) asks the run to stop
    // between two CUs and keeps the window: its datasets are in use.
    void formCloseQuery(bool &canClose) override;
    void formClose() override;

private:
    QString print();
    // One PDF per payee into the folder of edCartella: the folder, or empty.
    QString printPerPayee(const QList<TBookmark> &rows);
    QList<TBookmark> chosenRows();
    // Asked before a print locks CUs; false (said in the log) on "No".
    bool lockAgreed(const QList<TBookmark> &rows);
    // The window busy for a run: the options handed to the run, the buttons
    // and the cursor set; ready for the next run again however this one ends.
    struct Busy
    {
        explicit Busy(TfmVelPDF *form);
        ~Busy();
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;
        TfmVelPDF *fm;
    };

    TTorDBCds *m_store;
    TdmVelStampePDF *m_stampe;
    TdmVelMain *m_main;
    std::unique_ptr<TVelCuPrint> m_run;
    TDataSetModel *m_model = nullptr;
    QString m_lastFile;
    bool m_lastIsFolder = false;
    bool m_running = false;
    bool m_cancel = false;
};
