#pragma once
// The record engine of the telematic supply. It reads a record template
// (VelFileTemplate.h), takes each field's value from a named dataset or from
// the template, encodes it by its format code into a fixed-width text, and
//  - for records C, D, G, H writes one row per field into the field table
//    (TFIFI_FIELDSFILE), which AssembleRecords later turns into 1,898-character
//    records (an 11-field positional head, then 8-character field codes with
//    their 16-character values; a certification that does not fit repeats the
//    head in a further record);
//  - for records A, B, Z builds the whole positional record at once.
// Records go into the record table (TFILE_FILETELEM). docs/telematic-templates.md
// describes the templates, the value rules and the format codes.
//
// The engine runs without a window. Messages ("Supera i 1900 caratteri") go to a
// replaceable sink (the unattended run host by default). Errors raise EOvError (a template
// naming a column a dataset lacks, a value that is not a number where one is
// needed, a record that would not be exactly its length) or EAssertionFailed
// ("Sezione non trovata " and the dataset name).
#include "src/prj/unit/telematic/VelFieldEncoding.h"
#include "src/prj/unit/telematic/VelFileTemplate.h"
#include "src/prj/unit/telematic/VelRecordAssembly.h"
#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QString>
#include <functional>

class TClientDataSet;

// Names of the telematic data module's datasets, as templates write them in `Cds`.
namespace VelFileCds {
inline constexpr const char *Dip = "cdsDip";
inline constexpr const char *Inps = "cdsInps";
inline constexpr const char *Inpdap = "cdsInpdap";
inline constexpr const char *Inail = "cdsInail";
inline constexpr const char *AltriEnti = "cdsAltriEnti";
inline constexpr const char *Tfr = "cdsTfr";
inline constexpr const char *CoopArt = "cdsCoopArt";
inline constexpr const char *ConFamCar = "cdsConFamCar";
inline constexpr const char *Annotazioni = "cdsAnnotazioni";
inline constexpr const char *AutSe = "cdsAutSe";
inline constexpr const char *QuadroCT = "cdsQuadroCT";
inline constexpr const char *Forn = "cdsForn";
inline constexpr const char *Sost = "cdsSost";
inline constexpr const char *FieldFile = "cdsFieldFile";
inline constexpr const char *FileTel = "cdsFileTel";

// The datasets that hold a structure of the store, with that structure; the
// agent's (Sost) last: it is read only when a supply is generated.
struct Source
{
    const char *cds;
    const char *structure;
};
inline constexpr Source Sources[] = {
    {Dip, rec::TCUD_DATICUD::id.name},           {Inps, rec::TCUDI_INPS::id.name},
    {Inpdap, rec::TCUDN_INPDAP::id.name},        {Inail, rec::TCUIN_INAIL::id.name},
    {AltriEnti, rec::TCUDAE_ALTRIENTI::id.name}, {Tfr, rec::TCUDT_TFR::id.name},
    {CoopArt, rec::TCUDCA_COOPART::id.name},     {ConFamCar, rec::TCUDC_CONFAMCARICO::id.name},
    {Annotazioni, rec::TCUDA_ANNOTAZIONI::id.name}, {AutSe, rec::TASE_AUTSOMMEEROGATE::id.name},
    {QuadroCT, rec::TCUCT_DATICT::id.name},      {Forn, rec::TCFO_FORNITORE::id.name},
    {Sost, rec::TCUS_DATISOST::id.name},
};
} // namespace VelFileCds

// The datasets templates can name, by name (compared without regard to case).
class TVelFileDataSets
{
public:
    // Adds or replaces the dataset of a name.
    void add(const QString &name, TClientDataSet *ds);
    // Null when there is none of that name.
    TClientDataSet *find(const QString &name) const;
    QStringList names() const;
    // Changes whenever a name gets another dataset.
    int generation() const { return m_generation; }

private:
    QHash<QString, TClientDataSet *> m_byName; // lower-case name
    QHash<QString, TClientDataSet *> m_exact;  // names as given, found without lowering
    QStringList m_names;
    int m_generation = 0;
};

