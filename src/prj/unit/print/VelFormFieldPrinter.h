#pragma once
// Writing the fields of a form layout (<Cud>) on the selected page of a PDF
// workspace. Every print made from a form layout goes through here, so the
// rules are the same everywhere:
//
//  1. a value whose text is exactly "0" is not printed, nor is a null value;
//  2. "taRightJustify": the value is an amount, printed "#,##0.00" (1.200,50)
//     right-aligned in the box of its Space; with Format "Round" it is first
//     rounded to whole euros (halves away from zero); "0,00" is left blank;
//  3. "taData": a date printed as day, four spaces, month, four spaces, year,
//     from x, box width 0 ("0.00.00" is left blank);
//  4. "taDataggmm": day, four spaces, month;
//  5. "tacheckbox": "X" (left-aligned in the Space box) when the value is "1";
//  6. anything else: the text with that alignment in the Space box.
//
// A text wider than its Space box is written smaller, down to 5 points,
// rather than over the next box.
//
// Space is a decimal number in text; "no" or any other non-number is 0.
#include "src/prj/unit/print/VelCudLayout.h"

#include "platform/pdf/TPdkPdf.h"

#include <QString>
#include <QVariant>

class TClientDataSet;

// One printer serves one print run.
class TVelFormFieldPrinter
{
public:
    explicit TVelFormFieldPrinter(TPdkPdf &pdf) : m_pdf(pdf) {}

    // Sets the last operation to "Scrivi testo: " + text, the text size, and
    // draws the text at (x, y) aligned in a box of the width `space` gives.
    void DrawField(const QString &text, int x, int y, int size, const QString &alignment, const QString &space);
    // "dd/mm/yyyy" -> characters 1-2, gap1 spaces, 4-5, gap2 spaces, 7-10.
    void DrawDate(const QString &text, int x, int y, int size, int gap1, int gap2,
                  const QString &alignment = QString());
    // "dd/mm/yyyy" -> characters 1-2, gap1 spaces, 4-5.
    void DrawDayMonth(const QString &text, int x, int y, int size, int gap1, int gap2);

    // One Edit with its field's value (a null QVariant is a null value).
    // Raises EOvError naming the value when an amount is not a number.
    void printEdit(const TXMLCudEdit &edit, const QVariant &value);
    // Every Edit of a section from the current record of a dataset (the field
    // named by each Edit; an unknown name raises). The section's places are
    // read once and kept for the next pages.
    void printSection(const TXMLCudSection &section, TClientDataSet &dataSet);

    // The gaps printEdit uses for dates (4 and 4 unless changed).
    void setDateGaps(int gap1, int gap2)
    {
        m_gap1 = gap1;
        m_gap2 = gap2;
    }
    void resetDateGaps() { setDateGaps(kDateGap, kDateGap); }

    // The text a value prints as under an alignment, or an empty text when it
    // prints nothing (the rules above; exposed for the callers' own checks).
    static QString printedText(const QString &alignment, const QString &format, const QVariant &value);
    // Space as a number: "12", "12.5", "12,5"; anything else is 0.
    static double spaceWidth(const QString &space);
    // Lowers the workspace's text size, half a point at a time down to 5,
    // until the text fits `width` (no limit when 0); false when a size fails.
    static bool fitTextSize(TPdkPdf &pdf, const QString &text, double width);

private:
    // One Edit as read from the layout.
    struct Place
    {
        QString name, alignment, space, format;
        int left = 0, top = 0, height = 0;
        int field = -1; // index in the dataset last printed from
    };
    struct SectionPlaces
    {
        QDomElement element;
        const TClientDataSet *dataSet = nullptr; // the field indexes are of this dataset...
        int fieldCount = -1;                     // ...with this many fields
        QList<Place> places;
    };
    SectionPlaces &placesOf(const TXMLCudSection &section);
    void printText(const QString &alignment, const QString &space, const QString &text, int x, int y, int size);

    TPdkPdf &m_pdf;
    static constexpr int kDateGap = 4;
    int m_gap1 = kDateGap;
    int m_gap2 = kDateGap;
    QList<SectionPlaces> m_sections;
};
