#include "src/prj/unit/editors/VelPageBuilder.h"

#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/util/TorCampagna.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextEdit>
#include <QVBoxLayout>

namespace VelPageBuilder {

namespace {

// Widest text box; wider ones stand on a row of their own under the caption.
constexpr int kLongText = 560;
constexpr int kBesideCaption = 290;

int boxNumber(const QString &box)
{
    QString digits;
    for (QChar c : box) {
        if (!c.isDigit())
            break;
        digits += c;
    }
    return digits.isEmpty() ? -1 : digits.toInt();
}

struct Row
{
    QList<const VelFieldDesc *> fields;
    QString box;
};

struct Group
{
    QString title;
    QList<Row> rows;
};

// Room for a full-length value of capitals (an average one: names and codes).
int textWidth(const QWidget *w, int size)
{
    const int chars = qMax(1, size);
    return qMin(kLongText, w->fontMetrics().horizontalAdvance(QString(chars, u'N')) + 14);
}

QWidget *widgetFor(const VelFieldDesc &f, TDataSource *src, const VelLookupHandler &lookup, QWidget *parent,
                   bool captioned = false)
{
    switch (f.kind) {
    case VelFieldKind::Memo: {
        auto *m = new TTorDbMemo(src, f.name, parent);
        m->setMinimumHeight(90);
        return m;
    }
    case VelFieldKind::Amount: {
        auto *e = new TTorDbEdit(src, f.name, TorDbKind::Amount, decimals(f), parent);
        e->setFixedWidth(130);
        return e;
    }
    case VelFieldKind::Integer: {
        auto *e = new TTorDbEdit(src, f.name, TorDbKind::Integer, 0, parent);
        e->setFixedWidth(80);
        return e;
    }
    case VelFieldKind::Date: {
        auto *e = new TTorDbEdit(src, f.name, TorDbKind::Date, 0, parent);
        e->setFixedWidth(95);
        e->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
        return e;
    }
    case VelFieldKind::FlagX:
    case VelFieldKind::Flag1:
        return new TTorDbCheck(src, f.name, f.flagSetValue(), captioned ? f.caption() : QString(), parent);
    case VelFieldKind::List: {
        QList<QPair<QString, QString>> items;
        for (const VelListValue &v : f.values)
            items.append({v.code, v.description});
        auto *c = new TTorDbCombo(src, f.name, items, parent);
        c->setFixedWidth(qMax(70, c->sizeHint().width()));
        return c;
    }
    case VelFieldKind::Lookup: {
        auto *l = new TTorDbLookup(src, f.name, parent);
        l->setFixedWidth(qBound(70, f.size * 9 + 40, 210));
        const VelFieldDesc *fd = &f;
        l->edit()->onLookup = [lookup, fd](TTorDbEdit *e) {
            if (lookup)
                lookup(e, *fd);
        };
        return l;
    }
    case VelFieldKind::Text:
        break;
    }
    auto *e = new TTorDbEdit(src, f.name, TorDbKind::Text, 0, parent);
    e->setFixedWidth(textWidth(e, f.size));
    return e;
}

QList<Group> groupsOf(const QList<const VelFieldDesc *> &fields)
{
    // Rows: consecutive fields of one box share a row.
    QList<Row> rows;
    for (const VelFieldDesc *f : fields) {
        if (!rows.isEmpty() && !f->box.isEmpty() && rows.last().box == f->box && f->kind != VelFieldKind::Memo) {
            rows.last().fields.append(f);
            continue;
        }
        rows.append(Row{{f}, f->box});
    }
    QList<Group> groups;
    int prevBox = -1;
    QString prevGroup;
    bool prevBoxed = false;
    for (const Row &r : rows) {
        const VelFieldDesc *f = r.fields.first();
        const int b = boxNumber(r.box);
        const bool boxed = b >= 0;
        bool fresh = groups.isEmpty() || f->group != prevGroup || boxed != prevBoxed;
        if (!fresh && boxed && prevBox >= 0 && b / 10 != prevBox / 10 && b - prevBox > 1)
            fresh = true;
        if (!fresh && boxed && b < prevBox)
            fresh = true;
        if (fresh)
            groups.append(Group{f->group, {}});
        groups.last().rows.append(r);
        prevBox = boxed ? b : prevBox;
        prevGroup = f->group;
        prevBoxed = boxed;
    }
    // Long runs of boxes are split, so that they flow over the columns.
    constexpr int kMaxRows = 14;
    QList<Group> split;
    for (const Group &g : groups) {
        if (g.rows.size() <= kMaxRows) {
            split.append(g);
            continue;
        }
        const int parts = int((g.rows.size() + kMaxRows - 1) / kMaxRows);
        const int per = int((g.rows.size() + parts - 1) / parts);
        for (int i = 0; i < g.rows.size(); i += per)
            split.append(Group{g.title, g.rows.mid(i, per)});
    }
    groups = split;
    // Titles: the model's heading, else the range of boxes.
    for (Group &g : groups) {
        if (!g.title.isEmpty())
            continue;
        const QString a = g.rows.first().box;
        const QString z = g.rows.last().box;
        if (a.isEmpty())
            continue;
        g.title = a == z ? QStringLiteral("Punto %1").arg(a) : QStringLiteral("Punti %1 - %2").arg(a, z);
    }
    return groups;
}

QWidget *groupWidget(const Group &g, TDataSource *src, const VelLookupHandler &lookup, QWidget *parent)
{
    auto *box = new QGroupBox(g.title, parent);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (const Row &r : g.rows) {
        const VelFieldDesc *first = r.fields.first();
        auto *lbBox = new QLabel(r.box, box);
        QFont bf = lbBox->font();
        bf.setBold(true);
        lbBox->setFont(bf);
        lbBox->setMinimumWidth(28);
        lbBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(lbBox, row, 0);
        if (r.fields.size() == 1) {
            auto *lb = new QLabel(first->caption(), box);
            lb->setWordWrap(true);
            lb->setToolTip(first->name);
            grid->addWidget(lb, row, 1);
            QWidget *w = widgetFor(*first, src, lookup, box);
            lb->setBuddy(w);
            if (first->kind == VelFieldKind::Memo)
                grid->addWidget(w, ++row, 0, 1, 3);
            else if (w->maximumWidth() > kBesideCaption && w->maximumWidth() < QWIDGETSIZE_MAX)
                grid->addWidget(w, ++row, 1, 1, 2, Qt::AlignLeft); // a long text under its caption
            else
                grid->addWidget(w, row, 2, Qt::AlignLeft);
        } else {
            // Several fields of one box: each with its own short caption.
            bool same = true;
            for (const VelFieldDesc *f : r.fields)
                same = same && f->label == first->label;
            auto *holder = new QWidget(box);
            // A long series (the twelve months) takes two lines of six.
            auto *h = new QGridLayout(holder);
            h->setContentsMargins(0, 0, 0, 0);
            h->setHorizontalSpacing(6);
            h->setVerticalSpacing(2);
            const int perLine = r.fields.size() > 6 ? 6 : int(r.fields.size());
            int cell = 0;
            for (const VelFieldDesc *f : r.fields) {
                const bool own = !same && !f->label.isEmpty();
                auto *piece = new QWidget(holder);
                auto *ph = new QHBoxLayout(piece);
                ph->setContentsMargins(0, 0, 0, 0);
                ph->setSpacing(4);
                if (own && !f->isFlag()) {
                    auto *lb = new QLabel(f->caption(), piece);
                    lb->setToolTip(f->name);
                    ph->addWidget(lb);
                }
                // A flag carries its own caption to its right.
                ph->addWidget(widgetFor(*f, src, lookup, piece, own && f->isFlag()));
                h->addWidget(piece, cell / perLine, cell % perLine, Qt::AlignLeft);
                ++cell;
            }
            h->setColumnStretch(perLine, 1);
            if (same && !first->label.isEmpty()) {
                auto *lb = new QLabel(first->caption(), box);
                lb->setWordWrap(true);
                grid->addWidget(lb, row, 1);
                grid->addWidget(holder, row, 2, Qt::AlignLeft);
            } else {
                grid->addWidget(holder, row, 1, 1, 2);
            }
        }
        ++row;
    }
    return box;
}

// Puts the columns side by side or one under the other as the view's width allows.
class ColumnFlow : public QObject
{
public:
    ColumnFlow(QScrollArea *scroll, QBoxLayout *cols) : QObject(scroll), m_scroll(scroll), m_cols(cols)
    {
        scroll->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_scroll->viewport() && event->type() == QEvent::Resize)
            arrange();
        return false;
    }

private:
    void arrange()
    {
        int need = 0;
        int n = 0;
        for (int i = 0; i < m_cols->count(); ++i) {
            QLayoutItem *item = m_cols->itemAt(i);
            if (item->spacerItem())
                continue;
            need += item->minimumSize().width() + (n++ > 0 ? m_cols->spacing() : 0);
        }
        const QMargins m = m_cols->contentsMargins();
        need += m.left() + m.right();
        if (QWidget *w = m_scroll->widget(); w && w->layout() && w->layout() != m_cols) {
            const QMargins o = w->layout()->contentsMargins();
            need += o.left() + o.right();
        }
        const auto dir = m_scroll->viewport()->width() >= need ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
        if (m_cols->direction() != dir)
            m_cols->setDirection(dir);
    }

