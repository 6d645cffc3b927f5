#pragma once
// Editor pages made from the record model: one description drives every page.
// Each field gets its box number and label beside it and the widget its kind
// asks for (text, amount, date, flag, list, code with search button). Fields
// of one box stand on one row (the twelve month flags of a series); fields are
// grouped as the model's sections run (a new group where the box numbering
// jumps to another ten) and the groups flow over two columns, so a page fits
// the width of a 1280x800 screen and scrolls only down.
#include <QString>
#include <QWidget>

#include <functional>

class QBoxLayout;
class QScrollArea;
class TDataSource;
class TTorDbEdit;
struct VelFieldDesc;
struct VelStructureDesc;

// Runs the search of a code field (button and F8).
using VelLookupHandler = std::function<void(TTorDbEdit *edit, const VelFieldDesc &field)>;

namespace VelPageBuilder {


// The fields of `page` of the structure; `columns` 0 lets the page decide.
QWidget *build(const VelStructureDesc &structure, const QString &page, TDataSource *source,
               const VelLookupHandler &lookup, QWidget *parent = nullptr, int columns = 0);

// The bound widget of one field, as the pages make it (a flag with its
// caption beside it when `captioned`).
QWidget *fieldWidget(const VelFieldDesc &field, TDataSource *source, const VelLookupHandler &lookup,
                     QWidget *parent, bool captioned = false);

// Decimals an amount field shows (2 unless the model says otherwise).
int decimals(const VelFieldDesc &field);

// Keeps the columns of `cols` (a box layout inside `scroll`'s widget) side by
// side while the view is wide enough for them, one under the other otherwise:
// a page never needs a sideways scroll.
void flowColumns(QScrollArea *scroll, QBoxLayout *cols);

// A grid title on two lines when it is long (at the blank nearest the middle).
QString headerCaption(const QString &text);

// Puts the cursor in the first field of a page that can take it (a new row
// starts there); false when there is none.
bool focusFirstField(QWidget *page);

} // namespace VelPageBuilder
