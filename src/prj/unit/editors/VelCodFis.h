#pragma once
// The check character of an Italian tax code, shown beside the tax-code boxes
// of the agents' editors. A wrong code is never refused (the office may know
// better, and an omocode or a foreign code is legitimate): it is only marked.
#include <QString>

namespace VelCodFis {

// Empty when the code is empty or sound; otherwise a short Italian note:
// a 16-character personal code whose check letter is wrong, an 11-digit
// number whose check digit is wrong, or a length that is neither.
QString problem(const QString &code);

// The check letter of the first 15 characters of a personal code; a null
// QChar when they are not letters and digits.
QChar personalCheck(const QString &first15);

// The check digit of the first 10 digits of a numeric code; -1 when they are
// not 10 digits.
int numericCheck(const QString &first10);

} // namespace VelCodFis
