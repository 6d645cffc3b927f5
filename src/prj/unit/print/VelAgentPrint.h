#pragma once
// The withholding agent's prints without their window: the frontispiece (page
// 1 of the ordinary model with the agent's data, layout "StpSost.xml") and
// the Quadro CT (page 2, layout "StpQuadroCT.xml"). TfmVelPdfSost drives it,
// tests the same way:
//
//   TVelAgentPrint run(stampe, TVelAgentPrint::Frontespizio);
//   run.open();                       // cdsSost from the store when empty
//   run.print("Frontespizio");        // -> Stp folder + "Frontespizio.pdf"
//
// Units are millimetres from the top-left corner of the page.
#include <QString>
#include <functional>

class TClientDataSet;
class TPdkPdf;
class TXMLCudEdit;
class TdmVelStampePDF;

class TVelAgentPrint
{
public:
    enum Kind { Frontespizio, QuadroCT };

    TVelAgentPrint(TdmVelStampePDF &stampe, Kind kind);

    Kind kind() const { return m_kind; }
    // The dataset the print reads: the print module's cdsSost or cdsQuadroCT.
    TClientDataSet &dataSet() const;
    // Loads it from the store when it is closed or empty.
    void open();

    // The file name the window proposes: "Frontespizio" or "QuadroCT".
    QString defaultFileName() const;
    // The caption of the window: "Stampa Sostituto" or "Stampa Quadro CT".
    QString caption() const;

    // Writes the print into the Stp folder (the print module's) as fileName +
    // ".pdf" and returns the path. The name must be a plain file name. A
    // missing model or layout, a failing PDF operation or a file that cannot
    // be written raise EOvError; nothing is written then.
    [[nodiscard]] QString print(const QString &fileName);

    std::function<void(const QString &line)> log;

    static QString layoutFile(Kind kind);

private:
    void writeEdit(TPdkPdf &pdf, const TXMLCudEdit &edit, TClientDataSet &ds);

    TdmVelStampePDF &m_stampe;
    Kind m_kind;
};