class TVelFileUtil
{
public:
    // The record's measures (VelRecordAssembly.h).
    static constexpr int RecordContent = TVelRecordAssembler::RecordContent;
    static constexpr int RecordLength = TVelRecordAssembler::RecordLength;
    static constexpr int FieldAreaLimit = TVelRecordAssembler::FieldAreaLimit;
    static constexpr int HeadFields = TVelRecordAssembler::HeadFields;
    static constexpr int CertificationHeadField = TVelRecordAssembler::CertificationHeadField;

    // The field and record tables are the ones rows are written to; they must be
    // open with the columns of VelFileTables.
    TVelFileUtil(TVelFileDataSets &dataSets, TClientDataSet &fieldTable, TClientDataSet &recordTable);

    // ---- settings of one supply ----
    void setFilingYear(int year) { m_filingYear = year; } // 2026: supply code "CUR26"
    int filingYear() const { return m_filingYear; }
    void setSoftwareProducer(const QString &fiscalCode) { m_producer = fiscalCode; } // record B, field 8
    QString softwareProducer() const { return m_producer; }
    void setQuadroCT(bool on) { m_quadroCT = on; } // record B, field 25
    bool quadroCT() const { return m_quadroCT; }
    void setDefaultInpsMatricola(const QString &m) { m_defaultMatricola = m; } // record G, DC001001
    // Where messages go (default: the unattended run host, on standard error).
    void setMessageSink(std::function<void(const QString &)> sink) { m_message = std::move(sink); }

    // ---- numbers the passes hand over ----
    void setProgressive(qint64 progressive); // of the field rows written next
    qint64 progressive() const { return m_progressive; }
    void setModuleCounter(int n) { m_counter = n; }     // field Number "3" (C, G, H)
    void setCertification(int n) { m_certification = n; } // field Number "5" (D, G, H)
    QString recordType() const { return m_recordType; }   // set by the field Number "1"

    // ---- the operations ----
    // The field's value before encoding (the section matters in family G).
    QString ResolveFieldValue(const TXMLCampoType &field, const TXMLRecordType &record,
                              const TXMLSectionType *section = nullptr);
    // Encodes a value by its format code; the result has the field's width
    // except where an encoding gives an empty text (nothing to write). A text
    // longer than the width is cut; a right-aligned value (a number) that does
    // not fit raises EOvError.
    // The format code and `Info` as written; an unknown format raises EOvError.
    static QString EncodeField(const QString &value, int width, const QString &format, const QString &info)
    {
        return TVelFieldEncoder::encode(value, width, format, info);
    }
    // The same with the codes parsed at load (TXMLCampoType).
    static QString EncodeField(const QString &value, int width, TXMLFormat format, int formatDigits, TXMLInfo info)
    {
        return TVelFieldEncoder::encode(value, width, format, formatDigits, info);
    }
    // Writes a value longer than the field's width as several field rows with
    // the same field code ("+" and the next characters); families E, G, H.
    void SplitLongValue(const QString &value, const TXMLCampoType &field, TXMLFamily family, int row = 0);
    // Appends one field row, or nothing (encode-or-not and skip rules).
    void WriteFieldRow(const QString &value, const TXMLCampoType &field, TXMLFamily family, int row = 0);
    // Appends an encoded field to the positional record being built (A, B, Z).
    void AppendPositional(const QString &encoded, const TXMLCampoType &field);
    // Turns the field rows of one record type into records.
    void AssembleRecords(QChar letter, int positionalFields = HeadFields)
    {
        m_assembler.assemble(letter, positionalFields);
    }
    // Stores the record being assembled (nothing when it is empty).
    void FlushRecord(QChar letter, qint64 certification) { m_assembler.flush(letter, certification); }

