#pragma once
// The words of a produced PDF as `pdftotext -bbox` reads them, in millimetres
// (or points) from the top-left corner, its plain text, and the checks the
// print tests make on them.
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QtGlobal>

namespace PdfWords {

constexpr double kMm = 72.0 / 25.4;

struct Word
{
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double unit = kMm; // points a unit of the coordinates
    // Where the text of `size` points stands: its box's bottom less the descent.
    double baseline(double size) const { return yMax - 0.207 * size / unit; }
};
using Page = QList<Word>;

// What pdftotext writes for pages first to last (all when 0) with `options`.
inline QString pdftotext(const QString &pdf, QStringList options, int first = 0, int last = 0)
{
    if (first > 0)
        options << QStringLiteral("-f") << QString::number(first) << QStringLiteral("-l") << QString::number(last);
    QProcess p;
    p.start(QStringLiteral("pdftotext"), options << pdf << QStringLiteral("-"));
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// unit: the words' coordinates are divided by it (millimetres by default, 1 for
// points); first and last (1-based) read only those pages.
inline QList<Page> read(const QString &pdf, double unit = kMm, int first = 0, int last = 0)
{
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Page> pages;
    const QStringList parts = pdftotext(pdf, {QStringLiteral("-bbox")}, first, last).split(QStringLiteral("<page "));
    for (int i = 1; i < parts.size(); ++i) {
        Page page;
        for (auto it = re.globalMatch(parts.at(i)); it.hasNext();) {
            const auto m = it.next();
            QString text = m.captured(5);
            text.replace(QStringLiteral("&apos;"), QStringLiteral("'"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            page.append({text, m.captured(1).toDouble() / unit, m.captured(2).toDouble() / unit,
                         m.captured(3).toDouble() / unit, m.captured(4).toDouble() / unit, unit});
        }
        pages.append(page);
    }
    return pages;
}

// Page n (1-based) alone; empty when the document has fewer pages.
inline Page page(const QString &pdf, int n, double unit = kMm)
{
    return read(pdf, unit, n, n).value(0);
}

// The text of pages first to last (all when 0), its blanks collapsed.
inline QString plainText(const QString &pdf, int first = 0, int last = 0)
{
    return pdftotext(pdf, {}, first, last).simplified();
}

// A word starting near x whose baseline is near y (size in points).
inline bool at(const Page &page, const QString &text, double x, double y, double size)
{
    for (const Word &w : page) {
        if (w.text == text && qAbs(w.xMin - x) < 1.0 && qAbs(w.baseline(size) - y) < 1.0)
            return true;
    }
    return false;
}

// A word whose baseline is near y, wherever it starts (right-aligned amounts).
inline bool onLine(const Page &page, const QString &text, double y, double size)
{
    for (const Word &w : page) {
        if (w.text == text && qAbs(w.baseline(size) - y) < 1.0)
            return true;
    }
    return false;
}

// The first word that reads `text`; null when none does.
inline const Word *find(const Page &page, const QString &text)
{
    for (const Word &w : page)
        if (w.text == text)
            return &w;
    return nullptr;
}

inline bool has(const Page &page, const QString &text)
{
    return find(page, text) != nullptr;
}

// Every word that reads `text`, in the page's order.
inline QList<Word> all(const Page &page, const QString &text)
{
    QList<Word> out;
    for (const Word &w : page)
        if (w.text == text)
            out.append(w);
    return out;
}

// Whether the page holds the words of a phrase one after the other.
inline bool hasPhrase(const Page &page, const QString &phrase)
{
    const QStringList words = phrase.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + words.size() <= page.size(); ++i) {
        bool all = true;
        for (qsizetype k = 0; k < words.size() && all; ++k)
            all = page.at(i + k).text == words.at(k);
        if (all)
            return true;
    }
    return false;
}

} // namespace PdfWords
