#pragma once
// Widths of the standard Helvetica fonts, for aligning text the way a viewer
// will draw it. The widths come from the metric-compatible URW Nimbus Sans AFM
// files, read at run time the first time a width is asked for. Glyphs are
// looked up by name: the accented letters and the euro sign are unencoded in
// those files, so a WinAnsi code is first turned into its glyph name.
#include <QString>

#include <array>
#include <string>

enum class TPdkFont {
    Helvetica,     // /Helvetica
    HelveticaBold, // /Helvetica-Bold
};

class PdkFontMetrics
{
public:
    // The metrics of a font, loaded once. A missing or unreadable AFM file
    // raises EOvError naming the file and the package that ships it.
    static const PdkFontMetrics &of(TPdkFont font);

    // Width of WinAnsi-encoded text in thousandths of the text size.
    double width(const std::string &winAnsi) const;
    // Width of one WinAnsi code in thousandths of the text size.
    int width(unsigned char code) const { return m_widths[code]; }

    // The glyph name of a WinAnsi code ("" for codes without a glyph).
    static const char *glyphName(unsigned char code);
    // The AFM file read for a font, searched in the usual folders (only in the
    // folder named by VELCU_FONT_METRICS_DIR when that is set).
    static QString metricsFile(TPdkFont font);

private:
    explicit PdkFontMetrics(TPdkFont font);
    std::array<int, 256> m_widths{};
};
