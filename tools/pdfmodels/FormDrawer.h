#pragma once
// Drawing of model pages (millimetres, origin top-left) and recording of the
// layout that places values in the boxes drawn: every box a value goes into is
// drawn and recorded by the same call, so the two cannot disagree.
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include <QList>
#include <QMap>
#include <QString>
#include <deque>
#include <functional>
#include <map>

class QDomDocument;
class QDomElement;

// ---- layouts being built ----

struct EditRec
{
    QString name;
    QString alignment;
    QString space;
    QString type;
    QString format;
    int top = 0;
    int left = 0;
    int height = 8;
};

struct SectionRec
{
    QString name;
    QList<EditRec> edits;
};

// A form layout (<Cud>): Sos and Pag1..Pag12. Sections stay where they are
// while others are added (references to them are kept during drawing).
struct CudLayoutRec
{
    std::deque<SectionRec> sos;
    std::map<int, std::deque<SectionRec>> pag; // 1..12
    // The section `index` (0-based) of PagN, created (empty, named) when needed.
    SectionRec &section(int page, int index, const QString &name);
    SectionRec &sosSection(const QString &name);
    void write(QDomDocument &doc) const;
};

// How a value is written in a box.
enum class ValueStyle {
    Auto,        // by the field's kind
    AgentText,   // agent block of the CU: left, box width 0
    AgentPrint,  // frontispiece / Quadro CT: flags "CB", dates centred
};

// A field of the record model as one box, or several fields sharing one box
// number (months, years and months...) as one group of sub-boxes.
struct CellSpec
{
    QList<const VelFieldDesc *> fields;
    QString box;       // printed number ("" for none)
    bool group = false;
    QString heading;   // heading over the run of boxes that share it ("" for none)
};

// Box labels: size, first baseline and line step below the box's top edge.
constexpr double kLabelSize = 5.0;
constexpr double kLabelFirst = 2.1;
constexpr double kLabelLeading = 1.75;
// A flowed row whose labels need three lines is this much taller.
constexpr int kTallRowExtra = 1;
// The strip of a heading over a run of boxes.
constexpr int kHeadingStrip = 3;

// The area a flow of boxes fills.
struct Region
{
    int page = 1; // page of the document being drawn
    int x = 8;
    int y = 18;
    int right = 202;
    int bottom = 283;
    SectionRec *section = nullptr; // where this region's values go (the flow's own when null)
};

class FormDrawer
{
public:
    explicit FormDrawer(TPdkPdf &pdf);
    TPdkPdf &pdf() { return m_pdf; }

    // Pages: the document gets `count` empty A4 pages.
    void newDocument(int pages);
    void page(int n); // selects page n for drawing

    // Primitives.
    void text(double x, double y, double size, const QString &s, bool bold = false, double gray = 0.0);
    void textCentered(double x, double width, double y, double size, const QString &s, bool bold = false);
    void textRight(double right, double y, double size, const QString &s, bool bold = false);
    // Word-wrapped paragraph from (x, y): returns the y after the last line.
    double paragraph(double x, double y, double width, double size, const QString &s, double leading = 0,
                     bool bold = false);
    void rect(double x, double y, double w, double h, double lineWidth = 0.15, double gray = 0.35);
    void fill(double x, double y, double w, double h, double r, double g, double b);
    void line(double x1, double y1, double x2, double y2, double lineWidth = 0.15, double gray = 0.35);
    // A title bar 4 mm high.
    void bar(double x, double y, double w, const QString &title);
    // A caption box with a label in its top-left corner (no value recorded).
    void labelBox(double x, double y, double w, double h, const QString &label, const QString &box = QString());
    // A caption box whose label is wrapped over as many lines as its height
    // holds (column headings of a table); its last line is cut only when the
    // label does not fit.
    void headerBox(double x, double y, double w, double h, const QString &label, bool bold = false);

    // The standard top band of the CU pages: fiscal code box at 44..96 (value
    // at 46, 12), page title, module box at 188..202 (value at 192, 12).
    void cuHeader(const QString &title, bool withModule = true);

