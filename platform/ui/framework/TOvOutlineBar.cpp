#include "platform/ui/framework/TOvOutlineBar.h"

#include <QAction>
#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QLinearGradient>
#include <QVBoxLayout>

namespace {
constexpr int kPad = 6;
constexpr int kGap = 4;
} // namespace

TOvOutlineButton::TOvOutlineButton(QWidget *parent)
    : QToolButton(parent)
{
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(TOvOutlineBar::IconSize, TOvOutlineBar::IconSize));
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
}

QRect TOvOutlineButton::textRect(int width) const
{
    const int w = qMax(20, width - 2 * kPad);
    const QRect bound = fontMetrics().boundingRect(QRect(0, 0, w, 1000), Qt::AlignHCenter | Qt::TextWordWrap, text());
    return QRect(kPad, kPad + iconSize().height() + kGap, w, bound.height());
}

int TOvOutlineButton::heightForWidth(int width) const
{
    return textRect(width).bottom() + 1 + kPad;
}

QSize TOvOutlineButton::sizeHint() const
{
    const int w = 100;
    return QSize(w, heightForWidth(width() > 0 ? width() : w));
}

QSize TOvOutlineButton::minimumSizeHint() const
{
    return QSize(iconSize().width() + 2 * kPad, heightForWidth(width() > 0 ? width() : 100));
}

void TOvOutlineButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QToolButton::enterEvent(event);
}

void TOvOutlineButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QToolButton::leaveEvent(event);
}

void TOvOutlineButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(2.5, 1.5, -2.5, -1.5);
    if (isEnabled() && (isDown() || m_hover || hasFocus())) {
        const QColor base(0x2f, 0x6d, 0xb5);
        QColor fill = base;
        fill.setAlpha(isDown() ? 70 : 34);
        QColor edge = base;
        edge.setAlpha(isDown() ? 160 : 110);
        p.setPen(QPen(edge, 1));
        p.setBrush(fill);
        p.drawRoundedRect(frame, 6, 6);
    }
    const QSize is = iconSize();
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QRect iconRect((width() - is.width()) / 2, kPad, is.width(), is.height());
    icon().paint(&p, iconRect, Qt::AlignCenter, mode);
    p.setPen(isEnabled() ? QColor(0x1e, 0x2a, 0x38) : QColor(0x98, 0xa0, 0xaa));
    p.drawText(textRect(width()), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());
}

TOvOutlineHeader::TOvOutlineHeader(QWidget *parent)
    : QToolButton(parent)
{
    setCheckable(true);
    setAutoExclusive(false);
    setAttribute(Qt::WA_Hover);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setBold(true);
    setFont(f);
}

QSize TOvOutlineHeader::sizeHint() const
{
    return QSize(80, qMax(fontMetrics().height(), iconSize().height()) + 10);
}

void TOvOutlineHeader::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (isChecked()) {
        g.setColorAt(0, QColor(0x4f, 0x82, 0xc0));
        g.setColorAt(1, QColor(0x2f, 0x6d, 0xb5));
    } else if (underMouse() && isEnabled()) {
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xdf, 0xe7, 0xf1));
    } else {
        g.setColorAt(0, QColor(0xf7, 0xf9, 0xfb));
        g.setColorAt(1, QColor(0xd5, 0xdd, 0xe7));
    }
    p.fillRect(r, g);
    p.setPen(isChecked() ? QColor(0x28, 0x5d, 0x9c) : QColor(0xa9, 0xb6, 0xc5));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.bottomLeft(), r.bottomRight());
    int x = 6;
    if (!icon().isNull()) {
        const QRect ir(x, (r.height() - iconSize().height()) / 2, iconSize().width(), iconSize().height());
        icon().paint(&p, ir, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        x += iconSize().width() + 6;
    }
    QColor text = isChecked() ? QColor(Qt::white) : QColor(0x1e, 0x2a, 0x38);
    if (!isEnabled())
        text = QColor(0x98, 0xa0, 0xaa);
    p.setPen(text);
    const QRect tr(x, 0, r.width() - x - 4, r.height());
    p.drawText(tr, Qt::AlignVCenter | Qt::AlignLeft, fontMetrics().elidedText(this->text(), Qt::ElideRight, tr.width()));
}

TOvOutlineBar::TOvOutlineBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("obMain"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xe9, 0xee, 0xf4));
    setPalette(pal);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1); // holds the headers together while no page is open
}

void TOvOutlineBar::clear()
{
    for (const Page &p : m_pages) {
        delete p.header;
        delete p.area;
    }
    m_pages.clear();
    m_current = -1;
}

int TOvOutlineBar::addPage(const QString &caption, const QIcon &icon, bool enabled)
{
    Page page;
    page.header = new TOvOutlineHeader(this);
    page.header->setText(caption);
    page.header->setIcon(icon);
    page.header->setEnabled(enabled);
    page.header->setToolTip(caption);
    page.area = new QScrollArea(this);
    page.area->setObjectName(QStringLiteral("obPageScroll"));
    page.area->setWidgetResizable(true);
    page.area->setFrameShape(QFrame::NoFrame);
    page.area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    page.area->viewport()->setAutoFillBackground(false);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("obPage"));
    content->setAutoFillBackground(false);
    page.column = new QVBoxLayout(content);
    page.column->setContentsMargins(4, 8, 4, 8);
    page.column->setSpacing(4);
    page.column->addStretch(1);
    page.area->setWidget(content);
    page.area->setVisible(false);

    const int index = int(m_pages.size());
    // Headers and areas go before the final stretch, in page order.
    const int at = m_layout->count() - 1;
    m_layout->insertWidget(at, page.header);
    m_layout->insertWidget(at + 1, page.area, 1);
    connect(page.header, &QToolButton::clicked, this, [this, index] { setCurrentPage(index); });
    m_pages << page;
    if (m_current < 0 && enabled)
        setCurrentPage(index);
    return index;
}

TOvOutlineButton *TOvOutlineBar::addButton(int page, QAction *action)
{
    if (page < 0 || page >= m_pages.size())
        return nullptr;
    QVBoxLayout *column = m_pages.at(page).column;
    auto *button = new TOvOutlineButton(column->parentWidget());
    button->setDefaultAction(action);
    column->insertWidget(column->count() - 1, button); // before the stretch
    return button;
}

QString TOvOutlineBar::pageCaption(int page) const
{
    return (page >= 0 && page < m_pages.size()) ? m_pages.at(page).header->text() : QString();
}

TOvOutlineHeader *TOvOutlineBar::pageHeader(int page) const
{
    return (page >= 0 && page < m_pages.size()) ? m_pages.at(page).header : nullptr;
}

QList<TOvOutlineButton *> TOvOutlineBar::buttons(int page) const
{
    QList<TOvOutlineButton *> list;
    if (page < 0 || page >= m_pages.size())
        return list;
    QVBoxLayout *column = m_pages.at(page).column;
    for (int i = 0; i < column->count(); ++i)
        if (auto *b = qobject_cast<TOvOutlineButton *>(column->itemAt(i)->widget()))
            list << b;
    return list;
}

void TOvOutlineBar::setCurrentPage(int page)
{
    if (page < 0 || page >= m_pages.size())
        return;
    m_current = page;
    for (int i = 0; i < m_pages.size(); ++i) {
        m_pages.at(i).header->setChecked(i == page);
        m_pages.at(i).area->setVisible(i == page);
    }
    // The final stretch only matters while no page is open.
    m_layout->setStretch(m_layout->count() - 1, 0);
    emit currentPageChanged(page);
}
