#include "platform/dataset/DataSetFile.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace dsinternal {

namespace {

const char kFormat[] = "velcu-dataset";
constexpr int kVersion = 1;

// ---------------------------------------------------------------- writing

void putString(QByteArray &out, QStringView s)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QChar *d = s.data();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == u'"') {
            out += "\\\"";
        } else if (c == u'\\') {
            out += "\\\\";
        } else if (c < 0x20) {
            switch (c) {
            case u'\n': out += "\\n"; break;
            case u'\r': out += "\\r"; break;
            case u'\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xf];
            }
        } else if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && d[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, d[i + 1].unicode());
            ++i;
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            // A lone surrogate has no UTF-8 form: keep it exactly as an escape.
            out += "\\u";
            out += hex[(c >> 12) & 0xf];
            out += hex[(c >> 8) & 0xf];
            out += hex[(c >> 4) & 0xf];
            out += hex[c & 0xf];
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    out += '"';
}

// Dates by hand: QDate::toString re-reads its format for every cell.
void putDate(QByteArray &out, qint64 julianDay)
{
    int y = 0, m = 0, d = 0;
    QDate::fromJulianDay(julianDay).getDate(&y, &m, &d);
    char buf[32];
    const int n = (y >= 0 && y <= 9999) ? std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d) : 0;
    if (n > 0)
        out.append(buf, n);
    else
        out += QDate::fromJulianDay(julianDay).toString(Qt::ISODate).toLatin1();
}

void putValue(QByteArray &out, const Column &c, int row)
{
    if (c.isNull(row)) {
        out += "null";
        return;
    }
    const size_t r = size_t(row);
    switch (c.type) {
    case TFieldType::String:
    case TFieldType::Memo:
        putString(out, c.textAt(row));
        break;
    case TFieldType::Integer:
        out += QByteArray::number(c.ints[r]);
        break;
    case TFieldType::Currency: {
        // "-1234.5678": the canonical text of Currency, written without a QString.
        const qint64 u = c.ints[r];
        const quint64 mag = u < 0 ? quint64(0) - quint64(u) : quint64(u);
        char buf[40];
        const int n = std::snprintf(buf, sizeof buf, "\"%s%llu.%04llu\"", u < 0 ? "-" : "",
                                    static_cast<unsigned long long>(mag / 10000),
                                    static_cast<unsigned long long>(mag % 10000));
        out.append(buf, n);
        break;
    }
    case TFieldType::Float: {
        const double d = c.floats[r];
        if (std::isnan(d))
            out += "\"NaN\"";
        else if (std::isinf(d))
            out += d > 0 ? "\"Infinity\"" : "\"-Infinity\"";
        else if (d == 0 && std::signbit(d))
            out += "-0.0"; // Qt's shortest form drops the sign of zero
        else
            out += QByteArray::number(d, 'g', QLocale::FloatingPointShortest); // shortest text that reads back exactly
        break;
    }
    case TFieldType::Date:
        out += '"';
        putDate(out, c.ints[r]);
        out += '"';
        break;
    case TFieldType::DateTime: {
        qint64 day = c.ints[r] / 86400000, ms = c.ints[r] % 86400000;
        if (ms < 0) {
            ms += 86400000;
            --day;
        }
        out += '"';
        putDate(out, day);
        char buf[32];
        const int n = std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60),
                                    int(ms / 1000 % 60), int(ms % 1000));
        out.append(buf, n);
        out += '"';
        break;
    }
    case TFieldType::Boolean:
        out += c.ints[r] ? "true" : "false";
        break;
    case TFieldType::Blob:
        out += '"';
        out += c.bytes[r].toBase64();
        out += '"';
        break;
    }
}

void putRow(QByteArray &out, const std::vector<Column> &cols, int row)
{
    out += '[';
    for (size_t f = 0; f < cols.size(); ++f) {
        if (f)
            out += ',';
        putValue(out, cols[f], row);
    }
    out += ']';
}

bool digits(const QString &t, qsizetype at, int n, int *out)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (at + i >= t.size())
            return false;
        const char16_t c = t[at + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *out = v;
    return true;
}

