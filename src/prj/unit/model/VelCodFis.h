#pragma once
// The Italian tax code and its check character, one check for the whole
// program: the agents' editors mark a doubtful code beside its box (never
// refusing it: the office may know better), the telematic supply refuses to be
// written with an invalid code where it names who files it.
//
// A tax code is either the 11 digits of a company or entity, the last one a
// check digit, or the 16 characters of a person (six letters, the year and
// day digits, which may be replaced by the letters L-V, month and municipality
// letters), the last one a check letter.
#include <QChar>
#include <QString>

namespace VelCodFis {

// 11 digits with a valid check digit, not all zeros (eleven zeros pass the
// check digit but are nobody's code).
bool isValidNumeric(const QString &code);
// 16 upper-case characters in the personal layout with a valid check letter.
bool isValidPersonal(const QString &code);
// Either of the two.
bool isValid(const QString &code);

// Empty when the code is empty or sound; otherwise a short Italian note:
// a 16-character personal code whose check letter is wrong or whose
// characters are not a personal code's, an 11-digit number whose check digit
// is wrong, or a length that is neither. Case and surrounding blanks do not
// matter.
QString problem(const QString &code);

// The check letter of the first 15 characters of a personal code; a null
// QChar when they are not letters and digits.
QChar personalCheck(const QString &first15);

// The check digit of the first 10 digits of a numeric code; -1 when they are
// not 10 digits.
int numericCheck(const QString &first10);

} // namespace VelCodFis
