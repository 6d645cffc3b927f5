// The filter's parser: tokens, then a tree by recursive descent.
#include "platform/dataset/DataSetFilterNode.h"

#include "platform/core/Currency.h"

#include <QStringList>

namespace dsinternal {

namespace {

enum class TKind { Ident, String, Number, Op, LParen, RParen, Comma, End };

struct Token
{
    TKind kind = TKind::End;
    QString text;
    int pos = 0;
    bool bracketed = false; // [Field name]: never a keyword
};

using NodePtr = std::unique_ptr<FilterNode>;

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
                i = readQuoted(i, t);
            } else if (c == u'[') {
                i = readBracketedName(i, t);
            } else if (c.isLetter() || c == u'_') {
                i = readWord(i, t);
            } else if (c.isDigit() || (c == u'.' && i + 1 < s.size() && s[i + 1].isDigit())) {
                i = readNumber(i, t);
            } else if (c == u'(' || c == u')' || c == u',') {
                t.kind = c == u'(' ? TKind::LParen : c == u')' ? TKind::RParen : TKind::Comma;
                t.text = c;
                ++i;
            } else if (c == u'+' || c == u'-') {
                t.kind = TKind::Op;
                t.text = c;
                ++i;
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                i = readComparison(i, t);
            } else {
                m_fail(QStringLiteral("carattere '%1' non valido in posizione %2").arg(c).arg(i + 1));
            }
            m_tokens.push_back(t);
        }
        Token end;
        end.pos = int(s.size());
        m_tokens.push_back(end);
    }

    // Each reader fills t from the token at i and returns where the next one may start.

    // 'text' or "text", the quote doubled inside.
    qsizetype readQuoted(qsizetype i, Token &t) const
    {
        const QString &s = m_text;
        const QChar quote = s[i];
        QString v;
        qsizetype j = i + 1;
        bool closed = false;
        while (j < s.size()) {
            if (s[j] == quote) {
                if (j + 1 < s.size() && s[j + 1] == quote) { // doubled quote
                    v += quote;
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
        return j + 1;
    }

    qsizetype readBracketedName(qsizetype i, Token &t) const
    {
        const QString &s = m_text;
        const qsizetype j = s.indexOf(u']', i + 1);
        if (j < 0)
            m_fail(QStringLiteral("parentesi '[' non chiusa in posizione %1").arg(i + 1));
        t.kind = TKind::Ident;
        t.text = s.mid(i + 1, j - i - 1).trimmed();
        t.bracketed = true;
        if (t.text.isEmpty())
            m_fail(QStringLiteral("nome di campo vuoto in posizione %1").arg(i + 1));
        return j + 1;
    }

    qsizetype readWord(qsizetype i, Token &t) const
    {
        const QString &s = m_text;
        qsizetype j = i;
        while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
            ++j;
        t.kind = TKind::Ident;
        t.text = s.mid(i, j - i);
        return j;
    }

    qsizetype readNumber(qsizetype i, Token &t) const
    {
        const QString &s = m_text;
        qsizetype j = i;
        while (j < s.size() && s[j].isDigit())
            ++j;
        if (j < s.size() && s[j] == u'.') {
            ++j;
            while (j < s.size() && s[j].isDigit())
                ++j;
        }
        if (j < s.size() && (s[j].isLetter() || s[j] == u'_'))
            m_fail(QStringLiteral("numero non valido '%1' in posizione %2").arg(s.mid(i, j - i + 1)).arg(i + 1));
        t.kind = TKind::Number;
        t.text = s.mid(i, j - i);
        return j;
    }

    qsizetype readComparison(qsizetype i, Token &t) const
    {
        const QString &s = m_text;
        qsizetype j = i;
        while (j < s.size() && (s[j] == u'=' || s[j] == u'<' || s[j] == u'>' || s[j] == u'!'))
            ++j;
        const QString op = s.mid(i, j - i);
        static const QStringList known = {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("!="),
                                          QStringLiteral("<"), QStringLiteral(">"),  QStringLiteral("<="),
                                          QStringLiteral(">=")};
        if (!known.contains(op))
            m_fail(QStringLiteral("operatore '%1' non valido in posizione %2").arg(op).arg(i + 1));
        t.kind = TKind::Op;
        t.text = op;
        return j;
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

} // namespace

std::unique_ptr<FilterNode> parseFilter(const QString &text)
{
    Parser p(text);
    return p.parse();
}

} // namespace dsinternal