// "yyyy-MM-dd" at the start of t; an invalid QDate otherwise.
QDate parseIsoDate(const QString &t)
{
    int y = 0, m = 0, d = 0;
    if (t.size() < 10 || !digits(t, 0, 4, &y) || t[4] != u'-' || !digits(t, 5, 2, &m) || t[7] != u'-'
        || !digits(t, 8, 2, &d))
        return QDate();
    return QDate(y, m, d);
}

const char *statusName(TUpdateStatus s)
{
    switch (s) {
    case TUpdateStatus::Modified: return "Modified";
    case TUpdateStatus::Inserted: return "Inserted";
    case TUpdateStatus::Deleted: return "Deleted";
    default: return "Unmodified";
    }
}

// ---------------------------------------------------------------- reading

class Reader
{
public:
    Reader(const QByteArray &data, const QString &source)
        : m_p(data.constData()), m_end(data.constData() + data.size()), m_source(source)
    {
    }

    [[noreturn]] void fail(const QString &detail) const
    {
        throw EDatabaseError(QStringLiteral("File '%1' non valido: %2 (riga %3)").arg(m_source, detail).arg(m_line));
    }

    void skipWs()
    {
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                return;
            ++m_p;
        }
    }

    bool atEnd()
    {
        skipWs();
        return m_p >= m_end;
    }

    char peek()
    {
        skipWs();
        if (m_p >= m_end)
            fail(QStringLiteral("il file finisce prima del previsto"));
        return *m_p;
    }

    void expect(char c, const char *what)
    {
        if (peek() != c)
            fail(QStringLiteral("atteso %1").arg(QLatin1StringView(what)));
        ++m_p;
    }

    // After a value inside a list or object: true when another one follows.
    bool more(char close, const char *what)
    {
        const char c = peek();
        if (c == ',') {
            ++m_p;
            return true;
        }
        if (c == close) {
            ++m_p;
            return false;
        }
        fail(QStringLiteral("attesa ',' o %1").arg(QLatin1StringView(what)));
    }

    bool tryLiteral(const char *word)
    {
        const qsizetype n = qsizetype(strlen(word));
        skipWs();
        if (m_end - m_p >= n && memcmp(m_p, word, size_t(n)) == 0) {
            const char *after = m_p + n;
            if (after < m_end && (std::isalnum(static_cast<unsigned char>(*after)) || *after == '_'))
                return false;
            m_p = after;
            return true;
        }
        return false;
    }

    bool isStringNext() { return peek() == '"'; }

    QString readString()
    {
        if (peek() != '"')
            fail(QStringLiteral("atteso un testo tra virgolette"));
        ++m_p;
        const char *start = m_p;
        while (m_p < m_end && *m_p != '"' && *m_p != '\\' && static_cast<unsigned char>(*m_p) >= 0x20)
            ++m_p;
        if (m_p < m_end && *m_p == '"') {
            QString s = QString::fromUtf8(start, m_p - start);
            ++m_p;
            return s;
        }
        // Slow path: escapes.
        QString s = QString::fromUtf8(start, m_p - start);
        while (true) {
            if (m_p >= m_end)
                fail(QStringLiteral("testo tra virgolette non chiuso"));
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                ++m_p;
                return s;
            }
            if (c < 0x20)
                fail(QStringLiteral("carattere di controllo non ammesso in un testo"));
            if (c != '\\') {
                const char *run = m_p;
                while (m_p < m_end && *m_p != '"' && *m_p != '\\' && static_cast<unsigned char>(*m_p) >= 0x20)
                    ++m_p;
                s += QString::fromUtf8(run, m_p - run);
                continue;
            }
            if (++m_p >= m_end)
                fail(QStringLiteral("testo tra virgolette non chiuso"));
            switch (*m_p++) {
            case '"': s += u'"'; break;
            case '\\': s += u'\\'; break;
            case '/': s += u'/'; break;
            case 'b': s += u'\b'; break;
            case 'f': s += u'\f'; break;
            case 'n': s += u'\n'; break;
            case 'r': s += u'\r'; break;
            case 't': s += u'\t'; break;
            case 'u': {
                if (m_end - m_p < 4)
                    fail(QStringLiteral("sequenza \\u incompleta"));
                bool ok = false;
                const uint code = QByteArray(m_p, 4).toUInt(&ok, 16);
                if (!ok)
                    fail(QStringLiteral("sequenza \\u non valida"));
                m_p += 4;
                s += QChar(char16_t(code));
                break;
            }
            default:
                fail(QStringLiteral("sequenza di escape non valida"));
            }
        }
    }

    QByteArray readNumberToken()
    {
        skipWs();
        const char *start = m_p;
        while (m_p < m_end && (std::isdigit(static_cast<unsigned char>(*m_p)) || *m_p == '-' || *m_p == '+'
                               || *m_p == '.' || *m_p == 'e' || *m_p == 'E'))
            ++m_p;
        if (m_p == start)
            fail(QStringLiteral("atteso un numero"));
        return QByteArray(start, m_p - start);
    }

    qint64 readInt(const char *what)
    {
        const QByteArray t = readNumberToken();
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok)
            fail(QStringLiteral("%1: numero intero non valido '%2'").arg(QLatin1StringView(what), QString::fromLatin1(t)));
        return v;
    }

    // Skips any JSON value (members we do not know).
    void skipValue(int depth = 0)
    {
        if (depth > 64)
            fail(QStringLiteral("struttura troppo annidata"));
        const char c = peek();
        if (c == '"') {
            readString();
        } else if (c == '[' || c == '{') {
            const char close = c == '[' ? ']' : '}';
            ++m_p;
            if (peek() == close) {
                ++m_p;
                return;
            }
            do {
                if (close == '}') {
                    readString();
                    expect(':', "':'");
                }
                skipValue(depth + 1);
            } while (more(close, close == ']' ? "']'" : "'}'"));
        } else if (!tryLiteral("true") && !tryLiteral("false") && !tryLiteral("null")) {
            readNumberToken();
        }
    }

    // One value of a field into a column row.
    void readValue(const TFieldDef &def, Column &col, int row)
    {
        if (tryLiteral("null")) {
            col.set(row, QVariant());
            return;
        }
        auto bad = [&](const QString &shown) {
            fail(QStringLiteral("valore '%1' non valido per il campo '%2' (%3)").arg(shown, def.name, typeLabel(def.type)));
        };
        const size_t r = size_t(row);
        switch (def.type) {
        case TFieldType::String:
        case TFieldType::Memo: {
            if (!isStringNext())
                bad(QString::fromLatin1(peekToken()));
            QString s = readString();
            if (def.type == TFieldType::String && def.size > 0 && s.size() > def.size)
                fail(QStringLiteral("il testo del campo '%1' supera la lunghezza di %2 caratteri")
                         .arg(def.name)
                         .arg(def.size));
            col.setText(row, s);
            return;
        }
        case TFieldType::Integer: {
            if (isStringNext())
                bad(readString());
            const QByteArray t = readNumberToken();
            bool ok = false;
            const qint64 v = t.toLongLong(&ok);
            if (!ok)
                bad(QString::fromLatin1(t));
            col.nulls[r] = 0;
            col.ints[r] = v;
            return;
        }
        case TFieldType::Currency: {
            const QString t = isStringNext() ? readString() : QString::fromLatin1(readNumberToken());
            const auto c = Currency::parse(t);
            if (!c)
                bad(t);
            col.nulls[r] = 0;
            col.ints[r] = c->units();
            return;
        }
        case TFieldType::Float: {
            double d = 0;
            if (isStringNext()) {
                const QString t = readString();
                if (t == u"NaN")
                    d = std::nan("");
                else if (t == u"Infinity")
                    d = HUGE_VAL;
                else if (t == u"-Infinity")
                    d = -HUGE_VAL;
                else
                    bad(t);
            } else {
                const QByteArray t = readNumberToken();
                bool ok = false;
                d = t.toDouble(&ok);
                if (!ok)
                    bad(QString::fromLatin1(t));
            }
            col.nulls[r] = 0;
            col.floats[r] = d;
            return;
        }
        case TFieldType::Date: {
            if (!isStringNext())
                bad(QString::fromLatin1(peekToken()));
            const QString t = readString();
            const QDate d = parseIsoDate(t);
            if (!d.isValid() || t.size() != 10)
                bad(t);
            col.nulls[r] = 0;
            col.ints[r] = d.toJulianDay();
            return;
        }
        case TFieldType::DateTime: {
            if (!isStringNext())
                bad(QString::fromLatin1(peekToken()));
            const QString t = readString();
            const QDate d = parseIsoDate(t);
            int h = 0, mi = 0, sec = 0, ms = 0;
            const bool timeOk = t.size() >= 19 && t[10] == u'T' && digits(t, 11, 2, &h) && t[13] == u':'
                                && digits(t, 14, 2, &mi) && t[16] == u':' && digits(t, 17, 2, &sec)
                                && (t.size() == 19 || (t.size() == 23 && t[19] == u'.' && digits(t, 20, 3, &ms)));
            if (!d.isValid() || !timeOk || !QTime::isValid(h, mi, sec, ms))
                bad(t);
            col.nulls[r] = 0;
            col.ints[r] = d.toJulianDay() * 86400000 + ((h * 60 + mi) * 60 + sec) * 1000 + ms;
            return;
        }
        case TFieldType::Boolean: {
            bool b = false;
            if (tryLiteral("true"))
                b = true;
            else if (!tryLiteral("false"))
                bad(QString::fromLatin1(peekToken()));
            col.nulls[r] = 0;
            col.ints[r] = b ? 1 : 0;
            return;
        }
        case TFieldType::Blob: {
            if (!isStringNext())
                bad(QString::fromLatin1(peekToken()));
            const QString t = readString();
            auto res = QByteArray::fromBase64Encoding(t.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (res.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
                fail(QStringLiteral("contenuto base64 non valido nel campo '%1'").arg(def.name));
            col.nulls[r] = 0;
            col.bytes[r] = res.decoded.isNull() ? QByteArray("") : std::move(res.decoded);
            return;
        }
        }
    }

    // A few characters of what follows, for messages.
    QByteArray peekToken()
    {
        skipWs();
        const char *e = m_p;
        while (e < m_end && e - m_p < 20 && *e != ',' && *e != ']' && *e != '}' && *e != '\n')
            ++e;
        return QByteArray(m_p, e - m_p);
    }

    // A row "[v1, v2, ...]" into row `row` of the columns.
    void readRow(const Storage &st, std::vector<Column> &cols, int row, const char *what)
    {
        expect('[', what);
        const int n = int(st.defs.size());
        int i = 0;
        if (peek() == ']') {
            ++m_p;
        } else {
            do {
                if (i >= n)
                    fail(QStringLiteral("la riga ha più di %1 valori").arg(n));
                readValue(st.defs[i], cols[size_t(i)], row);
                ++i;
            } while (more(']', "']'"));
        }
        if (i != n)
            fail(QStringLiteral("la riga ha %1 valori invece di %2").arg(i).arg(n));
    }

    int line() const { return m_line; }

private:
    const char *m_p;
    const char *m_end;
    QString m_source;
    int m_line = 1;
};

} // namespace

