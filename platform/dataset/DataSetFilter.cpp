#include "platform/dataset/DataSetFilter.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <cmath>
#include <functional>
#include <vector>

namespace dsinternal {

namespace {

constexpr qint64 MsPerDay = 86400000;

enum class VKind : quint8 { Null, Int, Cur, Float, Text, Date, DateTime, Bool, Blob };

struct Val
{
    VKind k = VKind::Null;
    qint64 i = 0;
    double f = 0;
    QString s;
    QByteArray b;

    static Val boolean(bool v)
    {
        Val r;
        r.k = VKind::Bool;
        r.i = v ? 1 : 0;
        return r;
    }
};

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

// ---- tokens ----

enum class TKind { Ident, String, Number, Op, LParen, RParen, Comma, End };

struct Token
{
    TKind kind = TKind::End;
    QString text;
    int pos = 0;
    bool bracketed = false; // [Field name]: never a keyword
};

} // namespace

enum class NKind { Field, Literal, Add, Cmp, And, Or, Not, IsNull, Like, In };
enum class CmpOp { Eq, Ne, Lt, Gt, Le, Ge };

struct FilterNode
{
    NKind kind = NKind::Literal;
    QString name;   // Field: name as written
    int field = -1; // Field: index after bind
    Val lit;        // Literal
    QString litText;
    bool litNumber = false;
    CmpOp op = CmpOp::Eq;
    bool negate = false; // IS NOT NULL, NOT LIKE, NOT IN
    VKind type = VKind::Null;
    std::vector<std::unique_ptr<FilterNode>> kids;
};

namespace {

using NodePtr = std::unique_ptr<FilterNode>;

[[noreturn]] void throwFilterError(const QString &text, const QString &detail)
{
    throw EDatabaseError(QStringLiteral("Filtro non valido \"%1\": %2").arg(text, detail));
}

class Parser
{
public:
    explicit Parser(const QString &text)
        : m_text(text)
    {
        tokenize();
    }

    NodePtr parse()
    {
        if (m_tokens.front().kind == TKind::End)
            m_fail(QStringLiteral("il filtro è vuoto"));
        NodePtr n = parseOr();
        const Token &t = peek();
        if (t.kind == TKind::RParen)
            m_fail(QStringLiteral("parentesi ')' senza apertura in posizione %1").arg(t.pos + 1));
        if (t.kind != TKind::End)
            m_fail(QStringLiteral("elemento inatteso '%1' in posizione %2").arg(t.text).arg(t.pos + 1));
        return n;
    }

private:
    void tokenize()
    {
        const QString &s = m_text;
        qsizetype i = 0;
        while (i < s.size()) {
            const QChar c = s[i];
            if (c.isSpace()) {
                ++i;
                continue;
            }
            Token t;
            t.pos = int(i);
            if (c == u'\'' || c == u'"') {
                QString v;
                qsizetype j = i + 1;
                bool closed = false;
                while (j < s.size()) {
                    if (s[j] == c) {
                        if (j + 1 < s.size() && s[j + 1] == c) { // doubled quote
                            v += c;
                            j += 2;
                            continue;
                        }
                        closed = true;
                        break;
                    }
                    v += s[j++];
                }
                if (!closed)
                    m_fail(QStringLiteral("apice non chiuso (aperto in posizione %1)").arg(i + 1));
                t.kind = TKind::String;
                t.text = v;
                i = j + 1;
            } else if (c == u'[') {
                const qsizetype j = s.indexOf(u']', i + 1);
                if (j < 0)
                    m_fail(QStringLiteral("parentesi '[' non chiusa in posizione %1").arg(i + 1));
                t.kind = TKind::Ident;
                t.text = s.mid(i + 1, j - i - 1).trimmed();
                t.bracketed = true;
                if (t.text.isEmpty())
                    m_fail(QStringLiteral("nome di campo vuoto in posizione %1").arg(i + 1));
                i = j + 1;
            } else if (c.isLetter() || c == u'_') {
                qsizetype j = i;
                while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
                    ++j;
                t.kind = TKind::Ident;
                t.text = s.mid(i, j - i);
                i = j;
            } else if (c.isDigit() || (c == u'.' && i + 1 < s.size() && s[i + 1].isDigit())) {
                qsizetype j = i;
                while (j < s.size() && s[j].isDigit())
                    ++j;
                if (j < s.size() && s[j] == u'.') {
                    ++j;
                    while (j < s.size() && s[j].isDigit())
                        ++j;
                }
                if (j < s.size() && (s[j].isLetter() || s[j] == u'_'))
                    m_fail(QStringLiteral("numero non valido '%1' in posizione %2")
                               .arg(s.mid(i, j - i + 1)).arg(i + 1));
                t.kind = TKind::Number;
                t.text = s.mid(i, j - i);
                i = j;
            } else if (c == u'(' || c == u')' || c == u',') {
                t.kind = c == u'(' ? TKind::LParen : c == u')' ? TKind::RParen : TKind::Comma;
                t.text = c;
                ++i;
            } else if (c == u'+' || c == u'-') {
                t.kind = TKind::Op;
                t.text = c;
                ++i;
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                qsizetype j = i;
                while (j < s.size() && (s[j] == u'=' || s[j] == u'<' || s[j] == u'>' || s[j] == u'!'))
                    ++j;
                const QString op = s.mid(i, j - i);
                static const QStringList known = {QStringLiteral("="),  QStringLiteral("<>"), QStringLiteral("!="),
                                                  QStringLiteral("<"),  QStringLiteral(">"),  QStringLiteral("<="),
                                                  QStringLiteral(">=")};
                if (!known.contains(op))
                    m_fail(QStringLiteral("operatore '%1' non valido in posizione %2").arg(op).arg(i + 1));
                t.kind = TKind::Op;
                t.text = op;
                i = j;
            } else {
                m_fail(QStringLiteral("carattere '%1' non valido in posizione %2").arg(c).arg(i + 1));
            }
            m_tokens.push_back(t);
        }
        Token end;
        end.pos = int(s.size());
        m_tokens.push_back(end);
    }

