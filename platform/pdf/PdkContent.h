#pragma once
// The operands of a page's content stream as the PDF workspace writes them:
// numbers, strings, colours and the names of its two fonts.
#include "platform/pdf/TPdkPdf.h"

#include <string>

namespace PdkContent {

// The font resource names the workspace uses on every page it draws on.
const char *fontResource(TPdkFont font);

// A number as a PDF operand: at most three decimals, no trailing zeros.
void appendNumber(std::string &out, double v);

// A string operand: the bytes in parentheses, "(", ")" and "\\" escaped.
void appendPdfString(std::string &out, const std::string &bytes);

struct Rgb
{
    double r = 0, g = 0, b = 0;
    bool isBlack() const { return r == 0 && g == 0 && b == 0; }
};

// "r g b <op> " (op "rg" for filling, "RG" for stroking).
void appendColor(std::string &out, const Rgb &c, const char *op);

} // namespace PdkContent