QByteArray writeDataSetFile(const Storage &st)
{
    QByteArray out;
    out.reserve(qsizetype(256 + st.natural.size() * (16 + st.defs.size() * 12)));
    out += "{\"format\":\"";
    out += kFormat;
    out += "\",\"version\":";
    out += QByteArray::number(kVersion);
    out += ",\n\"fields\":[";
    for (int i = 0; i < st.defs.size(); ++i) {
        const TFieldDef &d = st.defs[i];
        out += i ? ",\n" : "\n";
        out += "{\"name\":";
        putString(out, d.name);
        out += ",\"type\":\"";
        out += fieldTypeName(d.type).toLatin1();
        out += '"';
        if (d.size > 0) {
            out += ",\"size\":";
            out += QByteArray::number(d.size);
        }
        out += '}';
    }
    out += "\n],\n\"rows\":[";
    std::unordered_map<int, int> position;
    const bool logged = st.changes > 0;
    int pos = 0;
    for (int id : st.natural) {
        const RowMeta &m = st.meta[size_t(id)];
        if (!m.live)
            continue;
        out += pos ? ",\n" : "\n";
        putRow(out, st.cols, id);
        if (logged && m.status != TUpdateStatus::Unmodified)
            position[id] = pos;
        ++pos;
    }
    out += "\n]";
    if (logged) {
        std::vector<int> ids;
        for (const auto &[id, p] : position)
            ids.push_back(id);
        std::sort(ids.begin(), ids.end(), [&](int a, int b) { return st.meta[size_t(a)].seq < st.meta[size_t(b)].seq; });
        // The originals go through a one-row scratch column set.
        std::vector<Column> scratch(st.cols.size());
        for (size_t f = 0; f < scratch.size(); ++f) {
            scratch[f].init(st.cols[f].type);
            scratch[f].resize(1);
        }
        out += ",\n\"changeLog\":[";
        bool firstEntry = true;
        for (int id : ids) {
            out += firstEntry ? "\n" : ",\n";
            firstEntry = false;
            out += "{\"row\":";
            out += QByteArray::number(position[id]);
            out += ",\"status\":\"";
            out += statusName(st.meta[size_t(id)].status);
            out += '"';
            const auto orig = st.original.find(id);
            if (orig != st.original.end()) {
                for (size_t f = 0; f < scratch.size(); ++f)
                    scratch[f].set(0, orig->second.value(qsizetype(f)));
                out += ",\"original\":";
                putRow(out, scratch, 0);
            }
            out += '}';
        }
        out += "\n]";
    }
    out += "}\n";
    return out;
}

