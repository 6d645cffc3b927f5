#pragma once
// The checker of a CU supply: reads the files as the revenue agency's
// published record layout describes them, byte by byte, and lists every
// problem found. It is deliberately independent of the record engine (no
// templates, no record model): it checks a file written by this program or by
// any other one, so that the office knows before filing whether the supply
// will be accepted.
//
//   TVelSupplyCheck check;
//   const QList<TVelSupplyProblem> problems = check.run({"CUR26", "CUR26_2"});
//
// The files given together are taken as the parts of one supply (or of
// several, told apart by supplier, agent and supply code): their numbering
// (positions 522-529 of record A) must agree and no certification may be
// split between two of them, and no payee may have two certifications of
// one withholding agent.
//
// Every field is checked by its kind and meaning: the positional fields of A,
// B, Z and of the records' heads, the key-value fields by the layout's table
// of codes (VelSupplyCheckFields.h); every byte is one the layout allows
// (upper case, printable). The checker reads the files; its parts do the
// rest: the layout record by record (VelSupplyRecordCheck.h), what the values
// mean (VelSupplyMeaningCheck.h), the files of a supply together
// (VelSupplySetCheck.h), and the findings (VelSupplyFindings.h).
//
// Files are read record by record (1,900 bytes each), so that any file, of
// any size, is checked in the memory of a few records. A file whose first
// record is not a record of a supply (a type letter, 1,897 characters, "A",
// CR LF) is refused at once with one problem; a file stops being checked
// after MaxProblemsPerFile problems.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QFile;
class TVelSupplyFindings;
class TVelSupplyRecordCheck;
struct TVelSupplyCheckFile;

struct TVelSupplyProblem
{
    QString file;      // the file's name as given
    int record = 0;    // 1-based record (line) number; 0: the file as a whole
    int position = 0;  // 1-based position in the record; 0: the record as a whole
    QString value;     // what was found there (shown quoted)
    QString message;   // Italian, without file and position
    QString payee;     // the certification's payee: "ROSSI MARIO (RSSMRA80A01H501U)"; empty outside one
    QString payeeCode; // its tax code
    QString where;     // where the office corrects it ("Dati CU" del percipiente, ...)
    bool warning = false; // a value the office confirms, not one the agency refuses
    QString rule;      // the id of the rule of VelSupplyRules that found it; empty for the layout's shape

    // "CUR26, record 3, posizione 26: [avviso: ]<message> (trovato "...").
    // Percipiente ROSSI MARIO (RSSMRA80A01H501U); correggere in ..."
    QString text() const;
    // "<rule>|<payee's tax code>": the same finding as a pre-check's warning.
    QString key() const { return rule + QLatin1Char('|') + payeeCode; }
};

class TVelSupplyCheck
{
public:
    static constexpr int RecordLength = 1900;   // with the "A" and CR LF
    static constexpr int ContentLength = 1897;
    static constexpr int FirstSlot = 90;
    static constexpr int SlotCount = 75;
    static constexpr int SlotWidth = 24;
    static constexpr int MaxProblemsPerFile = 200;
    // A line is read up to this many bytes; the rest of a longer one is skipped.
    static constexpr qint64 MaxLineRead = 4 * RecordLength;

    // Checks the files as one set; the problems in file and record order.
    QList<TVelSupplyProblem> run(const QStringList &files);
    // Certifications (D records) and records read by the last run.
    int certifications() const { return m_certifications; }
    int records() const { return m_records; }

    // Tax codes: 16 characters (a person, with its check letter) or 11 digits
    // (with its check digit).
    static bool validTaxCode(const QString &code);
    static bool validPersonalCode(const QString &code);
    static bool validNumericCode(const QString &code);
    // ddmmyyyy, a real day.
    static bool validDate(const QByteArray &text);
    // Why the first record read from a file (up to 1,900 bytes) shows that the
    // file is not a supply; empty when it may be one.
    static QString notASupply(const QByteArray &first);

private:
    // Reads a file record by record into the record check.
    void checkFile(TVelSupplyCheckFile &info, QFile &file, TVelSupplyRecordCheck &records,
                   TVelSupplyFindings &findings);

    int m_certifications = 0;
    int m_records = 0;
};
