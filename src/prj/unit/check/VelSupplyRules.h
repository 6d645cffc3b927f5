#pragma once
// What a value of the supply means, beyond its shape: the one table of rules
// read by the supply's pre-check (the values in the store), by the supply
// checker (the values in the file) and by the editors and `velcu-cli
// sostituto --imposta` (a value as the office types it). A rule has an id, a
// level (an error the agency would refuse, or a warning the office confirms),
// the supply's field codes or positions it reads, the store's columns it
// reads, and where the office corrects it.
//
//   if (const QString why = VelSupplyRules::checkColumn("SSOSCAP", "4812"); !why.isEmpty())
//       ... // "il CAP ha cinque cifre"
//
// The rules between two values (a tax code against the birth date, the
// dependants' codes against the payee's, the withholding against income and
// gross tax, the records of a certification) are in the table with their id
// and level; their checks are the functions below, called by each reader
// with the values it has.
#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

struct TRagSource;

namespace VelSupplyRules {

enum class Level { Error, Warning };

struct Rule
{
    const char *id;
    Level level;
    const char *what;          // what the rule asks, Italian (the docs' list)
    QStringList codes;         // the supply's field codes or "B311"-style positions it reads
    QStringList columns;       // the store's columns it reads (upper case)
    QString (*check)(const QString &value) = nullptr; // one value alone; null for a rule between values
    const char *where = "";    // where the office corrects it
};

// Every rule, in the order the docs list them.
const QList<Rule> &rules();
// The rule of an id; a rule of that id must exist.
const Rule &rule(const char *id);
// The one-value rules that read a field code, a record position ("B327") or a
// store column (upper case); empty when none does.
QList<const Rule *> forCode(const QString &code);
QList<const Rule *> forColumn(const QString &column);
// The first rule a typed value of a store column breaks: its reason, empty
// when it keeps them all (or when no rule reads the column). Blank values
// are left to the mandatory-field check.
QString checkColumn(const QString &column, const QString &value);

// ---- one value (empty: sound; else the reason, Italian)
QString taxCode(const QString &code);          // length, characters, check character
QString personalTaxCode(const QString &code);  // a person's 16 characters only
QString province(const QString &sigla);        // one of the Italian provinces
QString birthProvince(const QString &sigla);   // a province, or "EE" for a state abroad
QString cap(const QString &cap);               // five digits
QString municipalityCode(const QString &code); // an Italian cadastral code of the territory table
QString chargeCode(const QString &code);       // 1-15 of the model's table of charges
QString earlierSubmission(const QString &id);  // the protocol's identifier: 17 digits
QString earlierProgressive(const QString &p);  // the protocol's progressive: 6 digits
QString supplierType(const QString &type);     // "01" or "10"
QString amountCents(qint64 cents);             // never negative

// The provinces' two-letter codes (the 107 current ones).
const QSet<QString> &provinces();
// The territory table's cadastral codes, where a reader has it (the payroll's
// municipalities); while it is empty only the code's shape is checked.
void setMunicipalities(const QSet<QString> &codes);
bool hasMunicipalities();
// The territory table read from the payroll (QRY_CUD_COMUNI) into
// setMunicipalities; false, and the shape alone checked, when it cannot be
// read or is empty.
bool loadMunicipalities(const TRagSource &payroll);

// ---- between values
// The birth date and sex a personal tax code encodes (digits written as the
// letters L-V for homonyms read back); false for a code that is not a
// person's. The year is the one of the century closest before `notAfter`.
bool decodeBirth(const QString &code, QDate *birth, QChar *sex, int notAfterYear);
// Why a personal code contradicts the stored birth date or sex; empty when it
// agrees, or when either is unknown.
QString taxCodeAgainstBirth(const QString &code, const QDate &birth, const QString &sex);
// "EE" only for a birth abroad (the code's place a state, "Z..."), and a
// province only for a birth in Italy.
QString birthProvinceAgainstCode(const QString &sigla, const QString &code);
// A dependant's code equal to the payee's.
QString dependantCode(const QString &dependant, const QString &payee);
// Dates and days of the financial year.
QString birthDate(const QDate &birth, const QDate &today);
QString relationshipStart(const QDate &start, int year);
QString days(int days, int year);
// Withholding (box 21) against income (boxes 1-5) and gross tax (box 361).
QString withholdingAgainstIncome(qint64 withheld, qint64 income);
QString withholdingAgainstGrossTax(qint64 withheld, qint64 grossTax);

// "ROSSI MARIO (RSSMRA80A01H501U)": how a finding names its payee.
QString payeeText(const QString &surname, const QString &name, const QString &code);
// Where the office corrects a supply field ("Dati CU, pagina \"Dati
// Anagrafici\""), by its record type and field code.
QString whereToCorrect(char recordType, const QByteArray &code);

} // namespace VelSupplyRules
