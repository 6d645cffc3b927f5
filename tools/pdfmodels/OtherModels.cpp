// The signature list model with its print configuration, and the instructions.
#include "FormDrawer.h"
#include "Models.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"
#include "platform/core/OvSafeFile.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>

namespace {

void save(TPdkPdf &pdf, const QString &path)
{
    pdf.Check(pdf.SaveToFile(path), QStringLiteral("Salvataggio di %1: %2").arg(path, pdf.LastErrorText()));
    // shipped models: readable by every user of the installation
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

QDomElement edit(QDomDocument &doc, QDomElement section, const QString &name, const QString &alignment,
                 const QString &type, int top, int left, int height, int space, int vOffset = 0, int minIndex = 0,
                 int maxIndex = 0)
{
    QDomElement e = doc.createElement(QStringLiteral("Edit"));
    e.setAttribute(QStringLiteral("Name"), name);
    e.setAttribute(QStringLiteral("Alignment"), alignment);
    e.setAttribute(QStringLiteral("Type"), type);
    QDomElement r = doc.createElement(QStringLiteral("PrintRect"));
    r.setAttribute(QStringLiteral("Top"), top);
    r.setAttribute(QStringLiteral("Left"), left);
    r.setAttribute(QStringLiteral("Height"), height);
    r.setAttribute(QStringLiteral("Space"), space);
    r.setAttribute(QStringLiteral("vOffset"), vOffset);
    r.setAttribute(QStringLiteral("oOffset"), 0);
    r.setAttribute(QStringLiteral("MinIndex"), minIndex);
    r.setAttribute(QStringLiteral("MaxIndex"), maxIndex);
    e.appendChild(r);
    section.appendChild(e);
    return e;
}

QDomElement section(QDomDocument &doc, QDomElement page, const QString &name, const QString &repeat)
{
    QDomElement s = doc.createElement(QStringLiteral("Section"));
    s.setAttribute(QStringLiteral("Name"), name);
    s.setAttribute(QStringLiteral("Repeat"), repeat);
    page.appendChild(s);
    return s;
}

} // namespace

// The signature list: one A4 page in points, 23 rows 28 points apart from 148;
// the print draws the two signature lines of row r at r x 28 + 168, in the
// columns "Data di consegna" (258-342) and "Firma per ricevuta" (346-539).
// Each row holds the surname on its first line and the name on its second, so
// that real names fit at 7 points: a surname of 24 letters and a name like
// "FRANCESCA ROMANA" stay inside the first column (130 points of text); the
// fiscal code has a column of its own (77 points, 16 characters at 7 points).
namespace {
constexpr double kListLeft = 40, kListRight = 555;
constexpr double kNameColumnEnd = 174;   // surname and name
constexpr double kCodeColumnEnd = 256;   // fiscal code
constexpr double kDateColumnEnd = 344;   // date of delivery; then the signature
constexpr double kRowsTop = 148;
constexpr int kRowStep = 28;
constexpr int kRows = 23;
} // namespace

void buildSignatureList(const QString &dir)
{
    TPdkPdf pdf;
    FormDrawer d(pdf);
    pdf.Check(pdf.NewDocument(), QStringLiteral("Nuovo documento"));
    pdf.Check(pdf.SetOrigin(1));
    pdf.Check(pdf.SetMeasurementUnits(0));

    d.textCentered(40, 515, 50, 14, Campagna::titoloModello(), true);
    d.textCentered(40, 515, 66, 9.5,
                   QStringLiteral("ELENCO DEI PERCETTORI PER LA FIRMA DI RICEVUTA DELLA CERTIFICAZIONE"), true);
    d.rect(40, 78, 425, 50, 0.5);
    d.text(44, 86, 6, QStringLiteral("SOSTITUTO D'IMPOSTA"), true, 0.3);
    d.rect(470, 78, 85, 50, 0.5);
    d.text(474, 86, 6, QStringLiteral("PERIODO D'IMPOSTA"), true, 0.3);
    d.text(474, 112, 6, QStringLiteral("ANNO FINANZIARIO"), true, 0.3);

    const double headTop = kRowsTop - 14;
    d.fill(kListLeft, headTop, kListRight - kListLeft, 14, 0.88, 0.91, 0.95);
    d.rect(kListLeft, headTop, kListRight - kListLeft, 14, 0.5);
    d.text(kListLeft + 2, headTop + 10, 7, QStringLiteral("Cognome e nome"), true);
    d.text(kNameColumnEnd + 3, headTop + 10, 7, QStringLiteral("Codice fiscale"), true);
    d.text(kCodeColumnEnd + 4, headTop + 10, 7, QStringLiteral("Data di consegna"), true);
    d.text(kDateColumnEnd + 4, headTop + 10, 7, QStringLiteral("Firma per ricevuta"), true);
    const double listBottom = kRowsTop + double(kRowStep) * kRows;
    for (int r = 1; r <= kRows; ++r) {
        const double bottom = kRowsTop + double(kRowStep) * r;
        d.line(kListLeft, bottom, kListRight, bottom, 0.3, 0.75);
    }
    for (double x : {kListLeft, kNameColumnEnd, kCodeColumnEnd, kDateColumnEnd, kListRight})
        d.line(x, kRowsTop, x, listBottom, 0.3, 0.75);
    save(pdf, QDir(dir).filePath(QStringLiteral("firme.pdf")));

    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("PdfConf"));
    doc.appendChild(root);
    QDomElement page = doc.createElement(QStringLiteral("Page"));
    page.setAttribute(QStringLiteral("Name"), QStringLiteral("FirmeDipendenti"));
    page.setAttribute(QStringLiteral("Template"), 1);
    root.appendChild(page);
    QDomElement head = section(doc, page, QStringLiteral("cdsIntestazione"), QStringLiteral("1"));
    edit(doc, head, QStringLiteral("sDenominazione"), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), 99, 44, 10, 415);
    edit(doc, head, QStringLiteral("sIndirizzo"), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), 111, 44, 8, 415);
    edit(doc, head, QStringLiteral("sTelefonoMail"), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), 122, 44, 8, 415);
    edit(doc, head, QStringLiteral("sAnnoFin"), QStringLiteral("taCenter"), QStringLiteral("SP"), 102, 470, 12, 85);
    QDomElement year = section(doc, page, QStringLiteral("cdsAnnoFin"), QStringLiteral("1"));
    edit(doc, year, QStringLiteral("SCUAANNOFIN"), QStringLiteral("taCenter"), QStringLiteral("SP"), 123, 470, 9, 85);
    QDomElement rows = section(doc, page, QStringLiteral("cdsDipendenti"), QString::number(kRows));
    const int nameLeft = int(kListLeft) + 2;
    const int nameSpace = int(kNameColumnEnd - kListLeft) - 4;
    const int codeLeft = int(kNameColumnEnd) + 3;
    const int codeSpace = int(kCodeColumnEnd - kNameColumnEnd) - 5;
    const int rowTop = int(kRowsTop);
    edit(doc, rows, fld::SCUDCOGNOME.qs(), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), rowTop + 12,
         nameLeft, 7, nameSpace, kRowStep);
    edit(doc, rows, fld::SCUDNOME.qs(), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), rowTop + 22,
         nameLeft, 7, nameSpace, kRowStep);
    edit(doc, rows, fld::SCUDCODFIS.qs(), QStringLiteral("taLeftJustify"), QStringLiteral("SP"), rowTop + 17,
         codeLeft, 7, codeSpace, kRowStep);

    TOvSafeFile::writeFile(QDir(dir).filePath(QStringLiteral("stpStampe.xml")), doc.toByteArray(2),
                           TOvSafeFile::Access::Shared);
}

