// Binding a parsed filter to a dataset's fields and evaluating it on a row.
#include "platform/dataset/DataSetFilter.h"

#include "platform/dataset/DataSetFilterNode.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <cmath>
#include <functional>
#include <vector>

namespace dsinternal {

namespace {

constexpr qint64 MsPerDay = 86400000;

bool isNumeric(VKind k)
{
    return k == VKind::Int || k == VKind::Cur || k == VKind::Float;
}

VKind kindOfField(TFieldType t)
{
    switch (t) {
    case TFieldType::String:
    case TFieldType::Memo: return VKind::Text;
    case TFieldType::Integer: return VKind::Int;
    case TFieldType::Currency: return VKind::Cur;
    case TFieldType::Float: return VKind::Float;
    case TFieldType::Date: return VKind::Date;
    case TFieldType::DateTime: return VKind::DateTime;
    case TFieldType::Boolean: return VKind::Bool;
    case TFieldType::Blob: return VKind::Blob;
    }
    return VKind::Null;
}

QString kindLabel(VKind k)
{
    switch (k) {
    case VKind::Null: return QStringLiteral("NULL");
    case VKind::Int: return QStringLiteral("intero");
    case VKind::Cur: return QStringLiteral("importo");
    case VKind::Float: return QStringLiteral("numero");
    case VKind::Text: return QStringLiteral("testo");
    case VKind::Date: return QStringLiteral("data");
    case VKind::DateTime: return QStringLiteral("data e ora");
    case VKind::Bool: return QStringLiteral("logico");
    case VKind::Blob: return QStringLiteral("blob");
    }
    return QString();
}

double asDouble(const Val &v)
{
    switch (v.k) {
    case VKind::Int: return double(v.i);
    case VKind::Cur: return double(v.i) / double(Currency::Scale);
    case VKind::Float: return v.f;
    default: return 0;
    }
}

QString asText(const Val &v)
{
    switch (v.k) {
    case VKind::Null: return QString();
    case VKind::Int: return QString::number(v.i);
    case VKind::Cur: return Currency::fromUnits(v.i).toString();
    case VKind::Float: return QString::number(v.f, 'g', QLocale::FloatingPointShortest);
    case VKind::Text: return v.s;
    case VKind::Date: return QDate::fromJulianDay(v.i).toString(QStringLiteral("dd/MM/yyyy"));
    case VKind::DateTime: return msToDateTime(v.i).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case VKind::Bool: return v.i ? QStringLiteral("True") : QStringLiteral("False");
    case VKind::Blob: return QString::fromUtf8(v.b);
    }
    return QString();
}

template <typename T>
int cmp3(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareVals(const Val &a, const Val &b, Qt::CaseSensitivity cs)
{
    if (isNumeric(a.k) && isNumeric(b.k)) {
        if (a.k == VKind::Float || b.k == VKind::Float)
            return cmp3(asDouble(a), asDouble(b));
        if (a.k == b.k)
            return cmp3(a.i, b.i);
        // Integer against amount: compare in ten-thousandths, wide enough not to overflow.
        const __int128 x = a.k == VKind::Int ? __int128(a.i) * Currency::Scale : __int128(a.i);
        const __int128 y = b.k == VKind::Int ? __int128(b.i) * Currency::Scale : __int128(b.i);
        return cmp3(x, y);
    }
    if ((a.k == VKind::Date || a.k == VKind::DateTime) && (b.k == VKind::Date || b.k == VKind::DateTime)) {
        const qint64 x = a.k == VKind::Date ? a.i * MsPerDay : a.i;
        const qint64 y = b.k == VKind::Date ? b.i * MsPerDay : b.i;
        return cmp3(x, y);
    }
    if (a.k == VKind::Bool && b.k == VKind::Bool)
        return cmp3(a.i, b.i);
    if (a.k == VKind::Blob && b.k == VKind::Blob)
        return cmp3(a.b, b.b);
    return QString::compare(asText(a), asText(b), cs);
}

// SQL LIKE: '%' any run, '_' one character.
bool likeMatch(QStringView s, QStringView p, Qt::CaseSensitivity cs)
{
    qsizetype si = 0, pi = 0, starP = -1, starS = 0;
    auto same = [cs](QChar a, QChar b) {
        return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
    };
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && same(p[pi], s[si])))) {
            ++si;
            ++pi;
        } else if (pi < p.size() && p[pi] == u'%') {
            starP = pi++;
            starS = si;
        } else if (starP >= 0) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%')
        ++pi;
    return pi == p.size();
}

} // namespace

