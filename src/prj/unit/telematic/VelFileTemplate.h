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
#include <QString>

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
    Other,        // anything else
};

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

    // Worked out at load.
    QString number;          // Number without surrounding blanks
    bool keyValue = false;   // an 8-character field code, else a positional field
    TXMLInfo info = TXMLInfo::Other;
    int cut = 0;             // FirstChars / LastChars: how many characters
    int position = 0;        // a positional field's Number as a number, else 0
    bool computed = false;   // one of the fields record G works out itself
    bool isAmount = false;   // Format "VP"
    int line = 0;            // line in the file, for messages

    // Where the engine last found this field's dataset and column; checked
    // before use, so a changed dataset or column list is looked up again.
    struct Lookup
    {
        const void *owner = nullptr;
        int generation = -1;
        TClientDataSet *dataSet = nullptr;
        QString name;
        const TClientDataSet *columnOf = nullptr;
        const void *columnsOf = nullptr; // the dataset's column list the index was found in
        int column = -1;
    };
    mutable Lookup lookup;
};

class TXMLSectionType
{
public:
    QString Text;
    QString Repeat; // families E, G, H
    QString Cds;    // family G
    QList<TXMLCampoType> fields;

    // Worked out at load: every field only reads a column of the section's
    // dataset and writes nothing without a value (family G).
    bool readsOnly = false;
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
// Number or Width, has a Width that is not a whole number, or (family Z) has
// other than exactly one section.
TXMLRecordType LoadRecordTemplate(TXMLFamily family, const QString &fileName);

// The same from XML text; `sourceName` names it in messages.
TXMLRecordType LoadRecordTemplateFromBytes(TXMLFamily family, const QByteArray &xml, const QString &sourceName);

// The template folder: TorFolders::resDir() + "filetel/".
QString recordTemplateDir();
