#pragma once
// The CU record model: every structure the program keeps in the fiscal store,
// with its fields (kind, dataset type and width, CU box, label, editor page,
// lookup), its pages, its store settings (anagraphic flag, field map) and its
// grid. The description lives in recordmodel.json (docs/record-model.md),
// built into the program; editors, prints, the telematic templates and the
// database set-up read it from here.
//
// Errors in a description raise EOvError with an Italian text naming the
// structure and the field at fault.
#include "platform/dataset/DataSetTypes.h"
#include "src/prj/unit/model/VelFieldId.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class TClientDataSet;

// What a value measures, where its kind alone does not say how the supply
// writes it: a tax code, a year, a number of years, months or other units, a
// province. Written in the description ("measure"), never read from a label.
enum class VelMeasure {
    None,
    CodiceFiscale, // "codice-fiscale"
    Anno,          // "anno": a calendar year
    Anni,          // "anni": a number of years (with a "mesi" field, one period)
    Mesi,          // "mesi": a number of months
    Numero,        // "numero": any other count (days, months of a kind)
    Provincia,     // "provincia": a province's two letters
};
bool velMeasureFromName(const QString &name, VelMeasure *measure);

// "text", "memo", "amount", "integer", "date", "flagX", "flag1", "lookup", "list".
QString velFieldKindName(VelFieldKind kind);
bool velFieldKindFromName(const QString &name, VelFieldKind *kind);

struct VelListValue
{
    QString code;
    QString description;
};

struct VelFieldDesc
{
    QString name;
    VelFieldKind kind = VelFieldKind::Text;
    TFieldType type = TFieldType::String;
    int size = 0;          // String: width in characters; 0 otherwise
    QString box;           // CU box ("punto"): "1", "341", "7a"; empty when none
    QString label;         // editor caption; may hold "%s" filled with a year at run time
    VelMeasure measure = VelMeasure::None;
    // The label with its "%s" filled as the model's box reads: the year before
    // the income year, the income year, the filing year (from the campaign);
    // the TFR boxes keep their historic years.
    QString caption() const;
    QString page;          // editor page (a page name of the structure); empty: no page shows it
    QString group;         // heading above the field on its page, when any
    QString table;         // Lookup: code-table file name (also the annotation picker of a memo)
    bool tableAppends = false; // the chosen entry is appended to the text instead of replacing it
    QString lookupStructure;   // Lookup into another structure instead of a table...
    QString lookupKey;         // ...returning this field of it
    QList<VelListValue> values; // List: the admitted values ("" = none)
    int decimals = -1;     // Amount: decimals shown when not the usual 2

    bool isFlag() const { return kind == VelFieldKind::FlagX || kind == VelFieldKind::Flag1; }
    // "X" or "1" for flags, empty otherwise.
    QString flagSetValue() const;
    bool hasLookup() const { return !table.isEmpty() || !lookupStructure.isEmpty() || !values.isEmpty(); }
    TFieldDef fieldDef() const;
};

struct VelPageDesc
{
    QString name;       // the name fields refer to
    QString caption;    // tab caption in the editor
    QString quadro;     // two-letter section code of the telematic field codes, when box-based
    bool header = false; // shown above the pages rather than as a page
    QStringList also;   // fields of other pages shown here too
};

struct VelGridColumn
{
    QString field;
    QString caption;
    int width = 0;      // 0: the grid decides
    QString align;      // "" or "center"
    bool hidden = false;
};

struct VelIndexDesc
{
    QString name;
    QString fields; // "A;B"
};

struct VelStructureDesc
{
    QString name;
    QString caption;          // the section's name in the editor's messages
    QString rows;             // "1", "0..1", "0..n"
    QString frame;            // editor frame class
    bool anagraphic = false;  // lCdsAnagrafica
    QString fieldMap;         // sCdsFieldMap
    bool fieldMapReadOnly = false; // lCdsFMapReadOnly
    QString order;            // default grid order, "A;B;C"
    QList<VelGridColumn> grid;
    QList<VelIndexDesc> indexes;
    QList<VelPageDesc> pages;
    QList<VelFieldDesc> fields; // in dataset order

    // Case-insensitive; null when absent.
    const VelFieldDesc *field(const QString &fieldName) const;
    const VelPageDesc *page(const QString &pageName) const;
    // The fields whose page is pageName, in order, then the page's "also" fields.
    QList<const VelFieldDesc *> pageFields(const QString &pageName) const;
    QList<TFieldDef> fieldDefs() const;
};

// One tab of the CU editor, in order: a page of a structure, or a whole
// section frame when page is empty.
struct VelEditorTab
{
    QString caption;
    QString structure;
    QString page;
};

class VelRecordModel
{
public:
    // The description built into the program, read once.
    static const VelRecordModel &instance();
    // Reads and validates a description; `source` names it in messages.
    static VelRecordModel fromJson(const QByteArray &json, const QString &source);
    static VelRecordModel fromFile(const QString &path);

    QString program() const { return m_program; }
    int year() const { return m_year; }
    // Relative to the installation root: "USR/KZ2025/Res/Tabelle".
    QString codeTableFolder() const { return m_codeTableFolder; }
    const QList<VelStructureDesc> &structures() const { return m_structures; }
    const QList<VelEditorTab> &cuEditor() const { return m_cuEditor; }

    // Case-insensitive; null when absent.
    const VelStructureDesc *findStructure(const QString &name) const;
    // EOvError "Struttura sconosciuta: %1" when absent.
    const VelStructureDesc &structure(const QString &name) const;

    // Every code-table file named by a field, once (names as written).
    QStringList codeTables() const;
    // Raises EOvError listing every code table named by a field that the
    // folder does not hold (file names compared without regard to case).
    void checkCodeTables(const QString &folder) const;

    // Gives the dataset the structure's fields and creates it empty.
    void createDataSet(const QString &structureName, TClientDataSet &ds) const;
    // The structure's empty dataset in the dataset file format (bCdsSchema).
    QByteArray schemaBytes(const QString &structureName) const;

private:
    QString m_program;
    int m_year = 0;
    QString m_codeTableFolder;
    QList<VelStructureDesc> m_structures;
    QList<VelEditorTab> m_cuEditor;
};
