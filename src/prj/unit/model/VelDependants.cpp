#include "src/prj/unit/model/VelDependants.h"

#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"

#include <QVariant>
#include <algorithm>

namespace VelDependants {

namespace {

QString text(TClientDataSet &ds, const char *name)
{
    const TField f = ds.findField(QLatin1String(name));
    return f && !f.isNull() ? f.asString().trimmed() : QString();
}

bool set(TClientDataSet &ds, const char *name)
{
    const QString t = text(ds, name);
    return t == QLatin1String("1") || t.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0;
}

// "0" and "00" (months), like an empty text, say nothing.
bool filled(const QString &t)
{
    return !t.isEmpty() && t.count(QLatin1Char('0')) != t.size();
}

// A share as the first child's text column holds it: "50.00", or "C".
QString shareOf(TClientDataSet &ds, const char *name)
{
    const TField f = ds.findField(QLatin1String(name));
    if (!f || f.isNull())
        return QString();
    const QVariant v = f.value();
    if (v.canConvert<Currency>() && v.userType() == qMetaTypeId<Currency>()) {
        const Currency c = v.value<Currency>();
        if (c.isZero())
            return QString();
        const QString s = c.toString();
        return s.left(s.size() - 2);
    }
    return f.asString().trimmed();
}

Member firstChildAt(TClientDataSet &ds, int row, bool furtherTaken)
{
    Member m;
    m.place = Member::Place::FirstChild;
    m.child = set(ds, "LCUDRELPARPRIFIGL");
    m.disabled = set(ds, "LCUDRELPARPRIFIGLDIS");
    m.taxCode = text(ds, "SCUDCODFISPRIFIGL");
    m.months = text(ds, "SCUDMESICARPRIFIGL");
    m.monthsUnder3 = text(ds, "SCUDMINTREANNPRIFIGL");
    m.share = shareOf(ds, "SCUDDETRSPETTPRIFIGL");
    m.fullDeduction = set(ds, "LCUDDET100X100PRIFIGL");
    // the import keeps a further member's custody flag in this column: it is
    // the first child's own only on a row without a further member
    m.fosterBox = !furtherTaken && set(ds, "LCUDDET100AFFPRIFIGL");
    m.monthsOver21 = text(ds, "SCUDMESIDETRM21PRIFIGL");
    m.monthsFamily = text(ds, "SCUDMESIDETRGFPRIFIGL");
    m.year = text(ds, "SCUDDTANNOPRIFIGL");
    m.storedRow = row;
    return m;
}

Member furtherAt(TClientDataSet &ds, int row)
{
    Member m;
    m.child = set(ds, "LCUDRELPARFIGL");
    m.disabled = set(ds, "LCUDRELPARFIGLDIS");
    m.otherFamily = set(ds, "LCUDRELPARFIGLALTRFAM");
    m.notAscendant = set(ds, "LCUDRELPARNONASCEND");
    m.taxCode = text(ds, "SCUDCODFISFIGL");
    m.months = text(ds, "SCUDMESICARFIGL");
    m.monthsUnder3 = text(ds, "SCUDMINTREANNFIGL");
    m.share = shareOf(ds, "FCUDDETRSPETTFIGL");
    // where the import keeps the custody flag of a further member, and where
    // the editor may have set it
    m.fullDeduction = set(ds, "LCUDDET100X100FIGL") || set(ds, "LCUDDET100AFFPRIFIGL");
    m.monthsOver21 = text(ds, "SCUDMESIDETRM21FIGL");
    m.monthsFamily = text(ds, "SCUDMESIDETRGFFIGL");
    m.year = text(ds, "SCUDDTANNOFIGL");
    m.storedRow = row;
    return m;
}

void put(TClientDataSet &ds, const char *name, const QVariant &value)
{
    const TField f = ds.findField(QLatin1String(name));
    if (f)
        f.setValue(value);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

const char *const kFlags[] = {"LCUDRELPARCON",       "LCUDRELPARPRIFIGL",     "LCUDRELPARPRIFIGLDIS",
                              "LCUDDET100X100PRIFIGL", "LCUDRELPARFIGL",       "LCUDRELPARFIGLALTRFAM",
                              "LCUDRELPARFIGLDIS",   "LCUDRELPARNONASCEND", "LCUDDET100X100FIGL",
                              "LCUDDET100AFFPRIFIGL"};

void putSpouse(TClientDataSet &ds, const Member &m)
{
    put(ds, "LCUDRELPARCON", flag(m.child));
    put(ds, "SCUDCODFISCON", m.taxCode);
    put(ds, "SCUDMESICARCON", m.months);
    put(ds, "SCUDDTANNOCONIUGE", m.year);
}

void putFirstChild(TClientDataSet &ds, const Member &m)
{
    put(ds, "LCUDRELPARPRIFIGL", flag(m.child));
    put(ds, "LCUDRELPARPRIFIGLDIS", flag(m.disabled));
    put(ds, "SCUDCODFISPRIFIGL", m.taxCode);
    put(ds, "SCUDMESICARPRIFIGL", m.months);
    put(ds, "SCUDMINTREANNPRIFIGL", m.monthsUnder3);
    put(ds, "SCUDDETRSPETTPRIFIGL", m.share);
    put(ds, "LCUDDET100X100PRIFIGL", flag(m.fullDeduction));
    put(ds, "LCUDDET100AFFPRIFIGL", flag(m.fosterBox));
    put(ds, "SCUDMESIDETRM21PRIFIGL", m.monthsOver21);
    put(ds, "SCUDMESIDETRGFPRIFIGL", m.monthsFamily);
    put(ds, "SCUDDTANNOPRIFIGL", m.year);
}

void putFurther(TClientDataSet &ds, const Member &m)
{
    put(ds, "LCUDRELPARFIGL", flag(m.child));
    put(ds, "LCUDRELPARFIGLDIS", flag(m.disabled));
    put(ds, "LCUDRELPARFIGLALTRFAM", flag(m.otherFamily));
    put(ds, "LCUDRELPARNONASCEND", flag(m.notAscendant));
    put(ds, "SCUDCODFISFIGL", m.taxCode);
    put(ds, "SCUDMESICARFIGL", m.months);
    put(ds, "SCUDMINTREANNFIGL", m.monthsUnder3);
    // the further rows' share is an amount: a "C" has no place there
    const std::optional<Currency> share = Currency::parse(m.share);
    put(ds, "FCUDDETRSPETTFIGL", share ? QVariant::fromValue(*share) : QVariant());
    put(ds, "LCUDDET100X100FIGL", flag(m.fullDeduction));
    put(ds, "SCUDMESIDETRM21FIGL", m.monthsOver21);
    put(ds, "SCUDMESIDETRGFFIGL", m.monthsFamily);
    put(ds, "SCUDDTANNOFIGL", m.year);
}

QStringView cell(const TClientDataSet &ds, const char *name)
{
    const int i = ds.fieldIndex(QLatin1String(name));
    return i < 0 ? QStringView() : ds.textAt(0, i).trimmed();
}

} // namespace

bool needsRewrite(const TClientDataSet &rows)
{
    const int n = rows.recordCount();
    if (n != 1)
        return n > 1;
    // one row: only a further member's custody flag, kept where the first
    // child's own box reads, has to move
    if (cell(rows, "LCUDDET100AFFPRIFIGL") != QLatin1String("1"))
        return false;
    for (const char *f : {"LCUDRELPARFIGL", "LCUDRELPARFIGLDIS", "LCUDRELPARFIGLALTRFAM", "LCUDRELPARNONASCEND"})
        if (cell(rows, f) == QLatin1String("1"))
            return true;
    return !cell(rows, "SCUDCODFISFIGL").isEmpty();
}

QList<Member> members(TClientDataSet &rows)
{
    QList<Member> out;
    QList<Member> firstChildMore;
    QList<Member> further;
    bool spouseSeen = false;
    bool firstSeen = false;
    int row = 0;
    for (rows.first(); !rows.eof(); rows.next()) {
        ++row;
        const bool spouse = set(rows, "LCUDRELPARCON") || !text(rows, "SCUDCODFISCON").isEmpty()
                            || filled(text(rows, "SCUDMESICARCON"));
        if (spouse && !spouseSeen) {
            Member m;
            m.place = Member::Place::Spouse;
            m.child = set(rows, "LCUDRELPARCON");
            m.taxCode = text(rows, "SCUDCODFISCON");
            m.months = text(rows, "SCUDMESICARCON");
            m.year = text(rows, "SCUDDTANNOCONIUGE");
            m.storedRow = row;
            out.append(m);
            spouseSeen = true;
        }
        const bool furtherTaken = set(rows, "LCUDRELPARFIGL") || set(rows, "LCUDRELPARFIGLDIS")
                                  || set(rows, "LCUDRELPARFIGLALTRFAM") || set(rows, "LCUDRELPARNONASCEND")
                                  || !text(rows, "SCUDCODFISFIGL").isEmpty();
        if (set(rows, "LCUDRELPARPRIFIGL") || set(rows, "LCUDRELPARPRIFIGLDIS")
            || !text(rows, "SCUDCODFISPRIFIGL").isEmpty()) {
            Member m = firstChildAt(rows, row, furtherTaken);
            if (!firstSeen) {
                out.append(m);
                firstSeen = true;
            } else {
                // a later situation of the first child: a row of its own,
                // marked as a child's, right after the first child's
                m.place = Member::Place::Further;
                m.fosterBox = false;
                firstChildMore.append(m);
            }
        }
        if (furtherTaken)
            further.append(furtherAt(rows, row));
    }
    rows.first();
    out += firstChildMore;
    out += further;
    return out;
}

int furtherCount(const QList<Member> &list)
{
    return int(std::count_if(list.begin(), list.end(),
                             [](const Member &m) { return m.place == Member::Place::Further; }));
}

int modules(const QList<Member> &list)
{
    const int n = furtherCount(list);
    return n <= kFurtherRows ? 1 : (n + kFurtherRows - 1) / kFurtherRows;
}

void fill(TClientDataSet &rows, const QList<Member> &list, int module)
{
    // the CU's keys, from the rows as they were
    QList<QPair<QString, QVariant>> keys;
    rows.first();
    if (!rows.eof())
        for (const char *k : {"IAFIID", "SCUDCODFIS", "SCUDMESE", "SCUDANNOFIN"}) {
            const TField f = rows.findField(QLatin1String(k));
            if (f)
                keys.append({QLatin1String(k), f.value()});
        }
    QList<Member> further;
    const Member *spouse = nullptr;
    const Member *first = nullptr;
    for (const Member &m : list) {
        if (m.place == Member::Place::Spouse)
            spouse = &m;
        else if (m.place == Member::Place::FirstChild)
            first = &m;
        else
            further.append(m);
    }
    further = further.mid(qsizetype(module) * kFurtherRows, kFurtherRows);
    const bool head = module == 0 && (spouse || first);
    const int count = std::max(int(further.size()), head ? 1 : 0);

    rows.emptyDataSet();
    for (int i = 0; i < count; ++i) {
        rows.append();
        for (const auto &k : keys)
            put(rows, k.first.toLatin1().constData(), k.second);
        put(rows, "IFISRIGO", qlonglong(i + 1));
        for (const char *f : kFlags)
            put(rows, f, QStringLiteral("0"));
        if (i == 0 && module == 0) {
            if (spouse)
                putSpouse(rows, *spouse);
            if (first)
                putFirstChild(rows, *first);
        }
        if (i < further.size())
            putFurther(rows, further.at(i));
        rows.post();
    }
    rows.first();
}

} // namespace VelDependants