    // Flows the cells into the regions (the first row of each region starts at
    // its y), recording the values into `section`. A title bar opens the block
    // (and its continuation in the next region). Returns the y below the last row.
    // Raises EOvError when the regions are full.
    int flow(const QString &title, const QList<CellSpec> &cells, QList<Region> &regions, SectionRec &section,
             ValueStyle style = ValueStyle::Auto, int rowHeight = 9);
    int flow(const QString &title, const QList<CellSpec> &cells, Region &region, SectionRec &section,
             ValueStyle style = ValueStyle::Auto, int rowHeight = 9);

    // One box at a fixed place, recorded like a flowed one; the value's
    // baseline lies `rise` millimetres above the box's bottom edge.
    void cell(const CellSpec &spec, int x, int y, int w, int h, SectionRec &section, ValueStyle style, int rise = 2);

    // Cells of fields: each field its own box, or one group per box number
    // shared by consecutive fields.
    static QList<CellSpec> cellsOf(const QList<const VelFieldDesc *> &fields, bool numbered = true);
    // Natural width of a cell in millimetres: room for its value, and for its
    // label on at most three lines.
    int naturalWidth(const CellSpec &spec) const;
    static int subWidth(const VelFieldDesc &f, bool inGroup);
    // Lines of label a box of height h holds above a value whose baseline
    // lies `rise` above the box's bottom edge (size 8).
    static int labelLines(double h, double rise);
    // Gaps (in spaces) between day, month and year of the dates printed in the
    // boxes drawn next; the tick marks between the parts follow them.
    void setDateGaps(int gap1, int gap2)
    {
        m_gap1 = gap1;
        m_gap2 = gap2;
    }
    // The label printed in a field's box: the editor's caption with its years
    // filled in, or the model's own wording where the editor shows none.
    static QString labelText(const VelFieldDesc &f);

    // Rows whose labels all take one line drawn a millimetre lower (the
    // fiscal pages, where space is short); off by default, so that the other
    // pages keep their rows at the height asked.
    void setCompactRows(bool on) { m_compactRows = on; }

    // Records a value written at a fixed place (no box drawn).
    static void record(SectionRec &section, const QString &name, int left, int top, int height,
                       const QString &alignment, const QString &space = QStringLiteral("no"),
                       const QString &type = QString());

private:
    // Height of a row of cells of these widths (taller when a label needs
    // three lines, plus the heading strip when a cell has a heading).
    int rowHeightOf(const QList<CellSpec> &row, const QList<int> &widths, int rowHeight) const;
    void drawRow(const QList<CellSpec> &row, const QList<int> &widths, int x, int y, int h, int rowHeight,
                 SectionRec &section, ValueStyle style);
    void subCell(const VelFieldDesc &f, const QString &box, int x, int y, int w, int h, int rise, SectionRec &section,
                 ValueStyle style);
    void cellLabel(double x, double y, double w, const QString &box, const QString &label, int maxLines);
    // The label wrapped into lines in a box of width w (the first line after
    // the box number); false when it needs more than maxLines.
    bool wrapLabel(const QString &box, const QString &label, double w, int maxLines, QStringList *lines,
                   bool bold = false) const;
    // Width the sub-box of f needs so that its label fits on maxLines lines.
    int labelWidth(const VelFieldDesc &f, const QString &box, int base, int maxLines) const;
    // Widths of the sub-boxes of a group cell w wide.
    QList<int> subWidths(const CellSpec &spec, int w) const;
    QString fitted(const QString &s, double width, double size, bool bold) const;

    TPdkPdf &m_pdf;
    int m_gap1 = 4;
    int m_gap2 = 4;
    bool m_compactRows = false;
};

// Fields of a structure: a page's (in order), or by name.
const VelStructureDesc &structureOf(const QString &name);
QList<const VelFieldDesc *> pageFields(const QString &structure, const QString &page);
QList<const VelFieldDesc *> namedFields(const QString &structure, const QStringList &names);
// Fields of a page whose box number lies in [from, to].
QList<const VelFieldDesc *> boxRange(const QString &structure, const QString &page, int from, int to);