[[noreturn]] void throwFilterError(const QString &text, const QString &detail)
{
    throw EDatabaseError(QStringLiteral("Filtro non valido \"%1\": %2").arg(text, detail));
}

namespace {

Val readField(const Storage &st, int field, int row)
{
    const Column &c = st.cols[size_t(field)];
    Val v;
    if (c.isNull(row))
        return v;
    v.k = kindOfField(c.type);
    switch (c.repr) {
    case Repr::Int: v.i = c.ints[size_t(row)]; break;
    case Repr::Float: v.f = c.floats[size_t(row)]; break;
    case Repr::Text: v.s = c.textAt(row).toString(); break;
    case Repr::Bytes: v.b = c.bytes[size_t(row)]; break;
    }
    return v;
}

} // namespace

DataSetFilter::DataSetFilter(const QString &text)
    : m_text(text)
{
    m_root = parseFilter(text);
}

DataSetFilter::~DataSetFilter() = default;

void DataSetFilter::fail(const QString &detail) const
{
    throwFilterError(m_text, detail);
}

namespace {

// Makes a literal stand for a value of the other side's type.
bool coerceLiteral(FilterNode &lit, VKind target)
{
    Val &v = lit.lit;
    if (v.k == target || v.k == VKind::Null)
        return true;
    if (isNumeric(v.k) && isNumeric(target))
        return true;
    if (v.k == VKind::Text || (lit.litNumber && target == VKind::Text)) {
        const QString text = v.k == VKind::Text ? v.s : lit.litText;
        Val out;
        out.k = target;
        switch (target) {
        case VKind::Text:
            out.s = text;
            break;
        case VKind::Int:
            if (!parseIntText(text, &out.i))
                return false;
            break;
        case VKind::Cur: {
            const auto c = Currency::parse(text);
            if (!c)
                return false;
            out.i = c->units();
            break;
        }
        case VKind::Float:
            if (!parseFloatText(text, &out.f))
                return false;
            break;
        case VKind::Date: {
            QDate d;
            if (!parseDateText(text, &d))
                return false;
            out.i = d.toJulianDay();
            break;
        }
        case VKind::DateTime: {
            QDateTime dt;
            if (!parseDateTimeText(text, &dt))
                return false;
            out.i = dateTimeToMs(dt);
            break;
        }
        case VKind::Bool: {
            bool b = false;
            if (!parseBoolText(text, &b))
                return false;
            out.i = b ? 1 : 0;
            break;
        }
        case VKind::Blob:
            out.b = text.toUtf8();
            break;
        case VKind::Null:
            return false;
        }
        v = out;
        return true;
    }
    return false;
}

bool comparable(VKind a, VKind b)
{
    if (a == VKind::Null || b == VKind::Null || a == b)
        return true;
    if (isNumeric(a) && isNumeric(b))
        return true;
    const bool da = a == VKind::Date || a == VKind::DateTime;
    const bool db = b == VKind::Date || b == VKind::DateTime;
    return da && db;
}

QString describe(const FilterNode &n)
{
    if (n.kind == NKind::Field)
        return QStringLiteral("il campo '%1'").arg(n.name);
    if (n.kind == NKind::Literal)
        return QStringLiteral("'%1'").arg(n.lit.k == VKind::Text ? n.lit.s : n.litText);
    return QStringLiteral("un'espressione di tipo %1").arg(kindLabel(n.type));
}

} // namespace

