#pragma once
// The dependants of one CU as the model's table lists them, whatever rows of
// TCUDC_CONFAMCARICO hold them.
//
// A stored row has three places: the spouse's, the first child's and one
// further member's. The import puts each situation of a child in the year
// (a change of percentage, disability or foster flag) on a row of its own,
// so a first child whose situation changed has its first-child place filled
// on two rows. The model files one row per situation: the spouse's row, the
// first child's row for its first situation, then one further row per
// further situation and per further member, each with its own months. The
// supply and the print both read the table through here, so that every
// stored place reaches both, in the same order.
#include <QList>
#include <QString>

class TClientDataSet;

namespace VelDependants {

// Rows of the model's table after the spouse's and the first child's; more
// go on a further module.
inline constexpr int kFurtherRows = 8;

struct Member
{
    enum class Place { Spouse, FirstChild, Further };
    Place place = Place::Further;
    // relation boxes: the spouse's and a child's cross; a disabled child, a
    // child of another family, a relative who is not an ascendant
    bool child = false;
    bool disabled = false;
    bool otherFamily = false;
    bool notAscendant = false;
    QString taxCode;
    QString months;        // months as a dependant, two digits
    QString monthsUnder3;  // months under three years of age
    QString share;         // deduction share: a percentage ("50.00") or "C"
    bool fullDeduction = false; // the whole deduction for a child in custody
    bool fosterBox = false;     // the first child's second custody box
    QString monthsOver21;
    QString monthsFamily;  // months of the large-family deduction
    QString year;
    int storedRow = 0;     // 1-based row of the CU's rows it comes from
};

// The members held by the current rows of `rows` (a dataset showing one CU's
// family rows), from the first row to the last: the first spouse, the first
// child's first situation, then the first child's other situations and every
// further member in row order. The cursor is left on the first row.
QList<Member> members(TClientDataSet &rows);

// Whether fill() would change `rows`: more than one row, or a row whose
// further member's custody flag sits in the first child's column. A single
// row otherwise is already as the table lists it (the common case).
bool needsRewrite(const TClientDataSet &rows);

// Further members, and the modules of the table they need (at least one).
int furtherCount(const QList<Member> &list);
int modules(const QList<Member> &list);

// Rewrites `rows` (the columns of TCUDC_CONFAMCARICO) for one module of the
// table (0 the first, the only one with the spouse and the first child): row
// 1 holds the spouse, the first child and the module's first further member,
// row N its Nth further member; no row left empty in between. The CU's keys
// are kept from the first row.
void fill(TClientDataSet &rows, const QList<Member> &list, int module);

} // namespace VelDependants
