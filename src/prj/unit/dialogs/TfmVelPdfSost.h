#pragma once
// The window of the withholding agent's prints: "Stampa Frontespizio"
// (TfmVelPdfSost, caption "Stampa Sostituto") and "Stampa Quadro CT"
// (TfmVelPdfQuadroCT): the file name, "Crea stampa dichiarazione", "Apri stampa
// dichiarazione", "Esci" and the log. The print is TVelAgentPrint's.
#include "platform/ui/framework/TfmOvDialog.h"
#include "src/prj/unit/print/VelAgentPrint.h"

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TdmVelStampePDF;

class TfmVelPdfSost : public TfmOvDialog
{
    Q_OBJECT
public:
    // The print module it runs on (given by whoever opens the window).
    explicit TfmVelPdfSost(QWidget *parent = nullptr, TdmVelStampePDF *stampe = nullptr);
    ~TfmVelPdfSost() override;

    QLabel *laFile = nullptr;
    QLineEdit *edFile = nullptr;
    QPushButton *buCrea = nullptr;
    QPushButton *buApri = nullptr;
    QPushButton *buEsci = nullptr;
    QPlainTextEdit *meInfo = nullptr;

    TVelAgentPrint &run() { return *m_run; }
    // "Crea stampa dichiarazione": true when the file was written.
    bool crea();
    // "Apri stampa dichiarazione": the file through the shell.
    void apri();
    QString lastFile() const { return m_lastFile; }

protected:
    TfmVelPdfSost(QWidget *parent, TdmVelStampePDF *stampe, TVelAgentPrint::Kind kind);
    void formCreate() override;
    void formShow() override;
    // The agent's data are read again by the next print: edits made in the
    // meantime are printed.
    void formClose() override;

private:
    TdmVelStampePDF *m_stampe;
    TVelAgentPrint::Kind m_kind;
    std::unique_ptr<TVelAgentPrint> m_run;
    QString m_lastFile;
};

// The same window for the Quadro CT.
class TfmVelPdfQuadroCT : public TfmVelPdfSost
{
    Q_OBJECT
public:
    explicit TfmVelPdfQuadroCT(QWidget *parent = nullptr, TdmVelStampePDF *stampe = nullptr);
};
