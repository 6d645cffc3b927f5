#pragma once
// The words of a produced PDF as `pdftotext -bbox` reads them, in millimetres
// from the top-left corner, and the checks the print tests make on them.
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
};
using Page = QList<Word>;

// unit: the words' coordinates are divided by it (millimetres by default, 1 for points)
inline QList<Page> read(const QString &pdf, double unit = kMm)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Page> pages;
    const QStringList parts = QString::fromUtf8(p.readAllStandardOutput()).split(QStringLiteral("<page "));
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
                         m.captured(3).toDouble() / unit, m.captured(4).toDouble() / unit});
        }
        pages.append(page);
    }
    return pages;
}

// A word starting near x whose baseline is near y (size in points).
inline bool at(const Page &page, const QString &text, double x, double y, double size)
{
    const double rise = 0.207 * size / kMm;
    for (const Word &w : page) {
        if (w.text == text && qAbs(w.xMin - x) < 1.0 && qAbs(w.yMax - rise - y) < 1.0)
            return true;
    }
    return false;
}

// A word whose baseline is near y, wherever it starts (right-aligned amounts).
inline bool onLine(const Page &page, const QString &text, double y, double size)
{
    const double rise = 0.207 * size / kMm;
    for (const Word &w : page) {
        if (w.text == text && qAbs(w.yMax - rise - y) < 1.0)
            return true;
    }
    return false;
}

inline bool has(const Page &page, const QString &text)
{
    for (const Word &w : page)
        if (w.text == text)
            return true;
    return false;
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
