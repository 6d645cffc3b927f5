#include "platform/ui/framework/OvIcons.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

struct Stock
{
    OvGlyph glyph;
    QColor color;
};

const QHash<QString, Stock> &stockTable()
{
    static const QHash<QString, Stock> table = {
        {QStringLiteral("DATIANAGRAFICI"), {OvGlyph::Person, OvColors::Blue}},
        {QStringLiteral("MODELLI"), {OvGlyph::Document, OvColors::Teal}},
        {QStringLiteral("IMPORTMOD"), {OvGlyph::Import, OvColors::Green}},
        {QStringLiteral("FIRME"), {OvGlyph::Pen, OvColors::Purple}},
        {QStringLiteral("PARAMETRI"), {OvGlyph::Gear, OvColors::Slate}},
        {QStringLiteral("IMPEGNI"), {OvGlyph::Calendar, OvColors::Orange}},
        {QStringLiteral("ALUNNI"), {OvGlyph::People, OvColors::Blue}},
        {QStringLiteral("STAMPA"), {OvGlyph::Printer, OvColors::Teal}},
        {QStringLiteral("SALVA"), {OvGlyph::Disk, OvColors::Green}},
        {QStringLiteral("ANNULLA"), {OvGlyph::Cancel, OvColors::Red}},
        {QStringLiteral("NUOVO"), {OvGlyph::Plus, OvColors::Green}},
        {QStringLiteral("ELIMINA"), {OvGlyph::Minus, OvColors::Red}},
        {QStringLiteral("CERCA"), {OvGlyph::Search, OvColors::Slate}},
        {QStringLiteral("PRIMO"), {OvGlyph::First, OvColors::Slate}},
        {QStringLiteral("PRECEDENTE"), {OvGlyph::Prior, OvColors::Slate}},
        {QStringLiteral("SUCCESSIVO"), {OvGlyph::Next, OvColors::Slate}},
        {QStringLiteral("ULTIMO"), {OvGlyph::Last, OvColors::Slate}},
        {QStringLiteral("CONFERMA"), {OvGlyph::Check, OvColors::Green}},
        {QStringLiteral("AIUTO"), {OvGlyph::Help, OvColors::Blue}},
        {QStringLiteral("INFO"), {OvGlyph::Info, OvColors::Blue}},
        {QStringLiteral("CARTELLA"), {OvGlyph::Folder, OvColors::Orange}},
        {QStringLiteral("DOCUMENTO"), {OvGlyph::Document, OvColors::Slate}},
        {QStringLiteral("AGGIORNA"), {OvGlyph::Refresh, OvColors::Teal}},
    };
    return table;
}

// Glyphs are drawn in a 100 x 100 box.
void drawPerson(QPainter &p, double dx, double scale)
{
    p.save();
    p.translate(dx, 0);
    p.scale(scale, scale);
    p.drawEllipse(QRectF(38, 20, 24, 24));
    QPainterPath body;
    body.moveTo(24, 80);
    body.cubicTo(24, 52, 76, 52, 76, 80);
    body.closeSubpath();
    p.drawPath(body);
    p.restore();
}

void drawArrow(QPainter &p, bool right, bool bar)
{
    QPolygonF tri;
    if (right)
        tri << QPointF(36, 26) << QPointF(68, 50) << QPointF(36, 74);
    else
        tri << QPointF(64, 26) << QPointF(32, 50) << QPointF(64, 74);
    p.drawPolygon(tri);
    if (bar)
        p.drawRect(right ? QRectF(70, 26, 8, 48) : QRectF(22, 26, 8, 48));
}

// Text in the middle of the box: a letter, the question mark, the "i".
void drawCentredText(QPainter &p, const QString &family, int pixelSize, const QString &text)
{
    QFont f(family);
    f.setBold(true);
    f.setPixelSize(pixelSize);
    p.setFont(f);
    p.setPen(QColor(Qt::white));
    p.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, text);
}

void drawLetter(QPainter &p, const QString &letter)
{
    const QString t = letter.left(2).toUpper();
    drawCentredText(p, QStringLiteral("Sans"), t.size() > 1 ? 44 : 58, t);
}

void drawPeople(QPainter &p)
{
    const QColor white(Qt::white);
    p.setBrush(white.darker(115));
    drawPerson(p, 2, 0.8);
    p.setBrush(white);
    drawPerson(p, 28, 0.8);
}

