// The records of the supply: the positional records A, B, Z built field by
// field, and C, D, G, H assembled from the field rows.
#include "src/prj/unit/telematic/VelRecordAssembly.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/telematic/VelFileText.h"

using namespace VelFileText;

void TVelRecordAssembler::startPositional(bool z)
{
    m_positional.clear();
    m_positionalLimit = z ? RecordContent : RecordLength;
}

bool TVelRecordAssembler::appendPositional(const QString &encoded, int width)
{
    // A field written as nothing still takes its width, so that the fields
    // after it stay at their positions.
    QString text = encoded;
    if (text.size() < width)
        text = alignLeft(text, width, QLatin1Char(' '));
    if (m_positional.size() + text.size() > m_positionalLimit)
        return false;
    m_positional += text;
    return true;
}

void TVelRecordAssembler::storePositional(const TXMLRecordType &record)
{
    QString text = m_positional;
    text.replace(QChar(Placeholder), QLatin1Char(' '));
    if (record.family == TXMLFamily::Z)
        text += QLatin1Char('A');
    if (text.size() != RecordLength)
        throw EOvError(QStringLiteral("Il tracciato %1 produce un record di %2 caratteri invece di %3")
                           .arg(record.fileName)
                           .arg(text.size())
                           .arg(RecordLength));
    m_recordTable.appendRecord({xmlFamilyName(record.family), QVariant(), toWin1252(text), QVariant()});
}

// ------------------------------------------------------------------ assembly

void TVelRecordAssembler::flush(QChar letter, qint64 certification)
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

void TVelRecordAssembler::assemble(QChar letter, int positionalFields)
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
                flush(letter, certification);
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
                flush(letter, certification);
                m_buffer = m_head;
                if (m_buffer.size() >= FieldAreaLimit)
                    throw EOvError(QStringLiteral("Record %1: la parte fissa del record supera i %2 caratteri")
                                       .arg(letter)
                                       .arg(FieldAreaLimit));
                // the same row again, into the new record
            } else {
                flush(letter, certification);
                m_buffer.clear();
                m_head.clear();
                headCount = 1;
                m_assemblyProgressive = prog.toString();
            }
        }
    }
    flush(letter, certification);
    m_buffer.clear();
    m_head.clear();
}
