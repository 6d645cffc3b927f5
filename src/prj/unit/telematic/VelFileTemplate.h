#pragma once
// The record templates of the telematic supply ("Record_A.xml" ... "Record_Z.xml"
// in USR/KZ2025/Res/filetel/, docs/telematic-templates.md): one XML file per
// record type, all data in attributes, bound here to plain objects.
//
// Six element families exist. Each has a root, a section and a field element:
// RecordA/SectionA/CampoA, RecordB/..., RecordE (records C and D), RecordG,
// RecordH, RecordZ (exactly one SectionZ). The binding classes are the same
// for every family (TXMLRecordAType ... are names of them); the family says
// which attributes mean something.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

enum class TXMLFamily { A, B, E, G, H, Z };

// "A", "B", "E", "G", "H", "Z".
QString xmlFamilyName(TXMLFamily family);

// Value rules of the `Info` attribute, parsed once at load.
enum class TXMLInfo {
    Fixed,        // "OF"
    OrEmpty,      // "O@"
    Column,       // "@@"
    ColumnX,      // "@X"
    Truncate,     // "T@", "TX"
    Round,        // "A@", "AX"
    RoundA1,      // "A1"
    Check,        // "@1"
    FirstChars,   // a number followed by "/": the first n characters
    LastChars,    // "/" followed by a number: the last n characters
    YearsMonths,  // "AM": years and months of one box, from the columns "YEARS;MONTHS"
};

// Format codes of the `Format` attribute, parsed once at load; a code that is
// not one of these is an error of the template.
enum class TXMLFormat {
    AN, CF,       // text, left-aligned
    TL,           // a telephone number: its digits, left-aligned
    AX,           // "X" or nothing
    PR,           // text, not trimmed
    CB,           // check box: "1" right-aligned, nothing for "0" or empty
    CP,           // check box zero-filled
    CB12,         // twelve zeros give blanks
    CN,           // text; with "O@" and no value, zeros
    DT, DP, D4,   // dates: ddmmyyyy, the same zero-filled, ddmm
    NF,           // right-aligned, zero-filled
    NZ,           // N1, N3, N5, N6, N10, N11: zero-padded to n (formatDigits), nothing when empty
    N2,           // zero-padded to 2, also when empty
    ND,           // right-aligned, "0" when blank
    VP, VC,       // amount "1234,50"; VC also the letter "C"
    NP, DA,       // a count or year: zero is not written
    D6, NU, PC, QU, // right-aligned with blanks
};

// Values the engine or the writer works out for a field instead of reading
// them (the `Calc` attribute: a name, then ":" and its argument where the
// rule takes one). Parsed once at load; an unknown name, a missing or
// malformed argument, or a rule in a record it does not belong to is an
// error of the template.
enum class TXMLCalc {
    None,
    RecordType,     // "tipo-record": the Fixed letter becomes the type of the rows written next (C, D, G, H)
    SupplyCode,     // "codice-fornitura": "CUR" and the last two digits of the filing year (A)
    FileNumber,     // "invio": the number of the file in the supply, placed by the writer (A)
    FileCount,      // "invii": the number of files of the supply, placed by the writer (A)
    Producer,       // "produttore": the software producer's tax code (B)
    QuadroCT,       // "quadro-ct": the Quadro CT flag; the writer puts the file's own there (B)
    Certifications, // "certificazioni": the certifications of the supply, placed by the writer (B)
    RecordCount,    // "conteggio:X": the records of type X in the file, placed by the writer (Z)
    IfPerson,       // "se-persona:COLUMN": the field's column when COLUMN is not blank (B)
    IfEntity,       // "se-ente:COLUMN": the field's column when COLUMN is blank (B)
    IfFilled,       // "se-compilato:TEXT": TEXT when the field's column is not blank (B)
    Module,         // "modulo": the module or entry counter (C, G, H)
    Certification,  // "certificazione": the certification's progressive (D, G, H)
    Letter,         // "lettera:L=COLUMN;...": the first L whose column is "1" (D, G, H)
    InpsCompany,    // "matricola-inps": the column, else the default company number when the dataset has rows (G)
    MonthSeries,    // "mesi:PREFIX*SUFFIX": twelve month flags, * the month's name (G)
    Character,      // "carattere:N": the N-th character of the column (G)
    MonthYear,      // "mese-anno:MONTH;YEAR": mmyyyy from two columns (G)
    OnlyC,          // "solo-C": the column when it is the letter C, else nothing (G)
    ExceptC,        // "tranne-C": the column unless it is the letter C (G)
};

// Parses a format code; false when it is none of TXMLFormat. `digits`
// receives n of the codes N1 ... N11.
bool parseFieldFormat(const QString &code, TXMLFormat *format, int *digits);
// The code of a format as templates write it ("VP", "N11").
QString fieldFormatName(TXMLFormat format, int digits = 0);

class TClientDataSet;

