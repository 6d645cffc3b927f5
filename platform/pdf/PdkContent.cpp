#include "platform/pdf/PdkContent.h"

#include <cmath>
#include <cstdio>

namespace PdkContent {

const char *fontResource(TPdkFont font)
{
    return font == TPdkFont::HelveticaBold ? "/VelF2" : "/VelF1";
}

void appendNumber(std::string &out, double v)
{
    if (std::fabs(v) < 0.0005)
        v = 0.0;
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "%.3f", v);
    while (n > 0 && buf[n - 1] == '0')
        --n;
    if (n > 0 && buf[n - 1] == '.')
        --n;
    out.append(buf, size_t(n));
}

void appendPdfString(std::string &out, const std::string &bytes)
{
    out += '(';
    for (char c : bytes) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    out += ')';
}

void appendColor(std::string &out, const Rgb &c, const char *op)
{
    appendNumber(out, c.r);
    out += ' ';
    appendNumber(out, c.g);
    out += ' ';
    appendNumber(out, c.b);
    out += ' ';
    out += op;
    out += ' ';
}

} // namespace PdkContent
