#pragma once
// The PDF workspace every print goes through: it loads PDF models, creates new
// documents, copies model pages into them and draws text and boxes on the
// pages, then saves. Built on qpdf.
//
// A model page is copied as a form XObject, once per model page and target
// document, and every copy of it draws that one object: a document of thousands
// of copied pages holds each model page once. Text is drawn in the standard
// Helvetica font with the WinAnsi encoding (accented letters and the euro sign
// included); alignment uses the font's real widths (PdkFontMetrics).
//
// Operations return 0 on failure and something else on success, as the prints
// expect; Check turns a 0 into an EOvError carrying the operation's label.
// Coordinates are in the unit set by SetMeasurementUnits (points by default),
// measured from the corner set by SetOrigin (bottom-left by default); text
// sizes are always in points. A text's y is its baseline.
#include "platform/pdf/PdkFontMetrics.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class TOvSafeFileBatch;

enum class TPdkAlign { Left, Right, Center };

class TPdkPdf
{
public:
    TPdkPdf();
    ~TPdkPdf();
    TPdkPdf(const TPdkPdf &) = delete;
    TPdkPdf &operator=(const TPdkPdf &) = delete;

    // ---- documents ----
    // Loads a PDF file as a new document and selects it: its identifier, 0 when
    // the file is missing or not a readable PDF.
    int LoadFromFile(const QString &path);
    // Creates a document holding one empty A4 page, selects it and its page.
    int NewDocument();
    // Drops a document and all it holds (its identifier stays unknown; none
    // is selected when it was). A document other documents copied pages from
    // stays until they are saved.
    int CloseDocument(int documentId);
    int SelectedDocument() const;
    int SelectDocument(int documentId); // 0 for an unknown identifier
    // Writes the selected document (to a temporary file first, so a failed
    // save leaves an existing file as it was). 0 on failure; LastErrorText says why.
    int SaveToFile(const QString &path);
    // The same, into a batch of files made durable together (the file takes
    // its name at the batch's commit); streams already compressed are written
    // as they are, and objects are not packed into object streams (for
    // documents cut from one this workspace saved).
    int SaveToBatch(TOvSafeFileBatch &batch, const QString &path);
    // The selected document's information dictionary: title, author, the
    // creating program and the creation date (empty texts are left out).
    int SetDocumentInfo(const QString &title, const QString &author, const QString &creator, const QDateTime &created);
    // The title in a PDF file's information dictionary, read without loading
    // its pages; empty when the file has none or is no readable PDF.
    static QString DocumentTitle(const QString &path);

    // ---- coordinates ----
    // 0: bottom-left corner (PDF's own), 1: top-left corner.
    int SetOrigin(int origin);
    // 0: points, 1: millimetres, 2: inches.
    int SetMeasurementUnits(int units);

    // ---- pages of the selected document ----
    // Appends copies of pages of another (or the same) document: "1", "10,11",
    // "2-4". Nothing is appended when any page is out of range.
    int CopyPageRanges(int sourceDocumentId, const QString &ranges);
    // A new document holding those pages of another document, each page as
    // it is there (its content streams and resources copied, not redrawn
    // through a shared form: for cutting a printed document into parts);
    // selects it and returns its identifier, 0 when any page is out of range.
    int ExtractPageRanges(int sourceDocumentId, const QString &ranges);
    int DeletePages(int firstPage, int count);
    int PageCount() const;
    int SelectPage(int page); // 1-based
    int SelectedPage() const;
    // Appends an empty page of the default size and selects it.
    int NewPage();
    // Size of the pages NewDocument and NewPage create, in the current unit
    // (A4 until changed).
    int SetPageDimensions(double width, double height);
    // Width and height of the selected page in the current unit (0 without one).
    double PageWidth() const;
    double PageHeight() const;

    // ---- drawing on the selected page ----
    int SetTextSize(double points);
    double TextSize() const { return m_textSize; }
    int SelectFont(TPdkFont font);
    // Colours as red, green, blue from 0 to 1.
    int SetTextColor(double r, double g, double b);
    int SetLineColor(double r, double g, double b);
    int SetFillColor(double r, double g, double b);
    int SetLineWidth(double width); // current unit
    // Text with its baseline starting at (x, y).
    int DrawText(double x, double y, const QString &text);
    // Text turned counter-clockwise by `angle` degrees about (x, y).
    int DrawRotatedText(double x, double y, double angle, const QString &text);
    // options 0: outline, 1: filled, 2: filled and outlined. (left, top) is the
    // box's top-left corner as seen on the page; the box extends right and down.
    int DrawBox(double left, double top, double width, double height, int options);
    int DrawLine(double x1, double y1, double x2, double y2);
    // Width of a text in the current font and size, in the current unit.
    double GetTextWidth(const QString &text) const;

    // Draws text on the selected page in the current size, aligned within a box
    // of `width` starting at x (right: ends at x + width; centre: centred on
    // x + width / 2). A width of 0 aligns on x itself.
    int OvDrawText(int x, int y, const QString &text, double width, TPdkAlign align);
    // "taCenter" -> centre, "taRightJustify" -> right, anything else -> left
    // (compared without regard to case).
    static TPdkAlign alignmentFromText(const QString &alignment);

    // ---- operation labels ----
    void SetLastOperation(const QString &label);
    QString LastOperation() const;
    // result 0 raises EOvError with `label`, or the last operation's label when
    // `label` is empty; any other result passes.
    void Check(int result, const QString &label = QString()) const;
    // Technical reason of the last failure (qpdf's message), for diagnostics.
    QString LastErrorText() const;

    // Text as the workspace writes it: WinAnsi bytes, control characters as
    // spaces; a character the encoding lacks is first transliterated
    // (transliterate), never written as '?'.
    static std::string toWinAnsi(const QString &text);
    // The text with every character the WinAnsi encoding lacks replaced by
    // the nearest letters it has: "Łukasz Żółć" -> "Lukasz Zólc", "Nguyễn" ->
    // "Nguyên", "Шевченко" -> "Shevchenko", "ﬁ" -> "fi". A character with no
    // Latin reading (a Chinese ideogram, a pictograph) is left out. Text the
    // encoding holds whole is returned as it is.
    static QString transliterate(const QString &text);

private:
    // Serializes the selected document and hands its bytes to `write`.
    int save(const std::function<void(const char *data, qint64 size)> &write, bool streamsAsTheyAre = false);

    struct Impl;
    std::unique_ptr<Impl> d;
    double m_textSize = 10.0;
};