// The instructions: pages 1-9 for the office, 10-17 the payee's leaflet.
void buildInstructions(const QString &dir)
{
    TPdkPdf pdf;
    FormDrawer d(pdf);
    const QList<QStringList> pages = instructionPages();
    d.newDocument(int(pages.size()));
    for (int i = 0; i < pages.size(); ++i) {
        const int pageNo = i + 1;
        d.page(pageNo);
        const bool leaflet = pageNo >= 10;
        d.text(15, 12, 7,
               Campagna::titoloModello()
                   + (leaflet ? QStringLiteral(" - INFORMAZIONI PER IL CONTRIBUENTE")
                              : QStringLiteral(" - ISTRUZIONI PER LA COMPILAZIONE")),
               true, 0.25);
        d.line(15, 14, 195, 14, 0.3, 0.4);
        d.textCentered(15, 180, 288, 7, QString::number(pageNo));
        double y = 24;
        for (const QString &block : pages[i]) {
            if (block.startsWith(QLatin1String("# "))) {
                y = d.paragraph(15, y + 2, 180, 12, block.mid(2), 0, true) + 2;
            } else if (block.startsWith(QLatin1String("## "))) {
                y = d.paragraph(15, y + 1.5, 180, 9.5, block.mid(3), 0, true) + 0.5;
            } else {
                y = d.paragraph(15, y, 180, 9, block) + 1.8;
            }
            if (y > 282)
                throw EOvError(QStringLiteral("Il testo della pagina %1 delle istruzioni non entra nella pagina")
                                   .arg(pageNo));
        }
    }
    save(pdf, QDir(dir).filePath(Campagna::istruzioni()));
}
