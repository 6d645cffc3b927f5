// Writing the dataset file: the fields, the rows in their natural order and,
// when changes are pending, the change log with the original values.
#include "platform/dataset/DataSetFile.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace dsinternal {

namespace {

void putString(QByteArray &out, QStringView s)
{
    // Room for the worst case first (six bytes a unit: the escape of a
    // control character), then written through a pointer and cut to what was
    // written: a million field rows went through an append per character.
    static const char hex[] = "0123456789abcdef";
    const QChar *d = s.data();
    const qsizetype n = s.size();
    const qsizetype at = out.size();
    out.resize(at + 2 + 6 * n);
    char *const begin = out.data();
    char *p = begin + at;
    *p++ = '"';
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\') { // nearly every character
            *p++ = char(c);
            continue;
        }
        if (c == u'"') {
            *p++ = '\\';
            *p++ = '"';
        } else if (c == u'\\') {
            *p++ = '\\';
            *p++ = '\\';
        } else if (c < 0x20) {
            *p++ = '\\';
            switch (c) {
            case u'\n': *p++ = 'n'; break;
            case u'\r': *p++ = 'r'; break;
            case u'\t': *p++ = 't'; break;
            default:
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = hex[c >> 4];
                *p++ = hex[c & 0xf];
            }
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && d[i + 1].isLowSurrogate()) {
            // two units, four bytes
            const char32_t cp = QChar::surrogateToUcs4(c, d[i + 1].unicode());
            ++i;
            *p++ = char(0xF0 | (cp >> 18));
            *p++ = char(0x80 | ((cp >> 12) & 0x3F));
            *p++ = char(0x80 | ((cp >> 6) & 0x3F));
            *p++ = char(0x80 | (cp & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            // A lone surrogate has no UTF-8 form: keep it exactly as an escape.
            *p++ = '\\';
            *p++ = 'u';
            *p++ = hex[(c >> 12) & 0xf];
            *p++ = hex[(c >> 8) & 0xf];
            *p++ = hex[(c >> 4) & 0xf];
            *p++ = hex[c & 0xf];
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(p - begin);
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

const char *statusName(TUpdateStatus s)
{
    switch (s) {
    case TUpdateStatus::Modified: return "Modified";
    case TUpdateStatus::Inserted: return "Inserted";
    case TUpdateStatus::Deleted: return "Deleted";
    default: return "Unmodified";
    }
}

} // namespace

QByteArray writeDataSetFile(const Storage &st)
{
    QByteArray out;
    out.reserve(qsizetype(256 + st.natural.size() * (16 + st.defs.size() * 12)));
    writeDataSetFile(st, out, {});
    return out;
}

void writeDataSetFile(const Storage &st, QByteArray &out, const std::function<void(QByteArray &)> &flush)
{
    // with a sink the text goes out a block at a time: a file of a million
    // rows is never whole in memory
    constexpr qsizetype kBlock = 1 << 20;
    auto spill = [&] {
        if (flush && out.size() >= kBlock) {
            flush(out);
            out.resize(0);
        }
    };
    if (flush)
        out.reserve(kBlock + 4096);
    out += "{\"format\":\"";
    out += DataSetFileFormat;
    out += "\",\"version\":";
    out += QByteArray::number(DataSetFileVersion);
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
        spill();
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
            spill();
        }
        out += "\n]";
    }
    out += "}\n";
    if (flush) {
        flush(out);
        out.resize(0);
    }
}

void writeDataSetFileTo(const Storage &storage, const QString &path, TOvSafeFile::Access access)
{
    TOvSafeFile file(path, access);
    file.open();
    QByteArray block;
    writeDataSetFile(storage, block, [&file](QByteArray &text) { file.write(text); });
    file.commit();
}

} // namespace dsinternal
