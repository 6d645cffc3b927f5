#pragma once
// The records of the supply as the record table stores them: the positional
// records A, B, Z built field by field, and C, D, G, H assembled from the rows
// of the field table (an 11-field positional head, then the field codes with
// their values; a certification that does not fit repeats the head in a
// further record).
#include "src/prj/unit/telematic/VelFileTemplate.h"

#include <QChar>
#include <QString>

class TClientDataSet;

class TVelRecordAssembler
{
public:
    // Characters of a record before its closing "A" (then CR LF: 1,900 bytes).
    static constexpr int RecordContent = 1897;
    // A record as stored: content and the closing "A".
    static constexpr int RecordLength = 1898;
    // The buffer of a C, D, G, H record takes another field while shorter than this.
    static constexpr int FieldAreaLimit = 1874;
    // Records C, D, G, H begin with this many positional fields.
    static constexpr int HeadFields = 11;
    // The head field of D, G, H holding the certification's progressive.
    static constexpr int CertificationHeadField = 5;

    TVelRecordAssembler(TClientDataSet &fieldTable, TClientDataSet &recordTable)
        : m_fieldTable(fieldTable), m_recordTable(recordTable)
    {
    }

    // ---- A, B, Z ----
    // Starts a positional record; Z keeps room for its closing "A".
    void startPositional(bool z);
    // Appends an encoded field, padded to its width; false (nothing appended)
    // when the record would grow past its length.
    bool appendPositional(const QString &encoded, int width);
    // Stores the record built. Raises EOvError when it is not exactly
    // RecordLength characters.
    void storePositional(const TXMLRecordType &record);

    // ---- C, D, G, H ----
    // Turns the field rows of one record type into records.
    void assemble(QChar letter, int positionalFields);
    // Stores the record being assembled (nothing when it is empty).
    void flush(QChar letter, qint64 certification);

private:
    TClientDataSet &m_fieldTable;
    TClientDataSet &m_recordTable;

    // assembly of C, D, G, H
    QString m_buffer;
    QString m_head;
    QString m_assemblyProgressive;

    // positional record of A, B, Z
    QString m_positional;
    int m_positionalLimit = RecordLength;
};
