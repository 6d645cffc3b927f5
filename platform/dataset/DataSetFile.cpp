// Reading the dataset file: a JSON reader cut to the format, strict about
// every value, with the line of the first problem in its message.
#include "platform/dataset/DataSetFile.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <QFile>
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
        const size_t r = size_t(row);
        switch (def.type) {
        case TFieldType::String:
        case TFieldType::Memo: readText(def, col, row); return;
        case TFieldType::Integer: readInteger(def, col, r); return;
        case TFieldType::Currency: readCurrency(def, col, r); return;
        case TFieldType::Float: readFloat(def, col, r); return;
        case TFieldType::Date: readDate(def, col, r); return;
        case TFieldType::DateTime: readDateTime(def, col, r); return;
        case TFieldType::Boolean: readBoolean(def, col, r); return;
        case TFieldType::Blob: readBlob(def, col, r); return;
        }
    }

    [[noreturn]] void badValue(const TFieldDef &def, const QString &shown) const
    {
        fail(QStringLiteral("valore '%1' non valido per il campo '%2' (%3)").arg(shown, def.name, typeLabel(def.type)));
    }

    void readText(const TFieldDef &def, Column &col, int row)
    {
        if (!isStringNext())
            badValue(def, QString::fromLatin1(peekToken()));
        QString s = readString();
        if (def.type == TFieldType::String && def.size > 0 && s.size() > def.size)
            fail(QStringLiteral("il testo del campo '%1' supera la lunghezza di %2 caratteri").arg(def.name).arg(def.size));
        col.setText(row, s);
    }

    void readInteger(const TFieldDef &def, Column &col, size_t r)
    {
        if (isStringNext())
            badValue(def, readString());
        const QByteArray t = readNumberToken();
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok)
            badValue(def, QString::fromLatin1(t));
        col.ensureValues();
        col.nulls[r] = 0;
        col.ints[r] = v;
    }

    void readCurrency(const TFieldDef &def, Column &col, size_t r)
    {
        const QString t = isStringNext() ? readString() : QString::fromLatin1(readNumberToken());
        const auto c = Currency::parse(t);
        if (!c)
            badValue(def, t);
        col.ensureValues();
        col.nulls[r] = 0;
        col.ints[r] = c->units();
    }

    // A number, or "NaN", "Infinity", "-Infinity" as texts.
    void readFloat(const TFieldDef &def, Column &col, size_t r)
    {
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
                badValue(def, t);
        } else {
            const QByteArray t = readNumberToken();
            bool ok = false;
            d = t.toDouble(&ok);
            if (!ok)
                badValue(def, QString::fromLatin1(t));
        }
        col.ensureValues();
        col.nulls[r] = 0;
        col.floats[r] = d;
    }

    void readDate(const TFieldDef &def, Column &col, size_t r)
    {
        if (!isStringNext())
            badValue(def, QString::fromLatin1(peekToken()));
        const QString t = readString();
        const QDate d = parseIsoDate(t);
        if (!d.isValid() || t.size() != 10)
            badValue(def, t);
        col.ensureValues();
        col.nulls[r] = 0;
        col.ints[r] = d.toJulianDay();
    }

    // "yyyy-MM-ddTHH:mm:ss", with ".zzz" or without.
    void readDateTime(const TFieldDef &def, Column &col, size_t r)
    {
        if (!isStringNext())
            badValue(def, QString::fromLatin1(peekToken()));
        const QString t = readString();
        const QDate d = parseIsoDate(t);
        int h = 0, mi = 0, sec = 0, ms = 0;
        const bool timeOk = t.size() >= 19 && t[10] == u'T' && digits(t, 11, 2, &h) && t[13] == u':'
                            && digits(t, 14, 2, &mi) && t[16] == u':' && digits(t, 17, 2, &sec)
                            && (t.size() == 19 || (t.size() == 23 && t[19] == u'.' && digits(t, 20, 3, &ms)));
        if (!d.isValid() || !timeOk || !QTime::isValid(h, mi, sec, ms))
            badValue(def, t);
        col.ensureValues();
        col.nulls[r] = 0;
        col.ints[r] = d.toJulianDay() * 86400000 + ((h * 60 + mi) * 60 + sec) * 1000 + ms;
    }

    void readBoolean(const TFieldDef &def, Column &col, size_t r)
    {
        bool b = false;
        if (tryLiteral("true"))
            b = true;
        else if (!tryLiteral("false"))
            badValue(def, QString::fromLatin1(peekToken()));
        col.ensureValues();
        col.nulls[r] = 0;
        col.ints[r] = b ? 1 : 0;
    }

    void readBlob(const TFieldDef &def, Column &col, size_t r)
    {
        if (!isStringNext())
            badValue(def, QString::fromLatin1(peekToken()));
        const QString t = readString();
        auto res = QByteArray::fromBase64Encoding(t.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (res.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
            fail(QStringLiteral("contenuto base64 non valido nel campo '%1'").arg(def.name));
        col.ensureValues();
        col.nulls[r] = 0;
        col.bytes[r] = res.decoded.isNull() ? QByteArray("") : std::move(res.decoded);
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

// One entry of the change log as read, checked once the rows are known.
struct LogEntry
{
    int row = -1;
    TUpdateStatus status = TUpdateStatus::Unmodified;
    bool hasOriginal = false;
    QVariantList original;
    int line = 0;
};

// A whole file into a storage: its members in any order (each one checking
// what must come before it), then the change log applied to the rows.
class FileReader
{
public:
    FileReader(const QByteArray &data, const QString &source)
        : m_rd(data, source), m_source(source), m_st(std::make_unique<Storage>())
    {
    }

    std::unique_ptr<Storage> read()
    {
        if (m_rd.atEnd())
            throw EDatabaseError(QStringLiteral("File '%1' non valido: il file è vuoto").arg(m_source));
        if (m_rd.peek() != '{')
            notADataSet();
        m_rd.expect('{', "'{'");
        if (m_rd.peek() == '}') {
            m_rd.expect('}', "'}'");
        } else {
            do {
                const QString key = m_rd.readString();
                m_rd.expect(':', "':'");
                readMember(key);
            } while (m_rd.more('}', "'}'"));
        }
        if (!m_rd.atEnd())
            m_rd.fail(QStringLiteral("contenuto oltre la fine dei dati"));
        if (!m_haveFormat)
            notADataSet();
        if (!m_haveFields)
            throw EDatabaseError(QStringLiteral("File '%1' non valido: definizione dei campi mancante").arg(m_source));

        for (auto &c : m_st->cols)
            c.arena.shrink_to_fit(); // growth left up to half of it unused
        applyChangeLog();
        return std::move(m_st);
    }

private:
    [[noreturn]] void notADataSet() const
    {
        throw EDatabaseError(QStringLiteral("File '%1' non valido: non è un file di dataset").arg(m_source));
    }

    void readMember(const QString &key)
    {
        if (key == u"format") {
            const QString f = m_rd.isStringNext() ? m_rd.readString() : QString();
            if (f != QLatin1StringView(DataSetFileFormat))
                notADataSet();
            m_haveFormat = true;
        } else if (key == u"version") {
            const qint64 v = m_rd.readInt("version");
            if (v < 1 || v > DataSetFileVersion)
                m_rd.fail(QStringLiteral("versione %1 del formato non supportata").arg(v));
        } else if (key == u"fields") {
            if (!m_haveFormat)
                notADataSet();
            readFields();
            m_haveFields = true;
        } else if (key == u"rows") {
            if (!m_haveFields)
                m_rd.fail(QStringLiteral("le righe precedono la definizione dei campi"));
            readRows();
            m_haveRows = true;
        } else if (key == u"changeLog") {
            if (!m_haveRows)
                m_rd.fail(QStringLiteral("il registro delle modifiche precede le righe"));
            readChangeLog();
        } else {
            m_rd.skipValue(); // a member of a later version: ignored
        }
    }

    void readFields()
    {
        QList<TFieldDef> defs;
        m_rd.expect('[', "'[' per l'elenco dei campi");
        if (m_rd.peek() == ']') {
            m_rd.expect(']', "']'");
        } else {
            do {
                defs.append(readFieldDef(int(defs.size()) + 1));
            } while (m_rd.more(']', "']'"));
        }
        if (defs.isEmpty())
            m_rd.fail(QStringLiteral("nessun campo definito"));
        try {
            m_st->setDefs(defs);
        } catch (const EDatabaseError &e) {
            m_rd.fail(e.message());
        }
    }

    // {"name": ..., "type": ..., "size": ...}, the number-th field.
    TFieldDef readFieldDef(int number)
    {
        m_rd.expect('{', "'{' per la definizione di un campo");
        TFieldDef d;
        bool haveName = false, haveType = false;
        QString typeName;
        if (m_rd.peek() != '}') {
            do {
                const QString k = m_rd.readString();
                m_rd.expect(':', "':'");
                if (k == u"name") {
                    d.name = m_rd.readString();
                    haveName = true;
                } else if (k == u"type") {
                    typeName = m_rd.readString();
                    haveType = true;
                } else if (k == u"size") {
                    const qint64 sz = m_rd.readInt("size");
                    if (sz < 0 || sz > 1000000)
                        m_rd.fail(QStringLiteral("dimensione %1 non valida").arg(sz));
                    d.size = int(sz);
                } else {
                    m_rd.skipValue();
                }
            } while (m_rd.more('}', "'}'"));
        } else {
            m_rd.expect('}', "'}'");
        }
        if (!haveName || d.name.trimmed().isEmpty())
            m_rd.fail(QStringLiteral("campo %1 senza nome").arg(number));
        if (!haveType)
            m_rd.fail(QStringLiteral("campo '%1' senza tipo").arg(d.name));
        if (!fieldTypeFromName(typeName, &d.type))
            m_rd.fail(QStringLiteral("tipo '%1' sconosciuto per il campo '%2'").arg(typeName, d.name));
        return d;
    }

    void readRows()
    {
        m_rd.expect('[', "'[' per l'elenco delle righe");
        if (m_rd.peek() == ']') {
            m_rd.expect(']', "']'");
            return;
        }
        do {
            const int id = m_st->newRow();
            m_st->natural.push_back(id);
            m_rd.readRow(*m_st, m_st->cols, id, "'[' per una riga");
        } while (m_rd.more(']', "']'"));
    }

    void readChangeLog()
    {
        // The originals go through a one-row scratch column set.
        std::vector<Column> scratch(m_st->cols.size());
        for (size_t f = 0; f < scratch.size(); ++f) {
            scratch[f].init(m_st->cols[f].type);
            scratch[f].resize(1);
        }
        m_rd.expect('[', "'[' per il registro delle modifiche");
        if (m_rd.peek() == ']') {
            m_rd.expect(']', "']'");
            return;
        }
        do {
            m_log.push_back(readLogEntry(scratch));
        } while (m_rd.more(']', "']'"));
    }

    // {"row": ..., "status": ..., "original": [...]}
    LogEntry readLogEntry(std::vector<Column> &scratch)
    {
        LogEntry e;
        e.line = m_rd.line();
        m_rd.expect('{', "'{' per una modifica");
        if (m_rd.peek() == '}') {
            m_rd.expect('}', "'}'");
            return e;
        }
        do {
            const QString k = m_rd.readString();
            m_rd.expect(':', "':'");
            if (k == u"row") {
                e.row = int(std::clamp<qint64>(m_rd.readInt("row"), -1, INT_MAX));
            } else if (k == u"status") {
                const QString s = m_rd.readString();
                e.status = s == u"Inserted"   ? TUpdateStatus::Inserted
                         : s == u"Modified" ? TUpdateStatus::Modified
                         : s == u"Deleted"  ? TUpdateStatus::Deleted
                                            : TUpdateStatus::Unmodified;
                if (e.status == TUpdateStatus::Unmodified)
                    m_rd.fail(QStringLiteral("stato di modifica '%1' sconosciuto").arg(s));
            } else if (k == u"original") {
                m_rd.readRow(*m_st, scratch, 0, "'[' per i valori originali");
                for (const auto &c : scratch)
                    e.original.append(c.get(0));
                e.hasOriginal = true;
            } else {
                m_rd.skipValue();
            }
        } while (m_rd.more('}', "'}'"));
        return e;
    }

    void applyChangeLog()
    {
        std::unordered_set<int> seen;
        for (const LogEntry &e : m_log) {
            auto bad = [&](const QString &d) {
                throw EDatabaseError(QStringLiteral("File '%1' non valido: registro delle modifiche, %2 (riga %3)")
                                         .arg(m_source, d)
                                         .arg(e.line));
            };
            if (e.row < 0 || e.row >= int(m_st->natural.size()))
                bad(QStringLiteral("riga %1 inesistente").arg(e.row));
            if (e.status == TUpdateStatus::Unmodified)
                bad(QStringLiteral("stato mancante"));
            if (!seen.insert(e.row).second)
                bad(QStringLiteral("riga %1 indicata due volte").arg(e.row));
            const bool needsOriginal = e.status != TUpdateStatus::Inserted;
            if (needsOriginal != e.hasOriginal)
                bad(needsOriginal ? QStringLiteral("valori originali mancanti")
                                  : QStringLiteral("valori originali per una riga inserita"));
            const int id = m_st->natural[size_t(e.row)];
            RowMeta &m = m_st->meta[size_t(id)];
            m.status = e.status;
            m.seq = m_st->nextSeq++;
            if (e.hasOriginal)
                m_st->original[id] = e.original;
            ++m_st->changes;
        }
    }

    Reader m_rd;
    QString m_source;
    std::unique_ptr<Storage> m_st;
    bool m_haveFormat = false;
    bool m_haveFields = false;
    bool m_haveRows = false;
    std::vector<LogEntry> m_log;
};

} // namespace

std::unique_ptr<Storage> readDataSetFile(const QByteArray &data, const QString &source)
{
    return FileReader(data, source).read();
}

std::unique_ptr<Storage> readDataSetFileAt(const QString &path)
{
    QFile f(path);
    if (!f.exists())
        throw EDatabaseError(QStringLiteral("File '%1' non trovato").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Impossibile leggere il file '%1': %2").arg(path, f.errorString()));
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EDatabaseError(QStringLiteral("Impossibile leggere il file '%1': %2").arg(path, f.errorString()));
    return readDataSetFile(data, path);
}

} // namespace dsinternal