class TXMLCampoType
{
public:
    // Attributes as written in the template.
    QString Number;
    QString Description;
    int Width = 0;
    QString Format;
    QString Info;
    QString Fixed;
    QString Cds;   // not in family Z
    QString Field; // not in family Z

    QString Calc;  // a value worked out instead of read (TXMLCalc)

    // Worked out at load.
    QString number;          // Number without surrounding blanks
    bool keyValue = false;   // an 8-character field code, else a positional field
    TXMLInfo info = TXMLInfo::Fixed;
    int cut = 0;             // FirstChars / LastChars: how many characters
    TXMLFormat format = TXMLFormat::AN;
    int formatDigits = 0;    // NZ: how many digits
    TXMLCalc calc = TXMLCalc::None;
    QString calcText;        // IfFilled: the text; RecordCount: the letter; MonthSeries: the pattern
    QStringList calcColumns; // the columns the rule reads besides Field (Letter: one per letter)
    QString calcLetters;     // Letter: the letters, in the order of calcColumns
    int calcIndex = 0;       // Character: 0-based
    bool computed = false;   // a value rule of record G (the engine reads the columns itself)
    bool isAmount = false;   // Format "VP"
    int line = 0;            // line in the file, for messages

    // Where the engine last found this field's dataset and column; checked
    // before use, so a changed dataset or column list is looked up again.
    struct Lookup
    {
        const void *owner = nullptr;
        int generation = -1;
        TClientDataSet *dataSet = nullptr;
        bool hasName = false; // the field (or its section) names the dataset it reads
        const TClientDataSet *columnOf = nullptr;
        const void *columnsOf = nullptr; // the dataset's column list the index was found in
        int column = -1;
        // the other columns a rule reads, by name, for the same dataset and column list
        const TClientDataSet *namedOf = nullptr;
        const void *namedColumnsOf = nullptr;
        QList<QPair<QString, int>> named;
        QStringList months; // MonthSeries: the twelve columns' names...
        QList<int> monthColumns; // ...and their indexes in this dataset and column list
        const TClientDataSet *monthsOf = nullptr;
        const void *monthColumnsOf = nullptr;
    };
    mutable Lookup lookup;
};

class TXMLSectionType
{
public:
    QString Text;
    QString Repeat; // families E, G, H
    QString Cds;    // family G
    int FirstRow = 1; // family G, Repeat "YES": the row number of the first row
    QList<TXMLCampoType> fields;

    // Worked out at load: every field only reads a column of the section's
    // dataset and writes nothing without a value (family G).
    bool readsOnly = false;
    // Worked out at load: the section holds positional fields only (the
    // record head of C, D, G, H).
    bool head = false;
};

class TXMLRecordType
{
public:
    TXMLFamily family = TXMLFamily::A;
    QString fileName;   // as asked for ("Record_G.xml")
    QString path;       // the file read
    QChar recordLetter; // the letter of the file name ("Record_C.xml" -> 'C'), null when none
    QList<TXMLSectionType> sections;

    int fieldCount() const;
};

// The names the record layout gives the bound classes of each family.
using TXMLRecordAType = TXMLRecordType;
using TXMLSectionAType = TXMLSectionType;
using TXMLCampoAType = TXMLCampoType;
using TXMLRecordBType = TXMLRecordType;
using TXMLSectionBType = TXMLSectionType;
using TXMLCampoBType = TXMLCampoType;
using TXMLRecordEType = TXMLRecordType;
using TXMLSectionEType = TXMLSectionType;
using TXMLCampoEType = TXMLCampoType;
using TXMLRecordGType = TXMLRecordType;
using TXMLSectionGType = TXMLSectionType;
using TXMLCampoGType = TXMLCampoType;
using TXMLRecordHType = TXMLRecordType;
using TXMLSectionHType = TXMLSectionType;
using TXMLCampoHType = TXMLCampoType;
using TXMLRecordZType = TXMLRecordType;
using TXMLSectionZType = TXMLSectionType;
using TXMLCampoZType = TXMLCampoType;

// Reads and binds a template. `fileName` is found in the template folder
// (TorFolders::resDir() + "filetel/", names compared without regard to case)
// unless it is an absolute path. Raises EOvError naming the file when it is
// missing, unreadable, not well-formed XML (with line and column), has another
// root than the family's, holds an element of another family, lacks a field's
// Number or Width, has a Width that is not a whole number, an unknown Format
// or Info, a Calc that is unknown, malformed or not of its record, a FirstRow
// that is not a number from 1 to 999, or (family Z) has other than exactly
// one section.
TXMLRecordType LoadRecordTemplate(TXMLFamily family, const QString &fileName);

// The same from XML text; `sourceName` names it in messages.
TXMLRecordType LoadRecordTemplateFromBytes(TXMLFamily family, const QByteArray &xml, const QString &sourceName);

// The template folder: TorFolders::resDir() + "filetel/".
QString recordTemplateDir();
