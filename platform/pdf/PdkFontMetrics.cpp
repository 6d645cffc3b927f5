#include "platform/pdf/PdkFontMetrics.h"

#include "platform/core/OvExceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <memory>

namespace {

// WinAnsiEncoding (PDF reference, appendix D): code -> glyph name.
const char *const kWinAnsiGlyphs[256] = {
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",
    "zero", "one", "two", "three", "four", "five", "six", "seven",
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question",
    "at", "A", "B", "C", "D", "E", "F", "G",
    "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W",
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore",
    "grave", "a", "b", "c", "d", "e", "f", "g",
    "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w",
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", "",
    "Euro", "", "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl",
    "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", "", "Zcaron", "",
    "", "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash", "emdash",
    "tilde", "trademark", "scaron", "guilsinglright", "oe", "", "zcaron", "Ydieresis",
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section",
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen", "registered", "macron",
    "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu", "paragraph", "periodcentered",
    "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter", "onehalf", "threequarters", "questiondown",
    "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis", "Aring", "AE", "Ccedilla",
    "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis",
    "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply",
    "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls",
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla",
    "egrave", "eacute", "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis",
    "eth", "ntilde", "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide",
    "oslash", "ugrave", "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis",
};

QString afmName(TPdkFont font)
{
    return font == TPdkFont::HelveticaBold ? QStringLiteral("NimbusSans-Bold.afm")
                                           : QStringLiteral("NimbusSans-Regular.afm");
}

QStringList metricsFolders()
{
    // A folder named in the environment is the only one searched.
    const QString env = qEnvironmentVariable("VELCU_FONT_METRICS_DIR");
    if (!env.isEmpty())
        return {env};
    QStringList dirs;
    dirs << QStringLiteral("/usr/share/fonts/type1/urw-base35") << QStringLiteral("/usr/share/fonts/urw-base35")
         << QStringLiteral("/usr/share/fonts/type1/urw-fonts");
    return dirs;
}

} // namespace

const char *PdkFontMetrics::glyphName(unsigned char code)
{
    return kWinAnsiGlyphs[code];
}

QString PdkFontMetrics::metricsFile(TPdkFont font)
{
    const QStringList dirs = metricsFolders();
    for (const QString &dir : dirs) {
        const QString path = QDir(dir).filePath(afmName(font));
        if (QFileInfo::exists(path))
            return path;
    }
    return QDir(dirs.constFirst()).filePath(afmName(font));
}

PdkFontMetrics::PdkFontMetrics(TPdkFont font)
{
    const QString path = metricsFile(font);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EOvError(QStringLiteral("Impossibile leggere le metriche del carattere Helvetica: manca il file "
                                      "\"%1\" (pacchetto fonts-urw-base35).")
                           .arg(path));
    // "C 32 ; WX 278 ; N space ; B ..." -> name -> width
    QHash<QByteArray, int> byName;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.startsWith("C "))
            continue;
        int wx = -1;
        QByteArray name;
        for (const QByteArray &part : line.split(';')) {
            const QByteArray p = part.trimmed();
            if (p.startsWith("WX "))
                wx = p.mid(3).trimmed().toInt();
            else if (p.startsWith("N "))
                name = p.mid(2).trimmed();
        }
        if (wx >= 0 && !name.isEmpty())
            byName.insert(name, wx);
    }
    if (!byName.contains("space") || !byName.contains("zero"))
        throw EOvError(QStringLiteral("Il file delle metriche \"%1\" non è un file AFM valido.").arg(path));
    for (int c = 0; c < 256; ++c) {
        const char *glyph = kWinAnsiGlyphs[c];
        m_widths[c] = (glyph[0] != '\0') ? byName.value(QByteArray(glyph), 0) : 0;
    }
}

const PdkFontMetrics &PdkFontMetrics::of(TPdkFont font)
{
    // Loaded once; a failed load is tried again next time (the message tells
    // how to fix it, and the fix may come while the program runs).
    static std::unique_ptr<PdkFontMetrics> loaded[2];
    std::unique_ptr<PdkFontMetrics> &slot = loaded[font == TPdkFont::HelveticaBold ? 1 : 0];
    if (!slot)
        slot.reset(new PdkFontMetrics(font));
    return *slot;
}

double PdkFontMetrics::width(const std::string &winAnsi) const
{
    long total = 0;
    for (unsigned char c : winAnsi)
        total += m_widths[c];
    return double(total);
}