void DataSetFilter::bind(const Storage &storage, bool caseInsensitive)
{
    m_caseInsensitive = caseInsensitive;
    std::function<VKind(FilterNode &)> bindNode = [&](FilterNode &n) -> VKind {
        for (auto &k : n.kids)
            bindNode(*k);
        auto requireCondition = [&](const FilterNode &k) {
            if (k.type != VKind::Bool && k.type != VKind::Null)
                fail(QStringLiteral("serve una condizione, non %1").arg(describe(k)));
        };
        switch (n.kind) {
        case NKind::Field:
            n.field = storage.fieldIndex(n.name);
            if (n.field < 0)
                fail(QStringLiteral("campo '%1' non trovato").arg(n.name));
            n.type = kindOfField(storage.defs[n.field].type);
            break;
        case NKind::Literal:
            n.type = n.lit.k;
            break;
        case NKind::Add: {
            const VKind a = n.kids[0]->type, b = n.kids[1]->type;
            if (a == VKind::Blob || b == VKind::Blob)
                fail(QStringLiteral("l'operatore '+' non si applica a un blob"));
            if (isNumeric(a) && isNumeric(b))
                n.type = (a == VKind::Float || b == VKind::Float) ? VKind::Float
                       : (a == VKind::Cur || b == VKind::Cur)     ? VKind::Cur
                                                                  : VKind::Int;
            else
                n.type = VKind::Text; // '+' joins texts; anything else is joined as its text
            break;
        }
        case NKind::Cmp:
        case NKind::Like:
        case NKind::In: {
            FilterNode &left = *n.kids[0];
            for (size_t i = 1; i < n.kids.size(); ++i) {
                FilterNode &right = *n.kids[i];
                FilterNode *lit = right.kind == NKind::Literal ? &right : left.kind == NKind::Literal ? &left : nullptr;
                FilterNode *other = lit == &right ? &left : &right;
                VKind target = n.kind == NKind::Like ? VKind::Text : other->type;
                if (lit && !coerceLiteral(*lit, target))
                    fail(QStringLiteral("valore %1 non valido per il confronto con %2 (%3)")
                             .arg(describe(*lit), describe(*other), kindLabel(other->type)));
                if (lit)
                    lit->type = lit->lit.k;
                if (n.kind == NKind::Like) {
                    if (left.type != VKind::Text && left.type != VKind::Null)
                        fail(QStringLiteral("LIKE richiede un testo, non %1").arg(describe(left)));
                } else if (!comparable(left.type, right.type)) {
                    fail(QStringLiteral("non si può confrontare %1 con %2").arg(describe(left), describe(right)));
                }
            }
            n.type = VKind::Bool;
            break;
        }
        case NKind::And:
        case NKind::Or:
            requireCondition(*n.kids[0]);
            requireCondition(*n.kids[1]);
            n.type = VKind::Bool;
            break;
        case NKind::Not:
            requireCondition(*n.kids[0]);
            n.type = VKind::Bool;
            break;
        case NKind::IsNull:
            n.type = VKind::Bool;
            break;
        }
        return n.type;
    };
    bindNode(*m_root);
    if (m_root->type != VKind::Bool)
        fail(QStringLiteral("il filtro deve essere una condizione (per esempio CAMPO = valore)"));
}

namespace {

// The value of a bound tree on one row. Comparisons with NULL are unknown
// (NULL), as in SQL; AND and OR stop at the first operand that decides.
struct Evaluator
{
    const Storage &st;
    int row;
    Qt::CaseSensitivity cs;

    Val eval(const FilterNode &n) const
    {
        switch (n.kind) {
        case NKind::Field: return readField(st, n.field, row);
        case NKind::Literal: return n.lit;
        case NKind::Add: return add(n);
        case NKind::Cmp: return compare(n);
        case NKind::And: return both(n);
        case NKind::Or: return either(n);
        case NKind::Not: {
            const Val a = eval(*n.kids[0]);
            return a.k == VKind::Null ? a : Val::boolean(!a.i);
        }
        case NKind::IsNull: {
            const bool isNull = eval(*n.kids[0]).k == VKind::Null;
            return Val::boolean(isNull != n.negate);
        }
        case NKind::Like: return like(n);
        case NKind::In: return in(n);
        }
        return Val();
    }

