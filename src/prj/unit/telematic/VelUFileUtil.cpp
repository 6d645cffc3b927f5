#include "src/prj/unit/telematic/VelUFileUtil.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/telematic/VelFileText.h"

#include <QVarLengthArray>

#include <array>
#include <cmath>
#include <optional>

using namespace VelFileText;

namespace {

bool sameName(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

} // namespace

// ------------------------------------------------------------------ engine

namespace {
enum Fixed { FForn, FSost, FDip, FQuadroCT, FAutSe, FCount };
constexpr const char *kFixedNames[FCount] = {VelFileCds::Forn, VelFileCds::Sost, VelFileCds::Dip,
                                             VelFileCds::QuadroCT, VelFileCds::AutSe};
} // namespace

TClientDataSet *TVelFileUtil::fixedDataSet(int which)
{
    if (m_fixedGeneration != m_dataSets.generation()) {
        for (int i = 0; i < FCount; ++i)
            m_fixed[i] = m_dataSets.find(QLatin1String(kFixedNames[i]));
        m_fixedGeneration = m_dataSets.generation();
    }
    return m_fixed[which];
}

TVelFileUtil::TVelFileUtil(TVelFileDataSets &dataSets, TClientDataSet &fieldTable, TClientDataSet &recordTable)
    : m_dataSets(dataSets), m_fieldTable(fieldTable), m_recordTable(recordTable),
      m_assembler(fieldTable, recordTable)
{
    m_message = [](const QString &text) { TVelUnattendedRunHost::instance().notice(text, TVelNotice::Warning); };
    setProgressive(0);
}

void TVelFileUtil::setProgressive(qint64 progressive)
{
    m_progressive = progressive;
    m_progressiveText = zeroPad(QString::number(progressive), 18);
}

void TVelFileUtil::fieldError(const TXMLCampoType &field, const QString &detail) const
{
    throw EOvError(QStringLiteral("Tracciato %1, campo %2 (riga %3): %4")
                       .arg(m_source, field.number)
                       .arg(field.line)
                       .arg(detail));
}

QVariant TVelFileUtil::cellValue(TClientDataSet *ds, int index) const
{
    if (!ds->active())
        throw EAssertionFailed(QStringLiteral("Dataset %1 non aperto (tracciato %2)").arg(ds->objectName(), m_source));
    const TField cell = ds->field(index);
    return cell.isNull() ? QVariant() : cell.value();
}

TVelFileUtil::Raw TVelFileUtil::cellRaw(TClientDataSet *ds, int index) const
{
    Raw raw;
    const QVariant v = cellValue(ds, index);
    if (v.isNull())
        return raw;
    raw.assigned = true;
    raw.text = fieldValueText(ds->fieldDefs().at(index).type, v);
    return raw;
}

TVelFileUtil::Raw TVelFileUtil::columnRaw(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const
{
    Raw raw;
    if (!ds || column.isEmpty())
        return raw;
    // the index of a column is looked up by name once per field, dataset and column list
    TXMLCampoType::Lookup &l = field.lookup;
    const void *columns = ds->fieldDefs().constData();
    if (l.namedOf != ds || l.namedColumnsOf != columns) {
        l.named.clear();
        l.namedOf = ds;
        l.namedColumnsOf = columns;
    }
    int index = -1;
    for (const auto &[name, at] : std::as_const(l.named))
        if (name == column) {
            index = at;
            break;
        }
    if (index < 0) {
        index = ds->fieldIndex(column);
        if (index < 0)
            fieldError(field, QStringLiteral("la colonna %1 non esiste nel dataset %2").arg(column, ds->objectName()));
        l.named.append({column, index});
    }
    return cellRaw(ds, index);
}

TVelFileUtil::Raw TVelFileUtil::fieldColumn(TClientDataSet *ds, const TXMLCampoType &field) const
{
    Raw raw;
    if (!ds || field.Field.isEmpty())
        return raw;
    const int index = boundColumn(ds, field);
    return cellRaw(ds, index);
}

int TVelFileUtil::boundColumn(TClientDataSet *ds, const TXMLCampoType &field) const
{
    // the column's index is looked up by name once per dataset and column
    // list: the same list (not a copy) proves the index still names it
    TXMLCampoType::Lookup &l = field.lookup;
    const void *columns = ds->fieldDefs().constData();
    if (l.columnOf == ds && l.columnsOf == columns && l.column >= 0)
        return l.column;
    const int index = ds->fieldIndex(field.Field);
    if (index < 0)
        fieldError(field, QStringLiteral("la colonna %1 non esiste nel dataset %2").arg(field.Field, ds->objectName()));
    l.columnOf = ds;
    l.columnsOf = columns;
    l.column = index;
    return index;
}

bool TVelFileUtil::writeTypedField(const TXMLRecordType &record, const TXMLSectionType &section,
                                   const TXMLCampoType &field, int row)
{
    // The common case of a key-value field that only reads its column: the
    // value is read once, typed; an empty column writes nothing and an
    // amount is encoded from its number, without going through its text.
    if (!field.keyValue || field.computed || field.Field.isEmpty())
        return false;
    switch (field.info) {
    case TXMLInfo::Column:
    case TXMLInfo::ColumnX:
    case TXMLInfo::Truncate:
    case TXMLInfo::Round:
    case TXMLInfo::RoundA1:
        break;
    default:
        return false;
    }
    setSource(record);
    bool named = false;
    TClientDataSet *ds = datasetFor(field, record, &section, &named);
    if (!ds || !named)
        return false;
    const int index = boundColumn(ds, field);
    // most columns of a certification are empty in every row (a closed
    // dataset is never said empty: cellValue below raises that it is closed)
    if (ds->holdsNoValues(index))
        return true; // nothing to write, whatever the family and the format
    const QVariant v = cellValue(ds, index);
    if (v.isNull())
        return true;
    if (field.info != TXMLInfo::Column || !field.isAmount
        || ds->fieldDefs().at(index).type != TFieldType::Currency)
        return false;
    const Currency c = v.value<Currency>();
    if (c.isZero())
        return true;
    const QString text = amountText(c);
    if (text == QLatin1String("0,00") || text == QLatin1String("-0,00"))
        return true;
    if (text.size() > field.Width)
        fieldError(field, QStringLiteral("Il valore \"%1\" non sta in %2 caratteri (formato %3)")
                              .arg(text)
                              .arg(field.Width)
                              .arg(field.Format));
    // the row's text (code, then the amount at the right of its width) made
    // on the stack: an amount of every certification is written this way
    const QString code = fieldCode(field, row);
    QVarLengthArray<char16_t, 64> line;
    line.append(reinterpret_cast<const char16_t *>(code.constData()), code.size());
    for (qsizetype pad = field.Width - text.size(); pad > 0; --pad)
        line.append(u' ');
    line.append(reinterpret_cast<const char16_t *>(text.constData()), text.size());
    appendFieldRow(QStringView(line.constData(), line.size()));
    return true;
}

QString TVelFileUtil::columnText(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const
{
    return columnRaw(ds, field, column).text;
}

TClientDataSet *TVelFileUtil::datasetFor(const TXMLCampoType &field, const TXMLRecordType &record,
                                         const TXMLSectionType *section, bool *named)
{
    TXMLCampoType::Lookup &l = field.lookup;
    const bool cacheable = !(record.family == TXMLFamily::E && record.recordLetter.isNull());
    if (cacheable && l.owner == &m_dataSets && l.generation == m_dataSets.generation()) {
        *named = l.hasName;
        return l.dataSet;
    }
    auto required = [this](int which) {
        TClientDataSet *ds = fixedDataSet(which);
        if (!ds)
            throw EAssertionFailed(QStringLiteral("Dataset %1 non disponibile per il tracciato %2")
                                       .arg(QLatin1String(kFixedNames[which]), m_source));
        return ds;
    };
    QString name = field.Cds;
    TClientDataSet *ds = nullptr;
    switch (record.family) {
    case TXMLFamily::A:
        ds = sameName(field.Cds, VelFileCds::Forn) ? required(FForn) : nullptr;
        break;
    case TXMLFamily::B:
        ds = sameName(field.Cds, VelFileCds::Sost) ? required(FSost) : nullptr;
        break;
    case TXMLFamily::E: {
        const QChar letter = !record.recordLetter.isNull() ? record.recordLetter
                                                           : (m_recordType.isEmpty() ? QChar() : m_recordType.at(0));
        if (letter == QLatin1Char('C'))
            ds = required(FQuadroCT);
        else if (sameName(field.Cds, VelFileCds::Sost))
            ds = required(FSost);
        else
            ds = required(FDip);
        break;
    }
    case TXMLFamily::H:
        if (sameName(field.Cds, VelFileCds::Sost))
            ds = required(FSost);
        else if (sameName(field.Cds, VelFileCds::Dip))
            ds = required(FDip);
        else if (sameName(field.Cds, VelFileCds::AutSe))
            ds = required(FAutSe);
        break;
    case TXMLFamily::G:
        name = section && !section->Cds.isEmpty() ? section->Cds : field.Cds;
        if (!name.isEmpty()) {
            ds = m_dataSets.find(name);
            if (!ds)
                throw EAssertionFailed(QStringLiteral("Sezione non trovata ") + name);
        }
        break;
    case TXMLFamily::Z:
        break;
    }
    if (cacheable) {
        l.owner = &m_dataSets;
        l.generation = m_dataSets.generation();
        l.dataSet = ds;
        l.hasName = !name.isEmpty();
    }
    *named = !name.isEmpty();
    return ds;
}

TVelFileUtil::Raw TVelFileUtil::valueByInfo(const TXMLCampoType &field, TXMLFamily family, bool named,
                                             TClientDataSet *ds)
{
    const bool gFamily = family == TXMLFamily::G;
    const bool ehg = family == TXMLFamily::E || family == TXMLFamily::H || gFamily;
    auto column = [&]() { return !named ? Raw{true, QString()} : fieldColumn(ds, field); };
    switch (field.info) {
    case TXMLInfo::Fixed:
        return Raw{true, field.Fixed};
    case TXMLInfo::OrEmpty:
        // family G tests the field's own Cds, not the section's
        return (gFamily ? field.Cds.isEmpty() : !named) ? Raw{true, QString()} : fieldColumn(ds, field);
    case TXMLInfo::Column:
    case TXMLInfo::ColumnX: {
        const Raw raw = column();
        if (family == TXMLFamily::B && field.info == TXMLInfo::Column && named && ds
            && (raw.text.isEmpty() || raw.text == QLatin1String("0")))
            return Raw{true, QStringLiteral("0")};
        return raw;
    }
    case TXMLInfo::Truncate:
        return ehg ? column() : Raw{};
    case TXMLInfo::Round:
    case TXMLInfo::RoundA1:
        return gFamily ? column() : Raw{};
    case TXMLInfo::Check: {
        if (family == TXMLFamily::B && !named)
            return Raw{true, QString()};
        if (family == TXMLFamily::A)
            return Raw{};
        const Raw v = fieldColumn(ds, field);
        // ticked by a value: not by null, "0", or a text of blanks
        const QString t = v.text.trimmed();
        return Raw{true, v.assigned && !t.isEmpty() && t != QLatin1String("0") ? QStringLiteral("1") : QStringLiteral("0")};
    }
    case TXMLInfo::FirstChars:
    case TXMLInfo::LastChars: {
        if (!gFamily)
            return Raw{};
        const Raw v = column();
        return Raw{true, field.info == TXMLInfo::FirstChars ? v.text.left(field.cut) : v.text.right(field.cut)};
    }
    case TXMLInfo::YearsMonths:
        return ehg && named ? yearsAndMonths(ds, field) : Raw{};
    }
    return Raw{};
}

QString TVelFileUtil::ResolveFieldValue(const TXMLCampoType &field, const TXMLRecordType &record,
                                        const TXMLSectionType *section)
{
    setSource(record);
    const TXMLFamily family = record.family;
    Raw raw;
    TClientDataSet *ds = nullptr;
    if (family == TXMLFamily::Z) {
        raw = Raw{true, field.Fixed};
    } else {
        bool named = false;
        ds = datasetFor(field, record, section, &named);
        raw = valueByInfo(field, family, named, ds);
    }
    if (field.calc != TXMLCalc::None)
        raw = calcValue(field, ds, raw);
    return supplyText(finalText(field, family, raw));
}

bool TVelFileUtil::encodes(const TXMLCampoType &field, TXMLFamily family, const QString &value) const
{
    const bool filled = !value.trimmed().isEmpty();
    switch (field.info) {
    case TXMLInfo::Fixed:
    case TXMLInfo::OrEmpty:
        // a worked-out value of record G with nothing in it is not written
        return !(field.computed && field.info == TXMLInfo::OrEmpty && !filled);
    case TXMLInfo::Column:
    case TXMLInfo::ColumnX:
        return family != TXMLFamily::Z && filled;
    case TXMLInfo::Truncate:
        return (family == TXMLFamily::E || family == TXMLFamily::G || family == TXMLFamily::H) && filled;
    case TXMLInfo::Round:
    case TXMLInfo::RoundA1:
        return family == TXMLFamily::G && filled;
    case TXMLInfo::Check:
        return family == TXMLFamily::B || family == TXMLFamily::E || family == TXMLFamily::G
               || family == TXMLFamily::H;
    case TXMLInfo::FirstChars:
    case TXMLInfo::LastChars:
        return family == TXMLFamily::G;
    case TXMLInfo::YearsMonths:
        return (family == TXMLFamily::E || family == TXMLFamily::G || family == TXMLFamily::H) && filled;
    }
    return false;
}

// ------------------------------------------------------------------ field rows

void TVelFileUtil::SplitLongValue(const QString &value, const TXMLCampoType &field, TXMLFamily family, int row)
{
    const int w = field.Width;
    // only key-value fields continue in further slots; a head field keeps its width
    if (!field.keyValue || w < 2) {
        WriteFieldRow(value, field, family, row);
        return;
    }
    // blanks around a text are not part of it: they make no further slot
    const QString text = value.trimmed();
    if (text.size() <= w) {
        WriteFieldRow(text, field, family, row);
        return;
    }
    WriteFieldRow(trimRight(text.left(w)), field, family, row);
    for (int k = 1;; ++k) {
        const QString chunk = text.mid(w + qsizetype(k - 1) * (w - 1), w - 1);
        if (chunk.isEmpty())
            break;
        WriteFieldRow(trimRight((QLatin1Char('+') + chunk).left(16)), field, family, row);
    }
}

QString TVelFileUtil::fieldCode(const TXMLCampoType &field, int row) const
{
    if (row == 0)
        return field.number;
    // a row number takes the place of characters 3-5 of the code
    if (row < 0 || row > 999)
        fieldError(field, QStringLiteral("numero di riga %1 fuori dai limiti (1-999)").arg(row));
    return field.number.left(2) + zeroPad(QString::number(row), 3) + field.number.mid(5);
}

QString TVelFileUtil::encoded(const TXMLCampoType &field, const QString &value) const
{
    try {
        return EncodeField(value, field.Width, field.format, field.formatDigits, field.info);
    } catch (const EOvError &e) {
        fieldError(field, e.message());
    }
}

void TVelFileUtil::WriteFieldRow(const QString &value, const TXMLCampoType &field, TXMLFamily family, int row)
{
    QString text = encodes(field, family, value) ? encoded(field, value) : QString();

    if (!field.keyValue) {
        // a head field always keeps its place and width in the record
        if (text.size() < field.Width)
            text = alignLeft(text, field.Width, QLatin1Char(' '));
        appendFieldRow(text);
        return;
    }

    switch (family) {
    case TXMLFamily::E: {
        bool blank = true;
        for (QChar c : text)
            if (c != QLatin1Char(' ') && c != QChar(Placeholder)) {
                blank = false;
                break;
            }
        if (blank)
            return;
        break;
    }
    case TXMLFamily::H:
        if (text.isEmpty())
            return;
        break;
    case TXMLFamily::G:
        if (text.trimmed().isEmpty())
            return;
        if (row == 0 && value.trimmed().isEmpty() && field.Field.isEmpty())
            return;
        break;
    default:
        break;
    }

    const QString code = fieldCode(field, row);
    QVarLengthArray<char16_t, 64> line;
    line.append(reinterpret_cast<const char16_t *>(code.constData()), code.size());
    line.append(reinterpret_cast<const char16_t *>(text.constData()), text.size());
    appendFieldRow(QStringView(line.constData(), line.size()));
}

void TVelFileUtil::appendFieldRow(QStringView text)
{
    m_fieldTable.appendTexts({m_recordType, m_progressiveText, text});
}

void TVelFileUtil::WriteSection(const TXMLRecordType &record, const TXMLSectionType &section, int row)
{
    if (section.readsOnly) {
        // every field would read an empty dataset and write nothing
        TClientDataSet *ds = m_dataSets.find(section.Cds);
        if (ds && ds->active() && ds->isEmpty())
            return;
    }
    for (const TXMLCampoType &field : section.fields) {
        if (writeTypedField(record, section, field, row))
            continue;
        const QString value = ResolveFieldValue(field, record, &section);
        // a key-value field with nothing to encode writes no row
        if (field.keyValue && !encodes(field, record.family, value))
            continue;
        SplitLongValue(value, field, record.family, row);
    }
}

void TVelFileUtil::WriteAllSections(const TXMLRecordType &record)
{
    for (const TXMLSectionType &section : record.sections)
        WriteSection(record, section);
}

// ------------------------------------------------------------------ positional records


// ------------------------------------------------------------------ positional records

void TVelFileUtil::AppendPositional(const QString &encoded, const TXMLCampoType &field)
{
    if (!m_assembler.appendPositional(encoded, field.Width))
        m_message(QStringLiteral("Supera i 1900 caratteri"));
}

void TVelFileUtil::WritePositionalRecord(const TXMLRecordType &record)
{
    setSource(record);
    m_assembler.startPositional(record.family == TXMLFamily::Z);
    for (const TXMLSectionType &section : record.sections) {
        for (const TXMLCampoType &field : section.fields) {
            const QString value = ResolveFieldValue(field, record, &section);
            AppendPositional(encodes(field, record.family, value) ? encoded(field, value) : QString(), field);
        }
    }
    m_assembler.storePositional(record);
}