void drawPrinter(QPainter &p, const QColor &color)
{
    p.drawRoundedRect(QRectF(18, 40, 64, 30), 6, 6);
    p.setBrush(color.lighter(170));
    p.drawRect(QRectF(32, 20, 36, 22));
    p.setBrush(QColor(Qt::white));
    p.drawRect(QRectF(32, 60, 36, 24));
    p.setPen(QPen(color, 4));
    p.drawLine(QPointF(38, 70), QPointF(62, 70));
    p.drawLine(QPointF(38, 77), QPointF(56, 77));
}

void drawDocument(QPainter &p, const QColor &color)
{
    QPainterPath doc;
    doc.moveTo(28, 16);
    doc.lineTo(60, 16);
    doc.lineTo(74, 30);
    doc.lineTo(74, 84);
    doc.lineTo(28, 84);
    doc.closeSubpath();
    p.drawPath(doc);
    p.setPen(QPen(color, 5, Qt::SolidLine, Qt::RoundCap));
    for (int y : {42, 54, 66})
        p.drawLine(QPointF(36, y), QPointF(66, y));
}

void drawImport(QPainter &p)
{
    p.setPen(QPen(QColor(Qt::white), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(50, 16), QPointF(50, 58));
    p.drawPolyline(QPolygonF() << QPointF(34, 44) << QPointF(50, 60) << QPointF(66, 44));
    p.drawPolyline(QPolygonF() << QPointF(20, 62) << QPointF(20, 80) << QPointF(80, 80) << QPointF(80, 62));
}

void drawPen(QPainter &p)
{
    p.save();
    p.translate(50, 46);
    p.rotate(45);
    p.drawRoundedRect(QRectF(-8, -34, 16, 48), 3, 3);
    QPolygonF tip;
    tip << QPointF(-8, 16) << QPointF(8, 16) << QPointF(0, 30);
    p.drawPolygon(tip);
    p.restore();
    p.setPen(QPen(QColor(Qt::white), 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath wave;
    wave.moveTo(18, 84);
    wave.cubicTo(30, 72, 36, 92, 48, 82);
    wave.cubicTo(58, 74, 62, 88, 82, 82);
    p.drawPath(wave);
}

void drawGear(QPainter &p, const QColor &color)
{
    p.save();
    p.translate(50, 50);
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-7, -36, 14, 20), 3, 3);
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 24, 24);
    p.setBrush(color);
    p.drawEllipse(QPointF(0, 0), 10, 10);
    p.restore();
}

void drawCalendar(QPainter &p, const QColor &color)
{
    p.drawRoundedRect(QRectF(18, 22, 64, 60), 6, 6);
    p.setBrush(color.darker(130));
    p.drawRect(QRectF(18, 34, 64, 4));
    p.setBrush(color);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            p.drawRect(QRectF(25 + c * 14, 44 + r * 12, 8, 7));
    p.setBrush(QColor(Qt::white));
    p.drawRoundedRect(QRectF(30, 14, 7, 16), 3, 3);
    p.drawRoundedRect(QRectF(63, 14, 7, 16), 3, 3);
}

void drawFolder(QPainter &p, const QColor &color)
{
    QPainterPath f;
    f.moveTo(16, 28);
    f.lineTo(40, 28);
    f.lineTo(46, 36);
    f.lineTo(84, 36);
    f.lineTo(84, 78);
    f.lineTo(16, 78);
    f.closeSubpath();
    p.drawPath(f);
    p.setBrush(color.lighter(150));
    p.drawRect(QRectF(16, 44, 68, 4));
}

void drawDisk(QPainter &p, const QColor &color)
{
    p.drawRoundedRect(QRectF(18, 18, 64, 64), 6, 6);
    p.setBrush(color);
    p.drawRect(QRectF(30, 18, 40, 22));
    p.setBrush(QColor(Qt::white));
    p.drawRect(QRectF(56, 22, 8, 14));
    p.setBrush(color.lighter(140));
    p.drawRect(QRectF(28, 52, 44, 26));
}

// Strokes of a broad white pen: the cross, plus and minus.
void drawStrokes(QPainter &p, std::initializer_list<QLineF> strokes)
{
    p.setPen(QPen(QColor(Qt::white), 12, Qt::SolidLine, Qt::RoundCap));
    for (const QLineF &l : strokes)
        p.drawLine(l);
}

