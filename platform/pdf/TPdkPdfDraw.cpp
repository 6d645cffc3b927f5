// The PDF workspace's drawing: text size, font and colours, texts (plain,
// rotated, aligned in a box), boxes and lines on the selected page.
#include "platform/pdf/TPdkPdf.h"
#include "platform/pdf/PdkDocument.h"
#include "platform/pdf/PdkFontMetrics.h"

#include <cmath>

using namespace pdkinternal;
using namespace PdkContent;

// ---- drawing ----

int TPdkPdf::SetTextSize(double points)
{
    if (!(points > 0) || points > 1000)
        return d->fail(QStringLiteral("Dimensione del testo non valida: %1").arg(points));
    m_textSize = points;
    return 1;
}

int TPdkPdf::SelectFont(TPdkFont font)
{
    d->font = font;
    return 1;
}

static bool validColor(double r, double g, double b)
{
    return r >= 0 && r <= 1 && g >= 0 && g <= 1 && b >= 0 && b <= 1;
}

int TPdkPdf::SetTextColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->textColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetLineColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->lineColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetFillColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->fillColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetLineWidth(double width)
{
    if (!(width >= 0))
        return d->fail(QStringLiteral("Spessore della linea non valido"));
    d->lineWidth = width * d->unit;
    return 1;
}

int TPdkPdf::DrawText(double x, double y, const QString &text)
{
    return DrawRotatedText(x, y, 0.0, text);
}

int TPdkPdf::DrawRotatedText(double x, double y, double angle, const QString &text)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(angle))
        return d->fail(QStringLiteral("Coordinate non valide"));
    const std::string bytes = toWinAnsi(text);
    if (bytes.empty())
        return 1;
    std::string &o = p->ops;
    const bool colored = !d->textColor.isBlack();
    if (colored)
        o += "q ";
    o += "BT ";
    o += fontResource(d->font);
    o += ' ';
    appendNumber(o, m_textSize);
    o += " Tf ";
    if (colored)
        appendColor(o, d->textColor, "rg");
    const double tx = d->px(*p, x);
    const double ty = d->py(*p, y);
    if (angle == 0.0) {
        appendNumber(o, tx);
        o += ' ';
        appendNumber(o, ty);
        o += " Td ";
    } else {
        const double rad = angle * M_PI / 180.0;
        const double c = std::cos(rad), s = std::sin(rad);
        for (double v : {c, s, -s, c, tx, ty}) {
            appendNumber(o, v);
            o += ' ';
        }
        o += "Tm ";
    }
    appendPdfString(o, bytes);
    o += colored ? " Tj ET Q\n" : " Tj ET\n";
    return 1;
}

int TPdkPdf::DrawBox(double left, double top, double width, double height, int options)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    if (options < 0 || options > 2 || !std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width)
        || !std::isfinite(height))
        return d->fail(QStringLiteral("Rettangolo non valido"));
    const double x = d->px(*p, left);
    const double yTop = d->py(*p, top);
    const double w = width * d->unit;
    const double h = height * d->unit;
    std::string &o = p->ops;
    o += "q ";
    appendNumber(o, d->lineWidth);
    o += " w ";
    appendColor(o, d->lineColor, "RG");
    appendColor(o, d->fillColor, "rg");
    appendNumber(o, x);
    o += ' ';
    appendNumber(o, yTop - h);
    o += ' ';
    appendNumber(o, w);
    o += ' ';
    appendNumber(o, h);
    o += options == 0 ? " re S Q\n" : options == 1 ? " re f Q\n" : " re B Q\n";
    return 1;
}

int TPdkPdf::DrawLine(double x1, double y1, double x2, double y2)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    std::string &o = p->ops;
    o += "q ";
    appendNumber(o, d->lineWidth);
    o += " w ";
    appendColor(o, d->lineColor, "RG");
    appendNumber(o, d->px(*p, x1));
    o += ' ';
    appendNumber(o, d->py(*p, y1));
    o += " m ";
    appendNumber(o, d->px(*p, x2));
    o += ' ';
    appendNumber(o, d->py(*p, y2));
    o += " l S Q\n";
    return 1;
}

double TPdkPdf::GetTextWidth(const QString &text) const
{
    return PdkFontMetrics::of(d->font).width(toWinAnsi(text)) * m_textSize / 1000.0 / d->unit;
}

int TPdkPdf::OvDrawText(int x, int y, const QString &text, double width, TPdkAlign align)
{
    double left = x;
    if (align != TPdkAlign::Left && !text.isEmpty()) {
        const double w = GetTextWidth(text);
        left = align == TPdkAlign::Right ? x + width - w : x + (width - w) / 2.0;
    }
    return DrawText(left, y, text);
}

TPdkAlign TPdkPdf::alignmentFromText(const QString &alignment)
{
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TACENTER"))
        return TPdkAlign::Center;
    if (a == QLatin1String("TARIGHTJUSTIFY"))
        return TPdkAlign::Right;
    return TPdkAlign::Left;
}