    QScrollArea *m_scroll;
    QBoxLayout *m_cols;
};

} // namespace

void flowColumns(QScrollArea *scroll, QBoxLayout *cols)
{
    new ColumnFlow(scroll, cols);
}

QWidget *fieldWidget(const VelFieldDesc &field, TDataSource *source, const VelLookupHandler &lookup,
                     QWidget *parent, bool captioned)
{
    return widgetFor(field, source, lookup, parent, captioned);
}

QString headerCaption(const QString &text)
{
    if (text.size() <= 18)
        return text;
    const qsizetype mid = text.size() / 2;
    qsizetype best = -1;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == u' ' && (best < 0 || qAbs(i - mid) < qAbs(best - mid)))
            best = i;
    if (best < 0)
        return text;
    QString t = text;
    t[best] = u'\n';
    return t;
}

bool focusFirstField(QWidget *page)
{
    if (!page)
        return false;
    // Children come in the order they were made, which is the page's order.
    for (QWidget *w : page->findChildren<QWidget *>()) {
        const bool field = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                           || qobject_cast<QCheckBox *>(w) || qobject_cast<QPlainTextEdit *>(w)
                           || qobject_cast<QTextEdit *>(w);
        if (!field || !w->isVisibleTo(page) || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        if (auto *e = qobject_cast<QLineEdit *>(w); e && e->isReadOnly())
            continue;
        w->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}

int decimals(const VelFieldDesc &field)
{
    return field.decimals >= 0 ? field.decimals : 2;
}


QWidget *build(const VelStructureDesc &structure, const QString &page, TDataSource *source,
               const VelLookupHandler &lookup, QWidget *parent, int columns)
{
    const QList<const VelFieldDesc *> fields = structure.pageFields(page);
    const QList<Group> groups = groupsOf(fields);
    int total = 0;
    for (const Group &g : groups)
        total += int(g.rows.size()) + 1;
    if (columns <= 0)
        columns = total > 12 ? 2 : 1;

    auto *scroll = new QScrollArea(parent);
    scroll->setObjectName(QStringLiteral("sc") + QString(page).remove(u' '));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *content = new QWidget;
    auto *cols = new QBoxLayout(QBoxLayout::LeftToRight, content);
    cols->setContentsMargins(6, 6, 6, 6);
    cols->setSpacing(8);
    QList<QVBoxLayout *> colLayouts;
    for (int c = 0; c < columns; ++c) {
        auto *v = new QVBoxLayout;
        v->setSpacing(6);
        if (columns == 1) {
            auto *holder = new QWidget(content);
            holder->setMaximumWidth(720);
            holder->setLayout(v);
            cols->addWidget(holder, 3);
        } else {
            cols->addLayout(v, 1);
        }
        colLayouts.append(v);
    }
    // Groups in reading order, down the first column, then the next.
    const int perColumn = (total + columns - 1) / columns;
    int c = 0, used = 0;
    for (const Group &g : groups) {
        const int size = int(g.rows.size()) + 1;
        if (c < columns - 1 && used > 0 && used + size / 2 > perColumn) {
            ++c;
            used = 0;
        }
        colLayouts[c]->addWidget(groupWidget(g, source, lookup, colLayouts[c]->parentWidget() ? colLayouts[c]->parentWidget() : content));
        used += size;
    }
    for (QVBoxLayout *v : colLayouts)
        v->addStretch(1);
    // One column stays as wide as one of two, not the whole window.
    if (columns == 1)
        cols->addStretch(1);
    scroll->setWidget(content);
    if (columns > 1)
        flowColumns(scroll, cols);
    return scroll;
}

} // namespace VelPageBuilder
