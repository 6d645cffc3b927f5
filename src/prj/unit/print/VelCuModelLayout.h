#pragma once
// The edition's CU models as the prints use them, beside the layout files
// (StpCUD.xml, StpCUD_Ord.xml, StpSost.xml, StpQuadroCT.xml) that place the
// fields: which page of the model each printed page copies, which page and
// section of the layout file fills it, and where the prints write what no
// layout file places (module numbers, the payee's tax code on continuation
// pages, row labels, the dependants' table, the imprint, the draft's note).
// Next year's model changes these lines together with the layout files.
//
// Millimetres from the top-left corner of an A4 sheet; text sizes in points.
// Model pages are 1-based pages of CU<year>_mod.pdf (summary) and
// CU<year>_mod_ord.pdf (ordinary); layout pages are the <PagN> of the layout.

namespace VelCuModelLayout {

struct Point
{
    int x;
    int y;
};

// ---------------------------------------------------------------- the sheet

inline constexpr int kSheetWidth = 210;
inline constexpr int kSheetHeight = 297;
// Nothing the print writes comes nearer to the sheet's edge: the area office
// printers print on.
inline constexpr double kMargin = 5.0;

// ---------------------------------------------------------------- every page

// The module number ("01", "02"...) in the top right box.
inline constexpr Point kModule{192, 12};
inline constexpr int kModuleSize = 8;
inline constexpr double kModuleWidth = 5;
// The payee's tax code at the top of a continuation page.
inline constexpr Point kTaxCode{46, 12};
inline constexpr int kTaxCodeSize = 10;
// The imprint reads upwards along the left edge, from near the bottom: its
// glyphs reach 1.8 mm left of the baseline, so a baseline 2 mm inside the
// margin keeps them inside it.
inline constexpr double kImprintBaseline = kMargin + 2;
inline constexpr double kImprintBottom = 279;
inline constexpr int kImprintSize = 7;
inline constexpr int kImprintAngle = 90;
// "Rigo: n" beside a row of a repeated section, in the left margin.
inline constexpr int kRowLabelX = int(kMargin);
inline constexpr int kRowLabelSize = 6;
// A draft's note: small above the model's frames, large below them, across
// the sheet.
inline constexpr Point kDraftNote{100, int(kMargin) + 2};
inline constexpr int kDraftNoteSize = 7;
inline constexpr double kDraftBannerY = kSheetHeight - kMargin - 1;
inline constexpr int kDraftBannerSize = 16;

// ---------------------------------------------------------------- first page

// The year of income in the box beside the title.
inline constexpr Point kYear{169, 29};
inline constexpr int kYearSize = 12;
// The first page's own fields: layout page 1 of either model.
inline constexpr int kFirstPageLayout = 1;
// With the signature omitted by law: the signature's place holds the note,
// 1 mm lower at 6 points, and any value of the field 2 mm higher at 8 points.
namespace FirmaOmessa {
inline constexpr int kValueRise = 2;
inline constexpr int kValueSize = 8;
inline constexpr int kNoteDrop = 1;
inline constexpr int kNoteSize = 6;
} // namespace FirmaOmessa

// ---------------------------------------------------------------- dependants

// The table of dependants (fiscal data): the spouse's row at the table's top,
// the first child 4 mm below it, further children 9 mm below the spouse's row
// and then 4 mm apart. Columns by their x.
namespace Dependants {
inline constexpr int kSize = 8;
inline constexpr int kFirstChildBelow = 4;
inline constexpr int kChildrenBelow = 9;
inline constexpr int kRowStep = 4;
// rows of further members the table holds
inline constexpr int kRows = 8;
// columns, by the value each one holds
inline constexpr int kRelation = 49;       // cross: spouse, first child, child
inline constexpr int kOtherFamily = 61;    // cross: child of another family
inline constexpr int kDisabled = 72;       // cross: disabled child
inline constexpr int kNotAscendant = 83;   // cross: relative not an ascendant
inline constexpr int kTaxCode = 90;
inline constexpr int kMonths = 153;        // months as a dependant
inline constexpr int kDeductionEnd = 172;  // right edge of the deduction's percentage
inline constexpr int kFullDeduction = 178; // cross: the whole deduction
inline constexpr int kMonthsUnder21 = 191;
} // namespace Dependants

// ---------------------------------------------------------------- previdential

// The two pages of previdential data: page A for INPS and the public pension
// scheme, one row of each a page; page B for the other bodies, INAIL, the
// co-operatives (and the TFR in the summary CU), one row of each a page.
struct Previdential
{
    int modelA, modelB;   // model pages
    int layoutA, layoutB; // layout pages
    int inpdapLabel;      // y of the public pension row's label on page A
    bool tfr;             // whether page B holds the TFR rows
};
// Sections of layout page A and B.
namespace PrevidentialSection {
inline constexpr int kInps = 0;        // page A
inline constexpr int kInpdap = 1;      // page A
inline constexpr int kCuFields = 2;    // pages A and B: the CU's own fields
inline constexpr int kAltriEnti = 0;   // page B
inline constexpr int kInail = 1;       // page B
inline constexpr int kCoopArt = 3;     // page B
inline constexpr int kTfr = 4;         // page B of the summary CU
} // namespace PrevidentialSection
// y of the row labels: the INPS row repeats its label at each of its frames.
inline constexpr int kInpsLabels[] = {40, 173, 205, 236};
inline constexpr int kAltriEntiLabel = 50;
inline constexpr int kInailLabel = 74;
inline constexpr int kTfrLabel = 110;
inline constexpr int kCoopArtLabel = 32;

// ---------------------------------------------------------------- self-employed

struct SelfEmployed
{
    int model;  // model page
    int layout; // layout page: section 0 one row, section 1 the CU's fields
};
inline constexpr int kSelfEmployedRow = 0;
inline constexpr int kSelfEmployedCu = 1;
inline constexpr int kSelfEmployedLabel = 45;

// ---------------------------------------------------------------- the summary CU

namespace Sintetico {
inline constexpr int kFirstPage = 1;
// fiscal data: model pages 2-4, filled by the layout pages of the same number
inline constexpr int kFiscalFirst = 2;
inline constexpr int kFiscalLast = 4;
inline constexpr int kDependantsTop = 143;
inline constexpr Previdential kPrevidential{5, 6, 5, 6, 72, true};
// the annotations: the text from x 44 mm, Helvetica 8, on copies of model
// page 7 while lines remain; lines 3 mm apart from below the heading
inline constexpr int kAnnotations = 7;
inline constexpr double kAnnotationLeft = 44.0;
inline constexpr double kAnnotationRight = 201.0; // inside the frame's edge at 202
inline constexpr double kAnnotationSize = 8.0;
inline constexpr int kAnnotationTop = 23;
inline constexpr int kAnnotationStep = 3;
inline constexpr int kAnnotationBottom = 280; // a line's top stays above it
inline constexpr SelfEmployed kSelfEmployed{8, 7};
// the information for the payee
inline constexpr int kInformation = 9;
// the "CINQUE PER MILLE" pair: the choice on the first page (layout page 8,
// dates with wider gaps), the tax code in the second's header
inline constexpr char kFivePerThousand[] = "10,11";
inline constexpr int kFivePerThousandLayout = 8;
inline constexpr int kFivePerThousandDayGap = 8;
inline constexpr int kFivePerThousandMonthGap = 6;
inline constexpr Point kFivePerThousandTaxCode{32, 13};
inline constexpr double kFivePerThousandTaxCodeWidth = 5;
} // namespace Sintetico

// ---------------------------------------------------------------- the ordinary CU

namespace Ordinario {
inline constexpr int kFirstPage = 3;
// fiscal data: model pages 4-8, filled by the layout pages two lower
inline constexpr int kFiscalFirst = 4;
inline constexpr int kFiscalLast = 8;
inline constexpr int kFiscalLayoutOffset = 2;
inline constexpr int kDependantsTop = 28;
inline constexpr Previdential kPrevidential{9, 10, 7, 8, 84, false};
// the TFR pair: rows alternating on model pages 11 and 12, filled by the
// first section of layout pages 9 and 10
inline constexpr char kTfrPair[] = "11,12";
inline constexpr int kTfrLayout[2] = {9, 10};
inline constexpr int kTfrLabel = 44;
// one copy of model page 13 a row of annotation codes (layout page 11)
inline constexpr int kAnnotationCodes = 13;
inline constexpr int kAnnotationCodesLayout = 11;
inline constexpr int kAnnotationCodesLabel = 34;
inline constexpr SelfEmployed kSelfEmployed{14, 12};
} // namespace Ordinario

// ---------------------------------------------------------------- the agent's prints

// Pages of the ordinary model: the frontispiece and the Quadro CT.
namespace Sostituto {
inline constexpr int kFrontispiece = 1;
inline constexpr int kQuadroCT = 2;
// The crosses of "Annullamento" and "Sostituzione".
inline constexpr Point kAnnullamento{65, 53};
inline constexpr Point kSostituzione{126, 53};
inline constexpr int kCrossSize = 9;
} // namespace Sostituto

} // namespace VelCuModelLayout
