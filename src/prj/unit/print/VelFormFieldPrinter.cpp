#include "src/prj/unit/print/VelFormFieldPrinter.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/print/VelPrintFormat.h"
#include "tor/calc/TorUCalcoli.h"

namespace {

const QString kZeroDate = QStringLiteral("0.00.00");

// A value's text as the dataset shows it ("1234.5000", "31/01/2025", "X").
QString valueString(const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (value.canConvert<Currency>() && value.userType() == qMetaTypeId<Currency>())
        return value.value<Currency>().toString();
    if (value.userType() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    return value.toString();
}

Currency valueAmount(const QVariant &value, const QString &text)
{
    if (value.userType() == qMetaTypeId<Currency>())
        return value.value<Currency>();
    if (text.trimmed().isEmpty())
        return Currency();
    return VelPrintFormat::toNumber(text);
}

// A date value as "dd/mm/yyyy" when it reads as a date; as given otherwise.
QString dateText(const QString &text)
{
    const std::optional<QDate> d = VelPrintFormat::parseDate(text);
    return d ? d->toString(QStringLiteral("dd/MM/yyyy")) : text;
}

} // namespace

double TVelFormFieldPrinter::spaceWidth(const QString &space)
{
    bool ok = false;
    double w = space.trimmed().toDouble(&ok);
    if (!ok)
        w = QString(space.trimmed()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(w) ? w : 0.0;
}

bool TVelFormFieldPrinter::fitTextSize(TPdkPdf &pdf, const QString &text, double width)
{
    constexpr double kSmallestSize = 5.0;
    while (width > 0 && pdf.TextSize() > kSmallestSize && pdf.GetTextWidth(text) > width) {
        if (!pdf.SetTextSize(std::max(kSmallestSize, pdf.TextSize() - 0.5)))
            return false;
    }
    return true;
}

void TVelFormFieldPrinter::DrawField(const QString &text, int x, int y, int size, const QString &alignment,
                                     const QString &space)
{
    m_pdf.SetLastOperation(QStringLiteral("Scrivi testo: ") + text);
    m_pdf.Check(m_pdf.SetTextSize(size));
    const double width = spaceWidth(space);
    m_pdf.Check(fitTextSize(m_pdf, text, width));
    m_pdf.Check(m_pdf.OvDrawText(x, y, text, width, TPdkPdf::alignmentFromText(alignment)));
}

void TVelFormFieldPrinter::DrawDate(const QString &text, int x, int y, int size, int gap1, int gap2,
                                    const QString &alignment)
{
    const QString printed = text.mid(0, 2) + QString(gap1, QLatin1Char(' ')) + text.mid(3, 2)
                            + QString(gap2, QLatin1Char(' ')) + text.mid(6, 4);
    DrawField(printed, x, y, size, alignment, QStringLiteral("0"));
}

void TVelFormFieldPrinter::DrawDayMonth(const QString &text, int x, int y, int size, int gap1, int /*gap2*/)
{
    DrawField(text.mid(0, 2) + QString(gap1, QLatin1Char(' ')) + text.mid(3, 2), x, y, size, QString(),
              QStringLiteral("0"));
}

QString TVelFormFieldPrinter::printedText(const QString &alignment, const QString &format, const QVariant &value)
{
    if (value.isNull())
        return QString();
    const QString text = valueString(value);
    if (text == QLatin1String("0"))
        return QString();
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TARIGHTJUSTIFY")) {
        Currency amount = valueAmount(value, text);
        if (format.compare(QLatin1String("Round"), Qt::CaseInsensitive) == 0)
            amount = TTorCalcola::round(amount, 0);
        const QString s = VelPrintFormat::amountText(amount);
        return s == QLatin1String("0,00") ? QString() : s;
    }
    if (a == QLatin1String("TADATA") || a == QLatin1String("TADATAGGMM"))
        return (text == kZeroDate || text.trimmed().isEmpty()) ? QString() : dateText(text);
    if (a == QLatin1String("TACHECKBOX"))
        return text == QLatin1String("1") ? QStringLiteral("X") : QString();
    return text;
}

void TVelFormFieldPrinter::printText(const QString &alignment, const QString &space, const QString &text, int x,
                                     int y, int size)
{
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TADATA"))
        DrawDate(text, x, y, size, m_gap1, m_gap2);
    else if (a == QLatin1String("TADATAGGMM"))
        DrawDayMonth(text, x, y, size, m_gap1, m_gap2);
    else if (a == QLatin1String("TACHECKBOX"))
        DrawField(text, x, y, size, QString(), space);
    else
        DrawField(text, x, y, size, alignment, space);
}

void TVelFormFieldPrinter::printEdit(const TXMLCudEdit &edit, const QVariant &value)
{
    const TXMLCudPrintRect rect = edit.PrintRect();
    const QString alignment = edit.Alignment();
    const QString text = printedText(alignment, rect.Format(), value);
    if (text.isEmpty())
        return;
    printText(alignment, edit.Space(), text, rect.Left(), rect.Top(), rect.Height());
}

TVelFormFieldPrinter::SectionPlaces &TVelFormFieldPrinter::placesOf(const TXMLCudSection &section)
{
    for (SectionPlaces &s : m_sections) {
        if (s.element == section.element())
            return s;
    }
    SectionPlaces s;
    s.element = section.element();
    const int count = section.Count();
    for (int i = 0; i < count; ++i) {
        const TXMLCudEdit edit = section.Edit(i);
        const TXMLCudPrintRect rect = edit.PrintRect();
        Place p;
        p.name = edit.Name();
        p.alignment = edit.Alignment();
        p.space = edit.Space();
        p.format = rect.Format();
        p.left = rect.Left();
        p.top = rect.Top();
        p.height = rect.Height();
        s.places.append(p);
    }
    m_sections.append(s);
    return m_sections.last();
}

void TVelFormFieldPrinter::printSection(const TXMLCudSection &section, TClientDataSet &dataSet)
{
    SectionPlaces &s = placesOf(section);
    if (s.dataSet != &dataSet || s.fieldCount != dataSet.fieldCount()) {
        for (Place &p : s.places)
            p.field = dataSet.fieldByName(p.name).index(); // raises for an unknown name
        s.dataSet = &dataSet;
        s.fieldCount = dataSet.fieldCount();
    }
    for (const Place &p : s.places) {
        const QString text = printedText(p.alignment, p.format, dataSet.field(p.field).value());
        if (!text.isEmpty())
            printText(p.alignment, p.space, text, p.left, p.top, p.height);
    }
}
