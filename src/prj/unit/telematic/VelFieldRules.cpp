// The values the engine works out instead of reading them: the rules a
// template names in a field's `Calc` attribute (VelFileTemplate.h), and the
// final conversion of a value by its `Info` (truncated, rounded, years and
// months). The codes and columns are the template's; a rule knows only how.
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/telematic/VelFileText.h"

#include <array>

using namespace VelFileText;

namespace {

// The months as the columns of a month series name them.
const std::array<const char *, 12> kMonths = {"GENNAIO", "FEBBRAIO", "MARZO",     "APRILE",  "MAGGIO",   "GIUGNO",
                                              "LUGLIO",  "AGOSTO",   "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};

QString monthColumn(const QString &pattern, const char *month)
{
    return QString(pattern).replace(QLatin1Char('*'), QLatin1String(month));
}

// The columns a rule reads: its own argument's, and the field's where the
// rule reads it.
QStringList calcReads(const TXMLCampoType &field)
{
    QStringList columns = field.calcColumns;
    switch (field.calc) {
    case TXMLCalc::MonthSeries:
        for (const char *month : kMonths)
            columns << monthColumn(field.calcText, month);
        break;
    case TXMLCalc::IfPerson:
    case TXMLCalc::IfEntity:
    case TXMLCalc::IfFilled:
    case TXMLCalc::InpsCompany:
    case TXMLCalc::Character:
    case TXMLCalc::OnlyC:
    case TXMLCalc::ExceptC:
        if (!field.Field.isEmpty())
            columns << field.Field;
        break;
    default:
        break;
    }
    return columns;
}

} // namespace

QStringList TVelFileUtil::computedColumns(const TXMLRecordType &record)
{
    QStringList out;
    for (const TXMLSectionType &section : record.sections)
        for (const TXMLCampoType &field : section.fields) {
            const QString cds = (record.family == TXMLFamily::G && !section.Cds.isEmpty() ? section.Cds : field.Cds).toLower();
            for (const QString &column : calcReads(field))
                out << cds + QLatin1Char('.') + column.toUpper();
        }
    return out;
}

TVelFileUtil::Raw TVelFileUtil::calcValue(const TXMLCampoType &field, TClientDataSet *ds, const Raw &byInfo)
{
    auto text = [](const QString &t) { return Raw{true, t}; };
    auto column = [&](const QString &name) { return columnRaw(ds, field, name).text; };
    switch (field.calc) {
    case TXMLCalc::None:
    case TXMLCalc::FileNumber:
    case TXMLCalc::FileCount:
    case TXMLCalc::Certifications:
    case TXMLCalc::RecordCount:
        return byInfo; // the writer puts these in place, file by file
    case TXMLCalc::RecordType:
        m_recordType = field.Fixed.trimmed();
        return byInfo;
    case TXMLCalc::SupplyCode:
        return text(QStringLiteral("CUR") + zeroPad(QString::number(m_filingYear % 100), 2));
    case TXMLCalc::Producer:
        return text(m_producer);
    case TXMLCalc::QuadroCT:
        return text(m_quadroCT ? QStringLiteral("1") : QStringLiteral("0"));
    case TXMLCalc::Module:
        return text(QString::number(m_counter));
    case TXMLCalc::Certification:
        return text(QString::number(m_certification));
    case TXMLCalc::IfPerson:
    case TXMLCalc::IfEntity: {
        // an agent who is a person (a first name given) has surname and name
        // in their own places; an entity its name in the company-name place
        const bool person = !column(field.calcColumns.first()).trimmed().isEmpty();
        const bool wanted = person == (field.calc == TXMLCalc::IfPerson);
        return text(wanted ? column(field.Field).trimmed() : QString());
    }
    case TXMLCalc::IfFilled:
        return text(column(field.Field).trimmed().isEmpty() ? QString() : field.calcText);
    case TXMLCalc::Letter:
        for (qsizetype i = 0; i < field.calcColumns.size(); ++i)
            if (column(field.calcColumns[i]) == QLatin1String("1"))
                return text(field.calcLetters.mid(i, 1));
        return text(QString());
    case TXMLCalc::InpsCompany: {
        const QString m = column(field.Field).trimmed();
        if (!m.isEmpty())
            return text(m);
        return text(ds && ds->active() && !ds->isEmpty() ? m_defaultMatricola : QString());
    }
    case TXMLCalc::MonthSeries:
        return monthSeries(ds, field);
    case TXMLCalc::Character: {
        const QString v = column(field.Field);
        return text(v.size() > field.calcIndex ? v.mid(field.calcIndex, 1) : QString());
    }
    case TXMLCalc::MonthYear:
        return monthYear(ds, field);
    case TXMLCalc::OnlyC:
    case TXMLCalc::ExceptC: {
        const Raw v = columnRaw(ds, field, field.Field);
        const bool isC = v.text == QLatin1String("C");
        return isC == (field.calc == TXMLCalc::OnlyC) ? v : text(QString());
    }
    }
    return byInfo;
}

TVelFileUtil::Raw TVelFileUtil::monthSeries(TClientDataSet *ds, const TXMLCampoType &field) const
{
    // twelve characters, one per month in calendar order: "1" for a month
    // ticked ("X" or "1"), "0" for any other (null, empty, "0"); nothing at
    // all when no month is ticked
    TXMLCampoType::Lookup &l = field.lookup;
    if (l.months.isEmpty())
        for (const char *month : kMonths)
            l.months << monthColumn(field.calcText, month);
    if (!ds)
        return Raw{true, QString()};
    // the twelve columns found by name once per dataset and column list
    const void *columns = ds->fieldDefs().constData();
    if (l.monthsOf != ds || l.monthColumnsOf != columns) {
        l.monthColumns.clear();
        for (const QString &column : std::as_const(l.months)) {
            const int index = ds->fieldIndex(column);
            if (index < 0)
                fieldError(field, QStringLiteral("la colonna %1 non esiste nel dataset %2").arg(column, ds->objectName()));
            l.monthColumns << index;
        }
        l.monthsOf = ds;
        l.monthColumnsOf = columns;
    }
    QString text;
    text.reserve(12);
    bool any = false;
    for (int index : std::as_const(l.monthColumns)) {
        const QString v = cellRaw(ds, index).text.trimmed();
        const bool ticked = v.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1");
        any = any || ticked;
        text += ticked ? QLatin1Char('1') : QLatin1Char('0');
    }
    return Raw{true, any ? text : QString()};
}

TVelFileUtil::Raw TVelFileUtil::monthYear(TClientDataSet *ds, const TXMLCampoType &field) const
{
    bool okM = false;
    bool okY = false;
    const int month = columnRaw(ds, field, field.calcColumns[0]).text.toInt(&okM);
    const int year = columnRaw(ds, field, field.calcColumns[1]).text.toInt(&okY);
    if (!okM || !okY || month <= 0 || year <= 0)
        return Raw{true, QString()};
    return Raw{true, zeroPad(QString::number(month), 2) + QString::number(year)};
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
        return QString::number(truncated(*x));
    case TXMLInfo::Round:
        return QString::number(roundedHalfUp(*x));
    case TXMLInfo::RoundA1: {
        const Currency one = Currency::fromInt(1);
        if (*x > Currency() && *x < one)
            return QStringLiteral("1");
        if (*x < Currency() && *x > -one)
            return QStringLiteral("-1");
        return QString::number(*x >= Currency() ? roundedHalfUp(*x) : truncated(*x));
    }
    default:
        return raw.text;
    }
}