std::unique_ptr<Storage> readDataSetFile(const QByteArray &data, const QString &source)
{
    Reader rd(data, source);
    if (rd.atEnd())
        throw EDatabaseError(QStringLiteral("File '%1' non valido: il file è vuoto").arg(source));
    if (rd.peek() != '{')
        throw EDatabaseError(QStringLiteral("File '%1' non valido: non è un file di dataset").arg(source));
    rd.expect('{', "'{'");

    auto st = std::make_unique<Storage>();
    bool haveFormat = false, haveFields = false, haveRows = false;
    struct LogEntry
    {
        int row = -1;
        TUpdateStatus status = TUpdateStatus::Unmodified;
        bool hasOriginal = false;
        QVariantList original;
        int line = 0;
    };
    std::vector<LogEntry> log;

    if (rd.peek() == '}') {
        rd.expect('}', "'}'");
    } else {
        do {
            const QString key = rd.readString();
            rd.expect(':', "':'");
            if (key == u"format") {
                const QString f = rd.isStringNext() ? rd.readString() : QString();
                if (f != QLatin1StringView(kFormat))
                    throw EDatabaseError(QStringLiteral("File '%1' non valido: non è un file di dataset").arg(source));
                haveFormat = true;
            } else if (key == u"version") {
                const qint64 v = rd.readInt("version");
                if (v < 1 || v > kVersion)
                    rd.fail(QStringLiteral("versione %1 del formato non supportata").arg(v));
            } else if (key == u"fields") {
                if (!haveFormat)
                    throw EDatabaseError(QStringLiteral("File '%1' non valido: non è un file di dataset").arg(source));
                QList<TFieldDef> defs;
                rd.expect('[', "'[' per l'elenco dei campi");
                if (rd.peek() == ']') {
                    rd.expect(']', "']'");
                } else {
                    do {
                        rd.expect('{', "'{' per la definizione di un campo");
                        TFieldDef d;
                        bool haveName = false, haveType = false;
                        QString typeName;
                        if (rd.peek() != '}') {
                            do {
                                const QString k = rd.readString();
                                rd.expect(':', "':'");
                                if (k == u"name") {
                                    d.name = rd.readString();
                                    haveName = true;
                                } else if (k == u"type") {
                                    typeName = rd.readString();
                                    haveType = true;
                                } else if (k == u"size") {
                                    const qint64 sz = rd.readInt("size");
                                    if (sz < 0 || sz > 1000000)
                                        rd.fail(QStringLiteral("dimensione %1 non valida").arg(sz));
                                    d.size = int(sz);
                                } else {
                                    rd.skipValue();
                                }
                            } while (rd.more('}', "'}'"));
                        } else {
                            rd.expect('}', "'}'");
                        }
                        if (!haveName || d.name.trimmed().isEmpty())
                            rd.fail(QStringLiteral("campo %1 senza nome").arg(defs.size() + 1));
                        if (!haveType)
                            rd.fail(QStringLiteral("campo '%1' senza tipo").arg(d.name));
                        if (!fieldTypeFromName(typeName, &d.type))
                            rd.fail(QStringLiteral("tipo '%1' sconosciuto per il campo '%2'").arg(typeName, d.name));
                        defs.append(d);
                    } while (rd.more(']', "']'"));
                }
                if (defs.isEmpty())
                    rd.fail(QStringLiteral("nessun campo definito"));
                try {
                    st->setDefs(defs);
                } catch (const EDatabaseError &e) {
                    rd.fail(e.message());
                }
                haveFields = true;
            } else if (key == u"rows") {
                if (!haveFields)
                    rd.fail(QStringLiteral("le righe precedono la definizione dei campi"));
                rd.expect('[', "'[' per l'elenco delle righe");
                if (rd.peek() == ']') {
                    rd.expect(']', "']'");
                } else {
                    do {
                        const int id = st->newRow();
                        st->natural.push_back(id);
                        rd.readRow(*st, st->cols, id, "'[' per una riga");
                    } while (rd.more(']', "']'"));
                }
                haveRows = true;
            } else if (key == u"changeLog") {
                if (!haveRows)
                    rd.fail(QStringLiteral("il registro delle modifiche precede le righe"));
                std::vector<Column> scratch(st->cols.size());
                for (size_t f = 0; f < scratch.size(); ++f) {
                    scratch[f].init(st->cols[f].type);
                    scratch[f].resize(1);
                }
                rd.expect('[', "'[' per il registro delle modifiche");
                if (rd.peek() == ']') {
                    rd.expect(']', "']'");
                } else {
                    do {
                        LogEntry e;
                        e.line = rd.line();
                        rd.expect('{', "'{' per una modifica");
                        if (rd.peek() != '}') {
                            do {
                                const QString k = rd.readString();
                                rd.expect(':', "':'");
                                if (k == u"row") {
                                    e.row = int(std::clamp<qint64>(rd.readInt("row"), -1, INT_MAX));
                                } else if (k == u"status") {
                                    const QString s = rd.readString();
                                    e.status = s == u"Inserted"   ? TUpdateStatus::Inserted
                                             : s == u"Modified" ? TUpdateStatus::Modified
                                             : s == u"Deleted"  ? TUpdateStatus::Deleted
                                                                : TUpdateStatus::Unmodified;
                                    if (e.status == TUpdateStatus::Unmodified)
                                        rd.fail(QStringLiteral("stato di modifica '%1' sconosciuto").arg(s));
                                } else if (k == u"original") {
                                    rd.readRow(*st, scratch, 0, "'[' per i valori originali");
                                    for (const auto &c : scratch)
                                        e.original.append(c.get(0));
                                    e.hasOriginal = true;
                                } else {
                                    rd.skipValue();
                                }
                            } while (rd.more('}', "'}'"));
                        } else {
                            rd.expect('}', "'}'");
                        }
                        log.push_back(std::move(e));
                    } while (rd.more(']', "']'"));
                }
            } else {
                rd.skipValue(); // a member of a later version: ignored
            }
        } while (rd.more('}', "'}'"));
    }
    if (!rd.atEnd())
        rd.fail(QStringLiteral("contenuto oltre la fine dei dati"));
    if (!haveFormat)
        throw EDatabaseError(QStringLiteral("File '%1' non valido: non è un file di dataset").arg(source));
    if (!haveFields)
        throw EDatabaseError(QStringLiteral("File '%1' non valido: definizione dei campi mancante").arg(source));

    for (auto &c : st->cols)
        c.arena.shrink_to_fit(); // growth left up to half of it unused

    std::unordered_set<int> seen;
    for (const LogEntry &e : log) {
        auto bad = [&](const QString &d) {
            throw EDatabaseError(
                QStringLiteral("File '%1' non valido: registro delle modifiche, %2 (riga %3)").arg(source, d).arg(e.line));
        };
        if (e.row < 0 || e.row >= int(st->natural.size()))
            bad(QStringLiteral("riga %1 inesistente").arg(e.row));
        if (e.status == TUpdateStatus::Unmodified)
            bad(QStringLiteral("stato mancante"));
        if (!seen.insert(e.row).second)
            bad(QStringLiteral("riga %1 indicata due volte").arg(e.row));
        const bool needsOriginal = e.status != TUpdateStatus::Inserted;
        if (needsOriginal != e.hasOriginal)
            bad(needsOriginal ? QStringLiteral("valori originali mancanti") : QStringLiteral("valori originali per una riga inserita"));
        const int id = st->natural[size_t(e.row)];
        RowMeta &m = st->meta[size_t(id)];
        m.status = e.status;
        m.seq = st->nextSeq++;
        if (e.hasOriginal)
            st->original[id] = e.original;
        ++st->changes;
    }
    return st;
}

} // namespace dsinternal