    const Token &peek() const { return m_tokens[m_at]; }
    Token take() { return m_tokens[m_at < m_tokens.size() - 1 ? m_at++ : m_at]; }

    bool isKeyword(const Token &t, const char *kw) const
    {
        return t.kind == TKind::Ident && !t.bracketed && t.text.compare(QLatin1StringView(kw), Qt::CaseInsensitive) == 0;
    }
    bool acceptKeyword(const char *kw)
    {
        if (isKeyword(peek(), kw)) {
            ++m_at;
            return true;
        }
        return false;
    }

    static NodePtr node(NKind k)
    {
        auto n = std::make_unique<FilterNode>();
        n->kind = k;
        return n;
    }

    NodePtr binary(NKind k, NodePtr a, NodePtr b)
    {
        auto n = node(k);
        n->kids.push_back(std::move(a));
        n->kids.push_back(std::move(b));
        return n;
    }

    NodePtr parseOr()
    {
        NodePtr left = parseAnd();
        while (acceptKeyword("OR"))
            left = binary(NKind::Or, std::move(left), parseAnd());
        return left;
    }

    NodePtr parseAnd()
    {
        NodePtr left = parseNot();
        while (acceptKeyword("AND"))
            left = binary(NKind::And, std::move(left), parseNot());
        return left;
    }

    NodePtr parseNot()
    {
        if (acceptKeyword("NOT")) {
            auto n = node(NKind::Not);
            n->kids.push_back(parseNot());
            return n;
        }
        return parseComparison();
    }

    NodePtr parseComparison()
    {
        NodePtr left = parseAdd();
        const Token &t = peek();
        if (t.kind == TKind::Op && t.text != u"+" && t.text != u"-") {
            const QString op = take().text;
            NodePtr right = parseAdd();
            const bool rightNull = right->kind == NKind::Literal && right->lit.k == VKind::Null && !right->litNumber;
            const bool leftNull = left->kind == NKind::Literal && left->lit.k == VKind::Null && !left->litNumber;
            if ((op == u"=" || op == u"<>" || op == u"!=") && (rightNull || leftNull)) {
                // "F = NULL" reads as "F IS NULL", as users write it.
                auto n = node(NKind::IsNull);
                n->negate = op != u"=";
                n->kids.push_back(rightNull ? std::move(left) : std::move(right));
                return n;
            }
            auto n = binary(NKind::Cmp, std::move(left), std::move(right));
            n->op = op == u"=" ? CmpOp::Eq
                  : (op == u"<>" || op == u"!=") ? CmpOp::Ne
                  : op == u"<" ? CmpOp::Lt
                  : op == u">" ? CmpOp::Gt
                  : op == u"<=" ? CmpOp::Le
                                : CmpOp::Ge;
            return n;
        }
        if (acceptKeyword("IS")) {
            auto n = node(NKind::IsNull);
            n->negate = acceptKeyword("NOT");
            if (!acceptKeyword("NULL"))
                m_fail(QStringLiteral("atteso NULL dopo IS in posizione %1").arg(peek().pos + 1));
            n->kids.push_back(std::move(left));
            return n;
        }
        bool negate = false;
        if (isKeyword(peek(), "NOT") && m_at + 1 < m_tokens.size()
            && (isKeyword(m_tokens[m_at + 1], "LIKE") || isKeyword(m_tokens[m_at + 1], "IN"))) {
            ++m_at;
            negate = true;
        }
        if (acceptKeyword("LIKE")) {
            auto n = binary(NKind::Like, std::move(left), parseAdd());
            n->negate = negate;
            return n;
        }
        if (acceptKeyword("IN")) {
            auto n = node(NKind::In);
            n->negate = negate;
            n->kids.push_back(std::move(left));
            if (take().kind != TKind::LParen)
                m_fail(QStringLiteral("atteso '(' dopo IN"));
            do {
                n->kids.push_back(parseAdd());
            } while (peek().kind == TKind::Comma && (++m_at, true));
            if (take().kind != TKind::RParen)
                m_fail(QStringLiteral("parentesi non chiusa nell'elenco IN"));
            return n;
        }
        return left;
    }

