#pragma once
// The field codes of the key-value area of records C, D, G and H, and what
// each may hold, as the supply checker reads the published layout: its own
// table of codes and value kinds, kept apart from the record templates the
// program writes with, so that the check can tell when the templates are
// wrong. Every box of the CU model has the code "<section><row><box>"
// (DA002005 the payee's date of birth, DB001021 the IRPEF withheld); the
// dependants' rows are 601 (spouse), 602 (first child) and 603, 604, ... (the
// others, one row each).
//
// Values, 16 characters: texts, tax codes, provinces, letters and month
// series left-aligned; numbers, amounts ("1234,50"), dates (ddmmyyyy), years
// and check boxes ("1") right-aligned; zero and empty values are not written.
#include <QByteArray>
#include <QList>
#include <QString>

namespace VelSupplyFields {

enum class Kind : char {
    Text = 'A',        // left-aligned text, continued in further slots ("+...")
    TaxCode = 'F',     // 16-character personal code or 11 digits, valid
    Number = 'N',      // digits, right-aligned (codes of tables, counts)
    Amount = 'V',      // "1234,50", right-aligned, never zero
    Percent = 'T',     // an amount from 0,01 to 100,00
    PercentOrC = 'C',  // a percentage, or the letter "C" left-aligned
    Date = 'D',        // ddmmyyyy, a real day, right-aligned
    Year = 'Y',        // yyyy, right-aligned
    Box = 'B',         // "1", right-aligned
    Province = 'P',    // two letters ("EE": a state abroad)
    Sex = 'S',         // "M" or "F"
    Relation = 'L',    // a dependant's relationship: "F", "D", "A", "G", "P"
    Months = 'M',      // twelve "0"/"1", one a month, at least one "1"
    YearsMonths = 'Q', // years and months on two digits each ("0305")
    MonthYear = 'R',   // mmyyyy
    Phone = 'E',       // digits, left-aligned
};

struct Field
{
    Kind kind = Kind::Text;
    int max = 0;       // Number: the highest value (12 months, 366 days); 0: none
    bool hasAlternative = false;
    Kind alternative = Kind::Text; // a box two sections number alike
    int alternativeMax = 0;
};

// What a field code names; nullptr for a code the layout does not know.
const Field *field(const QByteArray &code);

// Why a value does not suit its field (16 characters as found; the first of
// a text's slots); empty when it does.
QString valueProblem(const QByteArray &code, const QByteArray &value);
// The same for the field a code names.
QString valueProblem(const Field &field, const QByteArray &value);

// Whether a byte may stand in a record: printable characters, upper case;
// otherwise why not.
QString byteProblem(unsigned char c);
// The index of the first byte byteProblem refuses; -1 when there is none.
qsizetype firstRefusedByte(QByteArrayView bytes);

} // namespace VelSupplyFields