    // ---- a template's fields in order ----
    // Families E, G, H: one section from the datasets' current rows; row is
    // the row number that replaces characters 3-5 of the field codes (0: none).
    void WriteSection(const TXMLRecordType &record, const TXMLSectionType &section, int row = 0);
    // Families E, H: every section.
    void WriteAllSections(const TXMLRecordType &record);
    // Families A, B, Z: the whole record into the record table. Raises EOvError
    // when the record does not come out exactly RecordLength characters.
    void WritePositionalRecord(const TXMLRecordType &record);

    // The columns a template's worked-out fields (Calc) read besides their
    // own `Field` (month series, relationship letters, the co-operative's
    // periods, the operation flag, the agent's names in record B...), and
    // their own `Field` too, as "dataset.COLUMN" with the dataset's name in
    // lower case and the column's in upper case.
    static QStringList computedColumns(const TXMLRecordType &record);

    TClientDataSet &fieldTable() { return m_fieldTable; }
    TClientDataSet &recordTable() { return m_recordTable; }
    TVelFileDataSets &dataSets() { return m_dataSets; }

    // The value of a column of the current row as text (null: empty), the
    // engine's own reading of datasets; raises naming template and field when
    // the dataset has no such column.
    QString columnText(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const;

private:
    struct Raw
    {
        bool assigned = false;
        QString text;
    };

    TClientDataSet *datasetFor(const TXMLCampoType &field, const TXMLRecordType &record,
                               const TXMLSectionType *section, bool *named);
    // the current row's cell of a column: its value (null when empty), its text
    QVariant cellValue(TClientDataSet *ds, int index) const;
    Raw cellRaw(TClientDataSet *ds, int index) const;
    Raw columnRaw(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const;
    Raw fieldColumn(TClientDataSet *ds, const TXMLCampoType &field) const; // the field's own column, cached
    Raw yearsAndMonths(TClientDataSet *ds, const TXMLCampoType &field) const; // Info "AM"
    int boundColumn(TClientDataSet *ds, const TXMLCampoType &field) const;
    bool writeTypedField(const TXMLRecordType &record, const TXMLSectionType &section, const TXMLCampoType &field,
                         int row);
    TClientDataSet *fixedDataSet(int which);
    // The value by the field's `Info` (no Calc applied yet).
    Raw valueByInfo(const TXMLCampoType &field, TXMLFamily family, bool named, TClientDataSet *ds);
    // The value of a field with a Calc rule, from the value by `Info`.
    Raw calcValue(const TXMLCampoType &field, TClientDataSet *ds, const Raw &byInfo);
    Raw monthSeries(TClientDataSet *ds, const TXMLCampoType &field) const;
    Raw monthYear(TClientDataSet *ds, const TXMLCampoType &field) const;
    QString finalText(const TXMLCampoType &field, TXMLFamily family, const Raw &raw) const;
    QString encoded(const TXMLCampoType &field, const QString &value) const;
    QString fieldCode(const TXMLCampoType &field, int row) const;
    bool encodes(const TXMLCampoType &field, TXMLFamily family, const QString &value) const;
    void appendFieldRow(QStringView text);
    [[noreturn]] void fieldError(const TXMLCampoType &field, const QString &detail) const;

    TVelFileDataSets &m_dataSets;
    TClientDataSet &m_fieldTable;
    TClientDataSet &m_recordTable;

    int m_filingYear = Campagna::AnnoInvio;
    QString m_producer;
    bool m_quadroCT = false;
    QString m_defaultMatricola;
    std::function<void(const QString &)> m_message;

    qint64 m_progressive = 0;
    QString m_progressiveText; // 18 digits
    int m_counter = 0;
    int m_certification = 0;
    QString m_recordType;
    QString m_source; // template being written, for messages
    // the template being written: taken only when it changes (it is the same
    // for every field of a record, and a copy costs two atomic counts)
    void setSource(const TXMLRecordType &record)
    {
        if (m_source.constData() != record.fileName.constData() || m_source.size() != record.fileName.size())
            m_source = record.fileName;
    }

    // the datasets the families read by fixed name, for the registry's generation
    int m_fixedGeneration = -1;
    TClientDataSet *m_fixed[5] = {};

    // the records built from the fields
    TVelRecordAssembler m_assembler;
};