    NodePtr parseAdd()
    {
        NodePtr left = parsePrimary();
        while (peek().kind == TKind::Op && peek().text == u"+") {
            ++m_at;
            left = binary(NKind::Add, std::move(left), parsePrimary());
        }
        if (peek().kind == TKind::Op && peek().text == u"-")
            m_fail(QStringLiteral("operatore '-' non valido in posizione %1").arg(peek().pos + 1));
        return left;
    }

    NodePtr numberLiteral(const QString &text)
    {
        auto n = node(NKind::Literal);
        n->litNumber = true;
        n->litText = text;
        qint64 i = 0;
        if (!text.contains(u'.') && parseIntText(text, &i)) {
            n->lit.k = VKind::Int;
            n->lit.i = i;
        } else if (const auto c = Currency::parse(text)) {
            n->lit.k = VKind::Cur;
            n->lit.i = c->units();
        } else {
            n->lit.k = VKind::Float;
            n->lit.f = text.toDouble();
        }
        return n;
    }

    NodePtr parsePrimary()
    {
        const Token t = take();
        switch (t.kind) {
        case TKind::End:
            m_fail(QStringLiteral("espressione incompleta"));
        case TKind::LParen: {
            NodePtr inner = parseOr();
            if (take().kind != TKind::RParen)
                m_fail(QStringLiteral("parentesi '(' non chiusa (aperta in posizione %1)").arg(t.pos + 1));
            return inner;
        }
        case TKind::String: {
            auto n = node(NKind::Literal);
            n->lit.k = VKind::Text;
            n->lit.s = t.text;
            n->litText = t.text;
            return n;
        }
        case TKind::Number:
            return numberLiteral(t.text);
        case TKind::Op:
            if (t.text == u"-" && peek().kind == TKind::Number)
                return numberLiteral(u'-' + take().text);
            if (t.text == u"+" && peek().kind == TKind::Number)
                return numberLiteral(take().text);
            m_fail(QStringLiteral("valore atteso al posto di '%1' in posizione %2").arg(t.text).arg(t.pos + 1));
        case TKind::Ident: {
            if (!t.bracketed) {
                if (t.text.compare(u"NULL", Qt::CaseInsensitive) == 0)
                    return node(NKind::Literal);
                if (t.text.compare(u"TRUE", Qt::CaseInsensitive) == 0
                    || t.text.compare(u"FALSE", Qt::CaseInsensitive) == 0) {
                    auto n = node(NKind::Literal);
                    n->lit = Val::boolean(t.text.compare(u"TRUE", Qt::CaseInsensitive) == 0);
                    n->litText = t.text;
                    return n;
                }
                for (const char *kw : {"AND", "OR", "NOT", "IS", "LIKE", "IN"})
                    if (isKeyword(t, kw))
                        m_fail(QStringLiteral("valore atteso al posto di '%1' in posizione %2").arg(t.text).arg(t.pos + 1));
            }
            auto n = node(NKind::Field);
            n->name = t.text;
            return n;
        }
        default:
            m_fail(QStringLiteral("elemento inatteso '%1' in posizione %2").arg(t.text).arg(t.pos + 1));
        }
        return nullptr;
    }

    [[noreturn]] void m_fail(const QString &detail) const { throwFilterError(m_text, detail); }

    QString m_text;
    std::vector<Token> m_tokens;
    size_t m_at = 0;
};

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
    Parser p(text);
    m_root = p.parse();
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

struct Evaluator
{
    const Storage &st;
    int row;
    Qt::CaseSensitivity cs;

    Val eval(const FilterNode &n) const
    {
        switch (n.kind) {
        case NKind::Field:
            return readField(st, n.field, row);
        case NKind::Literal:
            return n.lit;
        case NKind::Add: {
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
        case NKind::Cmp: {
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
        case NKind::And: {
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
        case NKind::Or: {
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
        case NKind::Not: {
            const Val a = eval(*n.kids[0]);
            return a.k == VKind::Null ? a : Val::boolean(!a.i);
        }
        case NKind::IsNull: {
            const bool isNull = eval(*n.kids[0]).k == VKind::Null;
            return Val::boolean(isNull != n.negate);
        }
        case NKind::Like: {
            const Val a = eval(*n.kids[0]);
            const Val p = eval(*n.kids[1]);
            if (a.k == VKind::Null || p.k == VKind::Null)
                return Val();
            return Val::boolean(likeMatch(asText(a), asText(p), cs) != n.negate);
        }
        case NKind::In: {
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
        }
        return Val();
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