    // Numbers add (an overflow turns the sum into a float); anything else
    // joins as text.
    Val add(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        const Val b = eval(*n.kids[1]);
        if (n.type == VKind::Text) {
            // Null joins as an empty text, so that "A+B" still matches when B is empty.
            if (a.k == VKind::Null && b.k == VKind::Null)
                return Val();
            Val r;
            r.k = VKind::Text;
            r.s = asText(a) + asText(b);
            return r;
        }
        if (a.k == VKind::Null || b.k == VKind::Null)
            return Val();
        Val r;
        r.k = n.type;
        if (n.type == VKind::Float) {
            r.f = asDouble(a) + asDouble(b);
        } else if (n.type == VKind::Cur) {
            const qint64 x = a.k == VKind::Int ? a.i * Currency::Scale : a.i;
            const qint64 y = b.k == VKind::Int ? b.i * Currency::Scale : b.i;
            if (__builtin_add_overflow(x, y, &r.i)) {
                r.k = VKind::Float;
                r.f = asDouble(a) + asDouble(b);
            }
        } else if (__builtin_add_overflow(a.i, b.i, &r.i)) {
            r.k = VKind::Float;
            r.f = double(a.i) + double(b.i);
        }
        return r;
    }

    Val compare(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        const Val b = eval(*n.kids[1]);
        if (a.k == VKind::Null || b.k == VKind::Null)
            return Val(); // unknown, as in SQL
        const int c = compareVals(a, b, cs);
        switch (n.op) {
        case CmpOp::Eq: return Val::boolean(c == 0);
        case CmpOp::Ne: return Val::boolean(c != 0);
        case CmpOp::Lt: return Val::boolean(c < 0);
        case CmpOp::Gt: return Val::boolean(c > 0);
        case CmpOp::Le: return Val::boolean(c <= 0);
        case CmpOp::Ge: return Val::boolean(c >= 0);
        }
        return Val();
    }

    Val both(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        if (a.k == VKind::Bool && !a.i)
            return a;
        const Val b = eval(*n.kids[1]);
        if (b.k == VKind::Bool && !b.i)
            return b;
        if (a.k == VKind::Null || b.k == VKind::Null)
            return Val();
        return Val::boolean(true);
    }

    Val either(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        if (a.k == VKind::Bool && a.i)
            return a;
        const Val b = eval(*n.kids[1]);
        if (b.k == VKind::Bool && b.i)
            return b;
        if (a.k == VKind::Null || b.k == VKind::Null)
            return Val();
        return Val::boolean(false);
    }

    Val like(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        const Val p = eval(*n.kids[1]);
        if (a.k == VKind::Null || p.k == VKind::Null)
            return Val();
        return Val::boolean(likeMatch(asText(a), asText(p), cs) != n.negate);
    }

    Val in(const FilterNode &n) const
    {
        const Val a = eval(*n.kids[0]);
        if (a.k == VKind::Null)
            return Val();
        bool unknown = false;
        for (size_t i = 1; i < n.kids.size(); ++i) {
            const Val b = eval(*n.kids[i]);
            if (b.k == VKind::Null) {
                unknown = true;
                continue;
            }
            if (compareVals(a, b, cs) == 0)
                return Val::boolean(!n.negate);
        }
        return unknown ? Val() : Val::boolean(n.negate);
    }
};

} // namespace

bool DataSetFilter::matches(const Storage &storage, int row) const
{
    const Evaluator e{storage, row, m_caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive};
    const Val v = e.eval(*m_root);
    return v.k == VKind::Bool && v.i != 0;
}

} // namespace dsinternal
