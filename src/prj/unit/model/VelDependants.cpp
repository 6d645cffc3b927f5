#include "src/prj/unit/model/VelDependants.h"

#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "velcu/VelFields.h"

#include <QVariant>
#include <algorithm>

namespace VelDependants {

namespace {

QString text(TClientDataSet &ds, const VelFieldId &field)
{
    const TField f = ds.findField(field.qs());
    return f && !f.isNull() ? f.asString().trimmed() : QString();
}

bool set(TClientDataSet &ds, const VelFieldId &field)
{
    const QString t = text(ds, field);
    return t == QLatin1String("1") || t.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0;
}

// "0" and "00" (months), like an empty text, say nothing.
bool filled(const QString &t)
{
    return !t.isEmpty() && t.count(QLatin1Char('0')) != t.size();
}

// A share as the first child's text column holds it: "50.00", or "C".
QString shareOf(TClientDataSet &ds, const VelFieldId &field)
{
    const TField f = ds.findField(field.qs());
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
    m.child = set(ds, fld::LCUDRELPARPRIFIGL);
    m.disabled = set(ds, fld::LCUDRELPARPRIFIGLDIS);
    m.taxCode = text(ds, fld::SCUDCODFISPRIFIGL);
    m.months = text(ds, fld::SCUDMESICARPRIFIGL);
    m.monthsUnder3 = text(ds, fld::SCUDMINTREANNPRIFIGL);
    m.share = shareOf(ds, fld::SCUDDETRSPETTPRIFIGL);
    m.fullDeduction = set(ds, fld::LCUDDET100X100PRIFIGL);
    // the import keeps a further member's custody flag in this column: it is
    // the first child's own only on a row without a further member
    m.fosterBox = !furtherTaken && set(ds, fld::LCUDDET100AFFPRIFIGL);
    m.monthsOver21 = text(ds, fld::SCUDMESIDETRM21PRIFIGL);
    m.monthsFamily = text(ds, fld::SCUDMESIDETRGFPRIFIGL);
    m.year = text(ds, fld::SCUDDTANNOPRIFIGL);
    m.storedRow = row;
    return m;
}

Member furtherAt(TClientDataSet &ds, int row)
{
    Member m;
    m.child = set(ds, fld::LCUDRELPARFIGL);
    m.disabled = set(ds, fld::LCUDRELPARFIGLDIS);
    m.otherFamily = set(ds, fld::LCUDRELPARFIGLALTRFAM);
    m.notAscendant = set(ds, fld::LCUDRELPARNONASCEND);
    m.taxCode = text(ds, fld::SCUDCODFISFIGL);
    m.months = text(ds, fld::SCUDMESICARFIGL);
    m.monthsUnder3 = text(ds, fld::SCUDMINTREANNFIGL);
    m.share = shareOf(ds, fld::FCUDDETRSPETTFIGL);
    // where the import keeps the custody flag of a further member, and where
    // the editor may have set it
    m.fullDeduction = set(ds, fld::LCUDDET100X100FIGL) || set(ds, fld::LCUDDET100AFFPRIFIGL);
    m.monthsOver21 = text(ds, fld::SCUDMESIDETRM21FIGL);
    m.monthsFamily = text(ds, fld::SCUDMESIDETRGFFIGL);
    m.year = text(ds, fld::SCUDDTANNOFIGL);
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

const char *const kFlags[] = {fld::LCUDRELPARCON.name,       fld::LCUDRELPARPRIFIGL.name,     fld::LCUDRELPARPRIFIGLDIS.name,
                              fld::LCUDDET100X100PRIFIGL.name, fld::LCUDRELPARFIGL.name,       fld::LCUDRELPARFIGLALTRFAM.name,
                              fld::LCUDRELPARFIGLDIS.name,   fld::LCUDRELPARNONASCEND.name, fld::LCUDDET100X100FIGL.name,
                              fld::LCUDDET100AFFPRIFIGL.name};

void putSpouse(TClientDataSet &ds, const Member &m)
{
    put(ds, fld::LCUDRELPARCON.name, flag(m.child));
    put(ds, fld::SCUDCODFISCON.name, m.taxCode);
    put(ds, fld::SCUDMESICARCON.name, m.months);
    put(ds, fld::SCUDDTANNOCONIUGE.name, m.year);
}

void putFirstChild(TClientDataSet &ds, const Member &m)
{
    put(ds, fld::LCUDRELPARPRIFIGL.name, flag(m.child));
    put(ds, fld::LCUDRELPARPRIFIGLDIS.name, flag(m.disabled));
    put(ds, fld::SCUDCODFISPRIFIGL.name, m.taxCode);
    put(ds, fld::SCUDMESICARPRIFIGL.name, m.months);
    put(ds, fld::SCUDMINTREANNPRIFIGL.name, m.monthsUnder3);
    put(ds, fld::SCUDDETRSPETTPRIFIGL.name, m.share);
    put(ds, fld::LCUDDET100X100PRIFIGL.name, flag(m.fullDeduction));
    put(ds, fld::LCUDDET100AFFPRIFIGL.name, flag(m.fosterBox));
    put(ds, fld::SCUDMESIDETRM21PRIFIGL.name, m.monthsOver21);
    put(ds, fld::SCUDMESIDETRGFPRIFIGL.name, m.monthsFamily);
    put(ds, fld::SCUDDTANNOPRIFIGL.name, m.year);
}

void putFurther(TClientDataSet &ds, const Member &m)
{
    put(ds, fld::LCUDRELPARFIGL.name, flag(m.child));
    put(ds, fld::LCUDRELPARFIGLDIS.name, flag(m.disabled));
    put(ds, fld::LCUDRELPARFIGLALTRFAM.name, flag(m.otherFamily));
    put(ds, fld::LCUDRELPARNONASCEND.name, flag(m.notAscendant));
    put(ds, fld::SCUDCODFISFIGL.name, m.taxCode);
    put(ds, fld::SCUDMESICARFIGL.name, m.months);
    put(ds, fld::SCUDMINTREANNFIGL.name, m.monthsUnder3);
    // the further rows' share is an amount: a "C" has no place there
    const std::optional<Currency> share = Currency::parse(m.share);
    put(ds, fld::FCUDDETRSPETTFIGL.name, share ? QVariant::fromValue(*share) : QVariant());
    put(ds, fld::LCUDDET100X100FIGL.name, flag(m.fullDeduction));
    put(ds, fld::SCUDMESIDETRM21FIGL.name, m.monthsOver21);
    put(ds, fld::SCUDMESIDETRGFFIGL.name, m.monthsFamily);
    put(ds, fld::SCUDDTANNOFIGL.name, m.year);
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
    if (cell(rows, fld::LCUDDET100AFFPRIFIGL.name) != QLatin1String("1"))
        return false;
    for (const char *f : {fld::LCUDRELPARFIGL.name, fld::LCUDRELPARFIGLDIS.name, fld::LCUDRELPARFIGLALTRFAM.name, fld::LCUDRELPARNONASCEND.name})
        if (cell(rows, f) == QLatin1String("1"))
            return true;
    return !cell(rows, fld::SCUDCODFISFIGL.name).isEmpty();
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
        const bool spouse = set(rows, fld::LCUDRELPARCON) || !text(rows, fld::SCUDCODFISCON).isEmpty()
                            || filled(text(rows, fld::SCUDMESICARCON));
        if (spouse && !spouseSeen) {
            Member m;
            m.place = Member::Place::Spouse;
            m.child = set(rows, fld::LCUDRELPARCON);
            m.taxCode = text(rows, fld::SCUDCODFISCON);
            m.months = text(rows, fld::SCUDMESICARCON);
            m.year = text(rows, fld::SCUDDTANNOCONIUGE);
            m.storedRow = row;
            out.append(m);
            spouseSeen = true;
        }
        const bool furtherTaken = set(rows, fld::LCUDRELPARFIGL) || set(rows, fld::LCUDRELPARFIGLDIS)
                                  || set(rows, fld::LCUDRELPARFIGLALTRFAM) || set(rows, fld::LCUDRELPARNONASCEND)
                                  || !text(rows, fld::SCUDCODFISFIGL).isEmpty();
        if (set(rows, fld::LCUDRELPARPRIFIGL) || set(rows, fld::LCUDRELPARPRIFIGLDIS)
            || !text(rows, fld::SCUDCODFISPRIFIGL).isEmpty()) {
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
        for (const char *k : {fld::iAfiID.upper, fld::SCUDCODFIS.name, fld::SCUDMESE.name, fld::SCUDANNOFIN.name}) {
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
        put(rows, fld::iFisRigo.upper, qlonglong(i + 1));
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