void drawSearch(QPainter &p)
{
    const QColor white(Qt::white);
    p.setPen(QPen(white, 9, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(44, 44), 18, 18);
    p.setPen(QPen(white, 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(58, 58), QPointF(76, 76));
}

void drawCheck(QPainter &p)
{
    p.setPen(QPen(QColor(Qt::white), 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(26, 52) << QPointF(44, 70) << QPointF(76, 32));
}

void drawRefresh(QPainter &p)
{
    const QColor white(Qt::white);
    p.setPen(QPen(white, 9, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(26, 26, 48, 48), 90 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(white);
    p.drawPolygon(QPolygonF() << QPointF(46, 14) << QPointF(62, 26) << QPointF(46, 38));
}

// Each glyph starts with no pen and a white brush.
void drawGlyph(QPainter &p, OvGlyph glyph, const QColor &color, const QString &letter)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Qt::white));
    switch (glyph) {
    case OvGlyph::Letter: drawLetter(p, letter); break;
    case OvGlyph::Person: drawPerson(p, 0, 1.0); break;
    case OvGlyph::People: drawPeople(p); break;
    case OvGlyph::Document: drawDocument(p, color); break;
    case OvGlyph::Printer: drawPrinter(p, color); break;
    case OvGlyph::Import: drawImport(p); break;
    case OvGlyph::Pen: drawPen(p); break;
    case OvGlyph::Gear: drawGear(p, color); break;
    case OvGlyph::Calendar: drawCalendar(p, color); break;
    case OvGlyph::Folder: drawFolder(p, color); break;
    case OvGlyph::Disk: drawDisk(p, color); break;
    case OvGlyph::Cancel: drawStrokes(p, {QLineF(30, 30, 70, 70), QLineF(70, 30, 30, 70)}); break;
    case OvGlyph::Plus: drawStrokes(p, {QLineF(50, 26, 50, 74), QLineF(26, 50, 74, 50)}); break;
    case OvGlyph::Minus: drawStrokes(p, {QLineF(26, 50, 74, 50)}); break;
    case OvGlyph::Search: drawSearch(p); break;
    case OvGlyph::First: drawArrow(p, false, true); break;
    case OvGlyph::Prior: drawArrow(p, false, false); break;
    case OvGlyph::Next: drawArrow(p, true, false); break;
    case OvGlyph::Last: drawArrow(p, true, true); break;
    case OvGlyph::Check: drawCheck(p); break;
    case OvGlyph::Refresh: drawRefresh(p); break;
    case OvGlyph::Help: drawCentredText(p, QStringLiteral("Serif"), 64, QStringLiteral("?")); break;
    case OvGlyph::Info: drawCentredText(p, QStringLiteral("Serif"), 64, QStringLiteral("i")); break;
    }
}

} // namespace

QPixmap ovMakePixmap(OvGlyph glyph, const QColor &color, int size, const QString &letter)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 100.0, size / 100.0);
    QLinearGradient g(0, 0, 0, 100);
    g.setColorAt(0, color.lighter(125));
    g.setColorAt(1, color.darker(110));
    p.setPen(QPen(color.darker(135), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, 94, 94), 20, 20);
    drawGlyph(p, glyph, color, letter);
    return pm;
}

QIcon ovMakeIcon(OvGlyph glyph, const QColor &color, const QString &letter)
{
    QIcon icon;
    for (int size : {16, 20, 24, 32, 40, 48, 64})
        icon.addPixmap(ovMakePixmap(glyph, color, size, letter));
    return icon;
}

bool ovIsStockIcon(const QString &name)
{
    return stockTable().contains(name.toUpper());
}

QIcon ovStockIcon(const QString &name)
{
    const auto it = stockTable().constFind(name.toUpper());
    if (it != stockTable().constEnd())
        return ovMakeIcon(it->glyph, it->color);
    static const QColor palette[] = {OvColors::Blue, OvColors::Green, OvColors::Orange, OvColors::Purple,
                                     OvColors::Teal, OvColors::Red, OvColors::Slate};
    const QColor c = palette[qHash(name.toUpper()) % (sizeof palette / sizeof palette[0])];
    return ovMakeIcon(OvGlyph::Letter, c, name.trimmed().isEmpty() ? QStringLiteral("?") : name.trimmed().left(1));
}

int TOvImageList::add(const QIcon &icon)
{
    m_icons << icon;
    return int(m_icons.size()) - 1;
}

int TOvImageList::addNamed(const QString &name)
{
    return add(ovStockIcon(name));
}

QIcon TOvImageList::icon(int index) const
{
    if (index < 0 || index >= m_icons.size())
        return {};
    return m_icons.at(index);
}
