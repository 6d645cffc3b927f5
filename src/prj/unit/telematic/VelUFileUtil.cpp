#include "src/prj/unit/telematic/VelUFileUtil.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/telematic/VelFileText.h"

#include <array>
#include <cmath>
#include <optional>

using namespace VelFileText;

namespace {

const QString kPlaceholder = QString(QChar(Placeholder));

bool sameName(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// A number in the text form of a dataset value ("1234.5000", "-0.3", "12"),
// exact to the ten-thousandth.
std::optional<Currency> parseNumber(const QString &text)
{
    if (auto c = Currency::parse(text))
        return c;
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (ok && std::isfinite(d)) {
        try {
            return Currency::fromDouble(d);
        } catch (const EOvException &) {
        }
    }
    return std::nullopt;
}

QString wholeText(qint64 whole)
{
    return QString::number(whole);
}

// Integer part, truncated toward zero.
qint64 truncated(Currency c)
{
    return c.units() / Currency::Scale;
}

// The integer part plus 1 when the fractional part is 0.5 or more.
qint64 roundedHalfUp(Currency c)
{
    const qint64 whole = truncated(c);
    const qint64 frac = c.units() % Currency::Scale;
    return frac >= Currency::Scale / 2 ? whole + 1 : whole;
}

// Amount with two decimals and a comma, halves away from zero: "1234,50".
QString amountText(Currency c)
{
    qint64 u = c.units();
    const bool negative = u < 0;
    if (negative)
        u = -u;
    qint64 cents = u / 100;
    if (u % 100 >= 50)
        ++cents;
    const QString text = QString::number(cents / 100) + QLatin1Char(',')
                         + QString::number(cents % 100).rightJustified(2, QLatin1Char('0'));
    return negative && cents != 0 ? QLatin1Char('-') + text : text;
}

bool isDateText(const QString &v)
{
    if (v.size() != 10 || v.at(2) != QLatin1Char('/') || v.at(5) != QLatin1Char('/'))
        return false;
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (!v.at(i).isDigit())
            return false;
    return true;
}

// "0", "00", " 0 ": an integer that is zero.
bool isZeroInteger(const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return false;
    for (QChar c : v)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

const std::array<const char *, 12> kMonths = {"GENNAIO", "FEBBRAIO", "MARZO",     "APRILE",  "MAGGIO",   "GIUGNO",
                                              "LUGLIO",  "AGOSTO",   "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};

// A computed month series of record G: its code, dataset, and column name parts.
struct MonthSeries
{
    const char *code;
    const char *cds;
    const char *prefix;
    const char *suffix;
};
const std::array<MonthSeries, 7> kMonthSeries = {{
    {"DC001008", "cdsinps", "LCUD", ""},
    {"DC001050", "cdsinps", "LCUD", "_C"},
    {"DC001062", "cdsinps", "LCUD3B", "_C"},
    {"DC001072", "cdsinps", "LCUD3T", "_C"},
    {"DC001038", "cdsinpdap", "LINPDAP", ""},
    {"DC001040", "cdsinpdap", "LINPDAPPRSD", ""},
    {"DC001044", "cdsinpdap", "LINPDAPPRD", ""},
}};

} // namespace

// ------------------------------------------------------------------ datasets

void TVelFileDataSets::add(const QString &name, TClientDataSet *ds)
{
    const QString key = name.toLower();
    if (!m_byName.contains(key))
        m_names.append(name);
    m_byName.insert(key, ds);
    for (auto it = m_exact.begin(); it != m_exact.end();)
        it = it.key().toLower() == key ? m_exact.erase(it) : std::next(it);
    m_exact.insert(name, ds);
    ++m_generation;
}

TClientDataSet *TVelFileDataSets::find(const QString &name) const
{
    const auto it = m_exact.constFind(name);
    if (it != m_exact.constEnd())
        return it.value();
    return m_byName.value(name.toLower(), nullptr);
}

QStringList TVelFileDataSets::names() const
{
    return m_names;
}

// ------------------------------------------------------------------ engine

QStringList TVelFileUtil::computedColumns()
{
    QStringList out;
    auto add = [&out](const char *cds, const QString &column) {
        out << QLatin1String(cds).toString().toLower() + QLatin1Char('.') + column.toUpper();
    };
    for (const MonthSeries &s : kMonthSeries)
        for (const char *month : kMonths)
            add(s.cds, QLatin1String(s.prefix) + QLatin1String(month) + QLatin1String(s.suffix));
    add(VelFileCds::Inps, QStringLiteral("SCUDMATRAZIENDA"));
    for (const char *c : {"LCUDRELPARPRIFIGL", "LCUDRELPARPRIFIGLDIS", "LCUDRELPARFIGL", "LCUDRELPARFIGLDIS",
                          "LCUDRELPARFIGLALTRFAM", "LCUDRELPARNONASCEND"})
        add(VelFileCds::ConFamCar, QLatin1String(c));
    for (const char *c : {"ICUDCAMESEDAL", "ICUDCAANNODAL", "ICUDCAMESEAL", "ICUDCAANNOAL"})
        add(VelFileCds::CoopArt, QLatin1String(c));
    for (const char *c : {"LCUDSOSTITUZIONE", "LCUDANNULLAMENTO"})
        add(VelFileCds::Dip, QLatin1String(c));
    for (const char *c : {"SSOSDENOM", "SSOSNOME", "SSOSCODFISINTERM"})
        add(VelFileCds::Sost, QLatin1String(c));
    return out;
}

namespace {
enum Fixed { FForn, FSost, FDip, FQuadroCT, FAutSe, FInps, FConFamCar, FCount };
constexpr const char *kFixedNames[FCount] = {VelFileCds::Forn,  VelFileCds::Sost, VelFileCds::Dip,
                                             VelFileCds::QuadroCT, VelFileCds::AutSe, VelFileCds::Inps,
                                             VelFileCds::ConFamCar};
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
    : m_dataSets(dataSets), m_fieldTable(fieldTable), m_recordTable(recordTable)
{
    m_message = [](const QString &text) { OvMessageBox(text, MB_OK | MB_ICONWARNING); };
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

TVelFileUtil::Raw TVelFileUtil::columnRaw(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const
{
    Raw raw;
    if (!ds || column.isEmpty())
        return raw;
    const TField f = ds->findField(column);
    if (!f)
        fieldError(field, QStringLiteral("la colonna %1 non esiste nel dataset %2").arg(column, ds->objectName()));
    if (!ds->active())
        throw EAssertionFailed(QStringLiteral("Dataset %1 non aperto (tracciato %2)").arg(ds->objectName(), m_source));
    const QVariant v = f.value();
    if (v.isNull() || !v.isValid())
        return raw;
    raw.assigned = true;
    raw.text = fieldValueText(f.dataType(), v);
    return raw;
}

TVelFileUtil::Raw TVelFileUtil::fieldColumn(TClientDataSet *ds, const TXMLCampoType &field) const
{
    Raw raw;
    if (!ds || field.Field.isEmpty())
        return raw;
    const int index = boundColumn(ds, field);
    if (!ds->active())
        throw EAssertionFailed(QStringLiteral("Dataset %1 non aperto (tracciato %2)").arg(ds->objectName(), m_source));
    const QVariant v = ds->field(index).value();
    if (v.isNull() || !v.isValid())
        return raw;
    raw.assigned = true;
    raw.text = fieldValueText(ds->fieldDefs().at(index).type, v);
    return raw;
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
    m_source = record.fileName;
    QString name;
    TClientDataSet *ds = datasetFor(field, record, &section, &name);
    if (!ds || name.isEmpty())
        return false;
    const int index = boundColumn(ds, field);
    if (!ds->active())
        throw EAssertionFailed(QStringLiteral("Dataset %1 non aperto (tracciato %2)").arg(ds->objectName(), m_source));
    const QVariant v = ds->field(index).value();
    if (v.isNull() || !v.isValid())
        return true; // nothing to write, whatever the family and the format
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
    QString code = field.number;
    if (row != 0) {
        if (row < 0 || row > 999)
            fieldError(field, QStringLiteral("numero di riga %1 fuori dai limiti (1-999)").arg(row));
        code = code.left(2) + zeroPad(QString::number(row), 3) + code.mid(5);
    }
    appendFieldRow(code + alignRight(text, field.Width, QLatin1Char(' ')));
    return true;
}

QString TVelFileUtil::columnText(TClientDataSet *ds, const TXMLCampoType &field, const QString &column) const
{
    return columnRaw(ds, field, column).text;
}

TClientDataSet *TVelFileUtil::datasetFor(const TXMLCampoType &field, const TXMLRecordType &record,
                                         const TXMLSectionType *section, QString *nameForTests)
{
    TXMLCampoType::Lookup &l = field.lookup;
    const bool cacheable = !(record.family == TXMLFamily::E && record.recordLetter.isNull());
    if (cacheable && l.owner == &m_dataSets && l.generation == m_dataSets.generation()) {
        *nameForTests = l.name;
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
        l.name = name;
    }
    *nameForTests = name;
    return ds;
}

bool TVelFileUtil::computedG(const TXMLCampoType &field, const QString &dsName, TClientDataSet *ds, Raw *out)
{
    const QString &n = field.number;
    if (!field.computed)
        return false;
    auto fromConFam = [&](const char *column) {
        return columnRaw(m_fixed[FConFamCar], field, QLatin1String(column)).text;
    };
    auto set = [out](const QString &text) {
        out->assigned = !text.isEmpty();
        out->text = text;
        return true;
    };

    fixedDataSet(FInps); // brings the fixed pointers up to date
    if (n == QLatin1String("DC001001")) {
        TClientDataSet *inps = m_fixed[FInps];
        const QString m = columnRaw(inps, field, QStringLiteral("SCUDMATRAZIENDA")).text.trimmed();
        if (!m.isEmpty())
            return set(m);
        return set(inps && inps->active() && !inps->isEmpty() ? m_defaultMatricola : QString());
    }
    if (n == QLatin1String("DB602001")) {
        if (fromConFam("LCUDRELPARPRIFIGL") == QLatin1String("1"))
            return set(QStringLiteral("F"));
        if (fromConFam("LCUDRELPARPRIFIGLDIS") == QLatin1String("1"))
            return set(QStringLiteral("D"));
        return set(QString());
    }
    if (n == QLatin1String("DBXXX001")) {
        if (fromConFam("LCUDRELPARFIGL") == QLatin1String("1"))
            return set(QStringLiteral("F"));
        if (fromConFam("LCUDRELPARFIGLDIS") == QLatin1String("1"))
            return set(QStringLiteral("D"));
        if (fromConFam("LCUDRELPARFIGLALTRFAM") == QLatin1String("1"))
            return set(QStringLiteral("G"));
        if (fromConFam("LCUDRELPARNONASCEND") == QLatin1String("1"))
            return set(QStringLiteral("P"));
        return set(QString());
    }
    if ((n == QLatin1String("DB602A07") || n == QLatin1String("DB602B07")) && sameName(dsName, "cdsconfamcar")
        && sameName(field.Field, "SCUDDETRSPETTPRIFIGL")) {
        const Raw v = columnRaw(ds, field, field.Field);
        const bool isC = v.text == QLatin1String("C");
        if (n == QLatin1String("DB602A07"))
            *out = isC ? Raw{true, QString()} : v;
        else
            *out = isC ? v : Raw{true, QString()};
        return true;
    }
    for (const MonthSeries &s : kMonthSeries) {
        if (n != QLatin1String(s.code) || !sameName(dsName, s.cds))
            continue;
        // twelve characters, one per month in calendar order: "1" for a month
        // ticked ("X" or "1"), "0" for any other (null, empty, "0"); nothing
        // at all when no month is ticked
        QString text;
        text.reserve(12);
        bool any = false;
        for (const char *month : kMonths) {
            const QString v =
                columnRaw(ds, field, QLatin1String(s.prefix) + QLatin1String(month) + QLatin1String(s.suffix))
                    .text.trimmed();
            const bool ticked = v.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1");
            any = any || ticked;
            text += ticked ? QLatin1Char('1') : QLatin1Char('0');
        }
        return set(any ? text : QString());
    }
    if (sameName(dsName, "cdsinpdap") && sameName(field.Field, "SCUDGESASS_2")) {
        const QString d = field.Description.trimmed().toLower();
        int at = -1;
        if (d == QLatin1String("gestione previdenziale"))
            at = 0;
        else if (d == QLatin1String("gestione previdenziale - codice fine servizio"))
            at = 3;
        if (at >= 0) {
            const QString v = columnRaw(ds, field, field.Field).text;
            return set(v.size() > at ? v.mid(at, 1) : QString());
        }
    }
    if ((n == QLatin1String("DC001076") || n == QLatin1String("DC001077")) && sameName(dsName, "cdscoopart")) {
        const bool from = n == QLatin1String("DC001076");
        bool okM = false;
        bool okY = false;
        const int month = columnRaw(ds, field, from ? QStringLiteral("ICUDCAMESEDAL") : QStringLiteral("ICUDCAMESEAL"))
                              .text.toInt(&okM);
        const int year = columnRaw(ds, field, from ? QStringLiteral("ICUDCAANNODAL") : QStringLiteral("ICUDCAANNOAL"))
                             .text.toInt(&okY);
        if (!okM || !okY || month <= 0 || year <= 0)
            return set(QString());
        return set(zeroPad(QString::number(month), 2) + QString::number(year));
    }
    return false;
}

TVelFileUtil::Raw TVelFileUtil::yearsAndMonths(TClientDataSet *ds, const TXMLCampoType &field) const
{
    // one box of the CU holding a period as years and months: one value,
    // each part on two digits in the order the template names them ("0305":
    // 3 years and 5 months); nothing when every part is empty or zero
    const QStringList columns = field.Field.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (columns.size() < 2)
        fieldError(field, QStringLiteral("la regola AM vuole due colonne separate da \";\" (\"%1\")").arg(field.Field));
    QString text;
    bool any = false;
    for (const QString &c : columns) {
        const QString v = columnRaw(ds, field, c.trimmed()).text.trimmed();
        int n = 0;
        if (!v.isEmpty()) {
            const std::optional<Currency> x = parseNumber(v);
            if (!x || x->units() % Currency::Scale != 0 || *x < Currency() || truncated(*x) > 99)
                fieldError(field, QStringLiteral("il valore \"%1\" della colonna %2 non è un numero da 0 a 99").arg(v, c));
            n = int(truncated(*x));
        }
        any = any || n != 0;
        text += zeroPad(QString::number(n), 2);
    }
    return any ? Raw{true, text} : Raw{true, QString()};
}

QString TVelFileUtil::finalText(const TXMLCampoType &field, TXMLFamily family, const Raw &raw) const
{
    if (!raw.assigned || raw.text.isEmpty())
        return QString();
    const bool readsNumber = field.info == TXMLInfo::Truncate
                             || (family == TXMLFamily::G && (field.info == TXMLInfo::Round || field.info == TXMLInfo::RoundA1))
                             || (family == TXMLFamily::H && field.info == TXMLInfo::Round);
    if (!readsNumber)
        return raw.text;
    const std::optional<Currency> x = parseNumber(raw.text);
    if (!x)
        fieldError(field, QStringLiteral("il valore \"%1\" non è un numero").arg(raw.text));
    switch (field.info) {
    case TXMLInfo::Truncate:
        return wholeText(truncated(*x));
    case TXMLInfo::Round:
        return wholeText(roundedHalfUp(*x));
    case TXMLInfo::RoundA1: {
        const Currency one = Currency::fromInt(1);
        if (*x > Currency() && *x < one)
            return QStringLiteral("1");
        if (*x < Currency() && *x > -one)
            return QStringLiteral("-1");
        return wholeText(*x >= Currency() ? roundedHalfUp(*x) : truncated(*x));
    }
    default:
        return raw.text;
    }
}

QString TVelFileUtil::ResolveFieldValue(const TXMLCampoType &field, const TXMLRecordType &record,
                                        const TXMLSectionType *section)
{
    m_source = record.fileName;
    const TXMLFamily family = record.family;
    Raw raw;

    if (family == TXMLFamily::Z) {
        raw = Raw{true, field.Fixed};
    } else {
        QString name;
        TClientDataSet *ds = datasetFor(field, record, section, &name);
        const bool gFamily = family == TXMLFamily::G;
        const bool ehg = family == TXMLFamily::E || family == TXMLFamily::H || gFamily;
        auto column = [&]() { return name.isEmpty() ? Raw{true, QString()} : fieldColumn(ds, field); };

        switch (field.info) {
        case TXMLInfo::Fixed:
            raw = Raw{true, field.Fixed};
            break;
        case TXMLInfo::OrEmpty:
            // family G tests the field's own Cds, not the section's
            raw = (gFamily ? field.Cds : name).isEmpty() ? Raw{true, QString()} : fieldColumn(ds, field);
            break;
        case TXMLInfo::Column:
        case TXMLInfo::ColumnX:
            raw = column();
            if (family == TXMLFamily::B && field.info == TXMLInfo::Column && !name.isEmpty() && ds
                && (raw.text.isEmpty() || raw.text == QLatin1String("0")))
                raw = Raw{true, QStringLiteral("0")};
            break;
        case TXMLInfo::Truncate:
            if (ehg)
                raw = column();
            break;
        case TXMLInfo::Round:
        case TXMLInfo::RoundA1:
            if (gFamily)
                raw = column();
            break;
        case TXMLInfo::Check:
            if (family == TXMLFamily::B && name.isEmpty()) {
                raw = Raw{true, QString()};
            } else if (family != TXMLFamily::A) {
                const Raw v = fieldColumn(ds, field);
                // ticked by a value: not by null, "0", or a text of blanks
                const QString t = v.text.trimmed();
                raw = Raw{true, v.assigned && !t.isEmpty() && t != QLatin1String("0") ? QStringLiteral("1")
                                                                                       : QStringLiteral("0")};
            }
            break;
        case TXMLInfo::FirstChars:
        case TXMLInfo::LastChars:
            if (gFamily) {
                const Raw v = column();
                raw = Raw{true, field.info == TXMLInfo::FirstChars ? v.text.left(field.cut) : v.text.right(field.cut)};
            }
            break;
        case TXMLInfo::Other:
            if (gFamily)
                raw = column();
            break;
        case TXMLInfo::YearsMonths:
            if (ehg && !name.isEmpty())
                raw = yearsAndMonths(ds, field);
            break;
        }
        if (gFamily && field.info != TXMLInfo::Fixed)
            computedG(field, name, ds, &raw);
    }

    // the field's place in the record can decide its value
    const int n = field.position;
    const QChar letter = !record.recordLetter.isNull() ? record.recordLetter
                                                       : (m_recordType.isEmpty() ? QChar() : m_recordType.at(0));
    const bool eC = family == TXMLFamily::E && letter == QLatin1Char('C');
    const bool eD = family == TXMLFamily::E && letter == QLatin1Char('D');
    const bool gh = family == TXMLFamily::G || family == TXMLFamily::H;
    if (n == 0) {
        // key-value field: nothing decided by its place
    } else if (n == 1 && (family == TXMLFamily::E || gh)) {
        m_recordType = field.Fixed.trimmed();
    } else if (n == 3) {
        if (family == TXMLFamily::A)
            raw = Raw{true, QStringLiteral("CUR") + zeroPad(QString::number(m_filingYear % 100), 2)};
        else if (eC || gh)
            raw = Raw{true, QString::number(m_counter)};
    } else if (n == 5 && (eD || gh)) {
        raw = Raw{true, QString::number(m_certification)};
    } else if (n == 9 && (eD || gh)) {
        TClientDataSet *dip = fixedDataSet(FDip);
        QString op;
        if (columnRaw(dip, field, QStringLiteral("LCUDSOSTITUZIONE")).text == QLatin1String("1"))
            op = QStringLiteral("S");
        else if (columnRaw(dip, field, QStringLiteral("LCUDANNULLAMENTO")).text == QLatin1String("1"))
            op = QStringLiteral("A");
        raw = Raw{true, op};
    } else if (family == TXMLFamily::B && n == 8) {
        raw = Raw{true, m_producer};
    } else if (family == TXMLFamily::B && n == 25) {
        raw = Raw{true, m_quadroCT ? QStringLiteral("1") : QStringLiteral("0")};
    } else if (family == TXMLFamily::B && (n == 12 || n == 13 || n == 14)) {
        // an agent who is a person (a first name given) has surname and name
        // in their own places; an entity its name in the company-name place
        TClientDataSet *sost = fixedDataSet(FSost);
        const QString surname = columnRaw(sost, field, QStringLiteral("SSOSDENOM")).text.trimmed();
        const QString name = columnRaw(sost, field, QStringLiteral("SSOSNOME")).text.trimmed();
        const bool person = !name.isEmpty();
        if (n == 12)
            raw = Raw{true, person ? surname : QString()};
        else if (n == 13)
            raw = Raw{true, person ? name : QString()};
        else
            raw = Raw{true, person ? QString() : surname};
    } else if (family == TXMLFamily::B && n == 28) {
        // commitment to transmit: "2" (prepared by the one who sends it) when
        // an intermediary sends the supply, nothing otherwise
        TClientDataSet *sost = fixedDataSet(FSost);
        const QString intermediary = columnRaw(sost, field, QStringLiteral("SSOSCODFISINTERM")).text.trimmed();
        raw = Raw{true, intermediary.isEmpty() ? QString() : QStringLiteral("2")};
    }

    return supplyText(finalText(field, family, raw));
}

// ------------------------------------------------------------------ encoding

QString TVelFileUtil::EncodeField(const QString &value, int width, const QString &format, const QString &info)
{
    const QChar blank = QLatin1Char(' ');
    const QChar zero = QLatin1Char('0');
    const QChar ph = QChar(Placeholder);
    bool rightAligned = true;
    QString out;

    if (format == QLatin1String("AN") || format == QLatin1String("CF")) {
        out = alignLeft(trimRight(value).toUpper(), width, ph);
        rightAligned = false;
    } else if (format == QLatin1String("TL")) {
        // a telephone number: its digits only
        QString digitsOnly;
        for (QChar c : value)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                digitsOnly += c;
        out = digitsOnly.isEmpty() ? QString() : alignLeft(digitsOnly, width, ph);
        rightAligned = false;
    } else if (format == QLatin1String("AX")) {
        out = trimRight(value) == QLatin1String("X") ? alignLeft(QStringLiteral("X"), width, ph) : QString();
        rightAligned = false;
    } else if (format == QLatin1String("CB")) {
        // an empty check box is not ticked either
        out = (value == QLatin1String("0") || value.trimmed().isEmpty()) ? QString()
                                                                          : alignRight(QStringLiteral("1"), width, blank);
    } else if (format == QLatin1String("CP")) {
        out = (value != QLatin1String("0") && !value.isEmpty()) ? alignRight(QStringLiteral("1"), width, zero)
                                                                 : QString(width, zero);
    } else if (format == QLatin1String("CB12")) {
        out = value == QLatin1String("000000000000") ? QString(width, blank) : alignRight(value, width, blank);
    } else if (format == QLatin1String("CN")) {
        const QString v = trimRight(value);
        if (info == QLatin1String("O@") && v.isEmpty()) {
            out = QString(width, zero);
        } else {
            out = alignLeft(v.toUpper(), width, ph);
            rightAligned = false;
        }
    } else if (format == QLatin1String("DT") || format == QLatin1String("DP")) {
        const bool dp = format == QLatin1String("DP");
        if (value == QLatin1String("0.00.00") || (dp && value.isEmpty())) {
            out = dp ? QStringLiteral("00000000") : QString();
        } else if (value.isEmpty()) {
            out = QString(width, blank);
        } else {
            if (!isDateText(value))
                throw EOvError(QStringLiteral("Data non valida: \"%1\" (attesa gg/mm/aaaa)").arg(value));
            out = alignRight(value.mid(0, 2) + value.mid(3, 2) + value.mid(6, 4), width, dp ? zero : blank);
        }
    } else if (format == QLatin1String("D4")) {
        if (value == QLatin1String("0.00.00"))
            out = QString();
        else if (value.size() == 4)
            out = alignRight(value, width, blank);
        else
            out = alignRight(value.mid(0, 2) + value.mid(3, 2), width, blank);
    } else if (format == QLatin1String("NF")) {
        out = alignRight(value, width, zero);
    } else if (format.size() >= 2 && format.at(0) == QLatin1Char('N')
               && (format == QLatin1String("N1") || format == QLatin1String("N3") || format == QLatin1String("N5")
                   || format == QLatin1String("N6") || format == QLatin1String("N10") || format == QLatin1String("N11"))) {
        out = value.isEmpty() ? QString() : alignRight(zeroPad(value, format.mid(1).toInt()), width, blank);
    } else if (format == QLatin1String("N2")) {
        out = alignRight(zeroPad(value, 2), width, blank);
    } else if (format == QLatin1String("PR")) {
        out = alignLeft(value.toUpper(), width, ph);
        rightAligned = false;
    } else if (format == QLatin1String("ND")) {
        out = alignRight(value.trimmed().isEmpty() ? QStringLiteral("0") : value, width, blank);
    } else if (format == QLatin1String("VC") && trimRight(value).trimmed().toUpper() == QLatin1String("C")) {
        // a percentage, or the letter "C" standing in its box: a text
        out = alignLeft(QStringLiteral("C"), width, ph);
        rightAligned = false;
    } else if (format == QLatin1String("VP") || format == QLatin1String("VC")) {
        // amount with two decimals and a comma; zero is not written
        const std::optional<Currency> c = value.trimmed().isEmpty() ? std::optional<Currency>(Currency())
                                                                    : parseNumber(value);
        if (!c)
            throw EOvError(QStringLiteral("Importo non valido: \"%1\"").arg(value));
        const QString text = amountText(*c);
        out = (c->isZero() || text == QLatin1String("0,00")) ? QString() : alignRight(text, width, blank);
    } else if ((format == QLatin1String("NP") || format == QLatin1String("DA")) && isZeroInteger(value)) {
        // a zero count or year is not written, as a zero amount is not
        out = QString();
    } else {
        // "DA", "D6", "NP", "NU", "PC", "QU" and any other code
        out = alignRight(value, width, blank);
    }

    if (out.size() > width) {
        if (rightAligned)
            throw EOvError(QStringLiteral("Il valore \"%1\" non sta in %2 caratteri (formato %3)")
                               .arg(value)
                               .arg(width)
                               .arg(format));
        out.truncate(width);
    }
    return out;
}

bool TVelFileUtil::encodes(const TXMLCampoType &field, TXMLFamily family, const QString &value) const
{
    const bool filled = !value.trimmed().isEmpty();
    switch (field.info) {
    case TXMLInfo::Fixed:
    case TXMLInfo::OrEmpty:
        if (family == TXMLFamily::G && field.number == QLatin1String("DBXXX001") && field.info == TXMLInfo::OrEmpty
            && !filled)
            return false;
        return true;
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
    case TXMLInfo::Other:
        return family == TXMLFamily::G && field.Info.contains(QLatin1Char('/'));
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

void TVelFileUtil::WriteFieldRow(const QString &value, const TXMLCampoType &field, TXMLFamily family, int row)
{
    QString encoded;
    if (encodes(field, family, value)) {
        try {
            encoded = EncodeField(value, field.Width, field.Format, field.Info);
        } catch (const EOvError &e) {
            fieldError(field, e.message());
        }
    }

    if (!field.keyValue) {
        // a head field always keeps its place and width in the record
        if (encoded.size() < field.Width)
            encoded = alignLeft(encoded, field.Width, QLatin1Char(' '));
        appendFieldRow(encoded);
        return;
    }

    switch (family) {
    case TXMLFamily::E: {
        bool blank = true;
        for (QChar c : encoded)
            if (c != QLatin1Char(' ') && c != QChar(Placeholder)) {
                blank = false;
                break;
            }
        if (blank)
            return;
        break;
    }
    case TXMLFamily::H:
        if (encoded.isEmpty())
            return;
        break;
    case TXMLFamily::G:
        if (encoded.trimmed().isEmpty())
            return;
        if (row == 0 && value.trimmed().isEmpty() && field.Field.isEmpty())
            return;
        break;
    default:
        break;
    }

    QString code = field.number;
    if (row != 0) {
        if (row < 0 || row > 999)
            fieldError(field, QStringLiteral("numero di riga %1 fuori dai limiti (1-999)").arg(row));
        code = code.left(2) + zeroPad(QString::number(row), 3) + code.mid(5);
    }
    appendFieldRow(code + encoded);
}

void TVelFileUtil::appendFieldRow(const QString &text)
{
    m_fieldTable.appendRecord({m_recordType, m_progressiveText, text});
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
    m_source = record.fileName;
    m_positional.clear();
    m_positionalLimit = z ? RecordContent : RecordLength;
    for (const TXMLSectionType &section : record.sections) {
        for (const TXMLCampoType &field : section.fields) {
            const QString value = ResolveFieldValue(field, record, &section);
            QString encoded;
            if (encodes(field, record.family, value)) {
                try {
                    encoded = EncodeField(value, field.Width, field.Format, field.Info);
                } catch (const EOvError &e) {
                    fieldError(field, e.message());
                }
            }
            AppendPositional(encoded, field);
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
    m_recordTable.appendRecord({xmlFamilyName(record.family), QVariant(), text, QVariant()});
}

// ------------------------------------------------------------------ assembly

void TVelFileUtil::FlushRecord(QChar letter, qint64 certification)
{
    if (m_buffer.isEmpty())
        return;
    QString text = m_buffer;
    text.replace(QChar(Placeholder), QLatin1Char(' '));
    if (text.size() > RecordContent)
        throw EOvError(QStringLiteral("Record %1 di %2 caratteri: supera i %3 caratteri")
                           .arg(letter)
                           .arg(text.size())
                           .arg(RecordContent));
    text = alignLeft(text, RecordContent, QLatin1Char(' ')) + QLatin1Char('A');
    m_recordTable.appendRecord({QString(letter), m_assemblyProgressive, text,
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

    for (int r = 0; r < rows; ++r) {
        if (t.valueAt(r, fLetter).toString() != x)
            continue;
        const QString prog = t.valueAt(r, fProg).toString();
        const QString rec = t.valueAt(r, fRec).toString();

        if (typed) {
            if (rec == QLatin1String("D") || rec == QLatin1String("G") || rec == QLatin1String("H"))
                position = 1;
            else
                ++position;
            if (position == 5)
                certification = rec.trimmed().toLongLong();
        }
        if (perEntry && rec == x) {
            if (!firstEntry) {
                FlushRecord(letter, certification);
                m_buffer.clear();
                m_head.clear();
                headCount = 1;
                m_assemblyProgressive = prog;
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
                m_assemblyProgressive = prog;
            }
        }
    }
    FlushRecord(letter, certification);
    m_buffer.clear();
    m_head.clear();
}
