// The records of the supply: the positional records A, B, Z built field by
// field, and C, D, G, H assembled from the field rows (AssembleRecords).
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/telematic/VelFileText.h"

using namespace VelFileText;

void TVelFileUtil::AppendPositional(const QString &encoded, const TXMLCampoType &field)
{
    // A field written as nothing still takes its width, so that the fields
    // after it stay at their positions.
    QString text = encoded;
    if (text.size() < field.Width)
        text = alignLeft(text, field.Width, QLatin1Char(' '));
    const int limit = m_positionalLimit;
    if (m_positional.size() + text.size() <= limit) {
        m_positional += text;
    } else {
        m_message(QStringLiteral("Supera i 1900 caratteri"));
    }
}

void TVelFileUtil::WritePositionalRecord(const TXMLRecordType &record)
{
    const bool z = record.family == TXMLFamily::Z;
    setSource(record);
    m_positional.clear();
    m_positionalLimit = z ? RecordContent : RecordLength;
    for (const TXMLSectionType &section : record.sections) {
        for (const TXMLCampoType &field : section.fields) {
            const QString value = ResolveFieldValue(field, record, &section);
            AppendPositional(encodes(field, record.family, value) ? encoded(field, value) : QString(), field);
        }
    }
    QString text = m_positional;
    text.replace(QChar(Placeholder), QLatin1Char(' '));
    if (z)
        text += QLatin1Char('A');
    if (text.size() != RecordLength)
        throw EOvError(QStringLiteral("Il tracciato %1 produce un record di %2 caratteri invece di %3")
                           .arg(record.fileName)
                           .arg(text.size())
                           .arg(RecordLength));
    m_recordTable.appendRecord({xmlFamilyName(record.family), QVariant(), toWin1252(text), QVariant()});
}

// ------------------------------------------------------------------ assembly

void TVelFileUtil::FlushRecord(QChar letter, qint64 certification)
{
    if (m_buffer.isEmpty())
        return;
    if (m_buffer.size() > RecordContent)
        throw EOvError(QStringLiteral("Record %1 di %2 caratteri: supera i %3 caratteri")
                           .arg(letter)
                           .arg(m_buffer.size())
                           .arg(RecordContent));
    // the record table holds the file's bytes: half the memory of the text.
    // Made in one block: the placeholder is the only character whose byte is
    // '`', so it is blanked as a byte; the rest of the content is blanks, then
    // the record's "A".
    QByteArray bytes = toWin1252(m_buffer);
    bytes.replace(char(Placeholder), ' ');
    bytes.append(RecordContent - bytes.size(), ' ');
    bytes.append('A');
    m_recordTable.appendValues({QString(letter), m_assemblyProgressive, bytes,
                                letter == QLatin1Char('C') ? qint64(0) : certification});
}

void TVelFileUtil::AssembleRecords(QChar letter, int positionalFields)
{
    TClientDataSet &t = m_fieldTable;
    const int fLetter = t.fieldIndex(QStringLiteral("SFIFICODREC"));
    const int fProg = t.fieldIndex(QStringLiteral("SFIFIPROGRE"));
    const int fRec = t.fieldIndex(QStringLiteral("SFIFIRECORD"));
    const int rows = t.recordCount();
    const QString x(letter);
    const bool typed = letter == QLatin1Char('D') || letter == QLatin1Char('G') || letter == QLatin1Char('H');
    const bool perEntry = letter == QLatin1Char('G') || letter == QLatin1Char('H');

    m_buffer.clear();
    m_head.clear();
    int headCount = 1;
    m_assemblyProgressive = rows > 0 ? t.valueAt(0, fProg).toString() : QString();
    int position = 0;
    qint64 certification = 0;
    bool firstEntry = true;

    // the cells are read in place: the field table does not change meanwhile
    for (int r = 0; r < rows; ++r) {
        if (t.textAt(r, fLetter) != x)
            continue;
        const QStringView prog = t.textAt(r, fProg);
        const QStringView rec = t.textAt(r, fRec);

        if (typed) {
            if (rec == QLatin1String("D") || rec == QLatin1String("G") || rec == QLatin1String("H"))
                position = 1;
            else
                ++position;
            if (position == CertificationHeadField)
                certification = rec.trimmed().toLongLong();
        }
        if (perEntry && rec == x) {
            if (!firstEntry) {
                FlushRecord(letter, certification);
                m_buffer.clear();
                m_head.clear();
                headCount = 1;
                m_assemblyProgressive = prog.toString();
            }
            firstEntry = false;
        }

        for (;;) {
            if (prog == m_assemblyProgressive) {
                if (headCount <= positionalFields) {
                    m_head += rec;
                    ++headCount;
                }
                if (m_buffer.size() < FieldAreaLimit) {
                    m_buffer += rec;
                    break;
                }
                FlushRecord(letter, certification);
                m_buffer = m_head;
                if (m_buffer.size() >= FieldAreaLimit)
                    throw EOvError(QStringLiteral("Record %1: la parte fissa del record supera i %2 caratteri")
                                       .arg(letter)
                                       .arg(FieldAreaLimit));
                // the same row again, into the new record
            } else {
                FlushRecord(letter, certification);
                m_buffer.clear();
                m_head.clear();
                headCount = 1;
                m_assemblyProgressive = prog.toString();
            }
        }
    }
    FlushRecord(letter, certification);
    m_buffer.clear();
    m_head.clear();
}
