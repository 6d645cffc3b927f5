#include "platform/dataset/DataSetStorage.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 MsPerDay = 86400000;

struct TypeName
{
    TFieldType type;
    const char *name;
};
constexpr TypeName kTypeNames[] = {
    {TFieldType::String, "String"},     {TFieldType::Integer, "Integer"}, {TFieldType::Currency, "Currency"},
    {TFieldType::Float, "Float"},       {TFieldType::Date, "Date"},       {TFieldType::DateTime, "DateTime"},
    {TFieldType::Boolean, "Boolean"},   {TFieldType::Memo, "Memo"},       {TFieldType::Blob, "Blob"},
};

bool isTextual(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

bool isCurrency(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<Currency>();
}

} // namespace

QString fieldTypeName(TFieldType type)
{
    for (const auto &t : kTypeNames)
        if (t.type == type)
            return QString::fromLatin1(t.name);
    return QString();
}

bool fieldTypeFromName(const QString &name, TFieldType *type)
{
    for (const auto &t : kTypeNames)
        if (name.compare(QLatin1StringView(t.name), Qt::CaseInsensitive) == 0) {
            *type = t.type;
            return true;
        }
    return false;
}

namespace dsinternal {

namespace {

#if defined(__linux__)
constexpr size_t MapFromBytes = size_t(1) << 20;

size_t pageRounded(size_t bytes)
{
    static const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}
#endif

} // namespace

TextArena::~TextArena()
{
    release();
}

void TextArena::release() noexcept
{
#if defined(__linux__)
    if (m_mapped) {
        munmap(m_data, m_capacity * sizeof(char16_t));
        m_data = nullptr;
        m_mapped = false;
        return;
    }
#endif
    std::free(m_data);
    m_data = nullptr;
}

void TextArena::reserve(size_t n)
{
    if (n <= m_capacity)
        return;
#if defined(__linux__)
    if (n * sizeof(char16_t) >= MapFromBytes) {
        const size_t bytes = pageRounded(n * sizeof(char16_t));
        void *grown = MAP_FAILED;
        if (m_mapped) {
            grown = mremap(m_data, m_capacity * sizeof(char16_t), bytes, MREMAP_MAYMOVE);
        } else {
            grown = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (grown != MAP_FAILED && m_size > 0)
                std::memcpy(grown, m_data, m_size * sizeof(char16_t));
            if (grown != MAP_FAILED)
                std::free(m_data);
        }
        if (grown == MAP_FAILED)
            throw std::bad_alloc();
        m_data = static_cast<char16_t *>(grown);
        m_capacity = bytes / sizeof(char16_t); // a mapping's size is a whole number of pages
        m_mapped = true;
        return;
    }
#endif
    void *grown = std::realloc(m_data, n * sizeof(char16_t));
    if (!grown)
        throw std::bad_alloc();
    m_data = static_cast<char16_t *>(grown);
    m_capacity = n;
}

void TextArena::append(const char16_t *text, size_t n)
{
    if (n == 0)
        return;
    if (m_size + n > m_capacity)
        reserve(std::max({m_size + n, m_capacity * 2, size_t(64)}));
    std::memcpy(m_data + m_size, text, n * sizeof(char16_t));
    m_size += n;
}

void TextArena::shrink_to_fit()
{
    if (m_capacity == m_size)
        return;
    if (m_size == 0) {
        release();
        m_capacity = 0;
        return;
    }
#if defined(__linux__)
    if (m_mapped) {
        // the pages past the text go back; the block stays where it is
        const size_t bytes = pageRounded(m_size * sizeof(char16_t));
        if (bytes < m_capacity * sizeof(char16_t)
            && mremap(m_data, m_capacity * sizeof(char16_t), bytes, 0) != MAP_FAILED)
            m_capacity = bytes / sizeof(char16_t);
        return;
    }
#endif
    if (void *shrunk = std::realloc(m_data, m_size * sizeof(char16_t))) {
        m_data = static_cast<char16_t *>(shrunk);
        m_capacity = m_size;
    }
}

Repr reprOf(TFieldType type)
{
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
        return Repr::Text;
    case TFieldType::Float:
        return Repr::Float;
    case TFieldType::Blob:
        return Repr::Bytes;
    default:
        return Repr::Int;
    }
}

void Column::init(TFieldType t)
{
    type = t;
    repr = reprOf(t);
}

// The value vectors at n cells, new ones zero.
void Column::resizeValues(size_t n)
{
    switch (repr) {
    case Repr::Int: ints.resize(n, 0); break;
    case Repr::Float: floats.resize(n, 0.0); break;
    case Repr::Text:
        textOffset.resize(n, 0);
        textLength.resize(n, 0);
        break;
    case Repr::Bytes: bytes.resize(n); break;
    }
}

void Column::allocateValues()
{
    valued = true;
    // the values get the room the null flags were given (see reserve)
    reserveValues(nulls.capacity());
    resizeValues(nulls.size());
}

void Column::resize(size_t n)
{
    nulls.resize(n, 1);
    if (valued)
        resizeValues(n);
}

void Column::clearRows()
{
    // a view emptied and filled again for every certification (a few rows
    // each time) would otherwise free and allocate each column's blocks
    constexpr size_t kKeptRows = 256;
    constexpr size_t kKeptChars = 16384;
    if (nulls.capacity() > kKeptRows || arena.capacity() > kKeptChars) {
        const TFieldType t = type;
        *this = Column();
        init(t);
        return;
    }
    nulls.clear();
    ints.clear();
    floats.clear();
    bytes.clear();
    textOffset.clear();
    textLength.clear();
    arena.clear();
    deadChars = 0;
    lastOffset = 0;
    lastLength = 0;
    valued = false;
}

void Column::pushRow()
{
    nulls.push_back(1);
    if (!valued)
        return;
    switch (repr) {
    case Repr::Int: ints.push_back(0); break;
    case Repr::Float: floats.push_back(0.0); break;
    case Repr::Text:
        textOffset.push_back(0);
        textLength.push_back(0);
        break;
    case Repr::Bytes: bytes.emplace_back(); break;
    }
}

void Column::setText(int row, QStringView text)
{
    if (!text.isEmpty() && text.utf16() >= arena.data() && text.utf16() < arena.data() + arena.size()) {
        const QString copy = text.toString(); // the arena may move below
        setText(row, copy);
        return;
    }
    ensureValues();
    const size_t r = size_t(row);
    nulls[r] = 0;
    deadChars += textLength[r];
    textLength[r] = 0;
    if (!text.isEmpty() && lastLength == quint32(text.size())
        && QStringView(arena.data() + lastOffset, qsizetype(lastLength)) == text) {
        textOffset[r] = lastOffset;
        textLength[r] = lastLength;
        return;
    }
    if (deadChars > 65536 && deadChars > arena.size() / 2) {
        TextArena packed;
        packed.reserve(std::min(arena.size(), arena.size() - std::min(deadChars, arena.size()) + size_t(text.size())));
        // cells that shared one text keep sharing its single copy
        quint32 prevOld = 0, prevLen = 0, prevNew = 0;
        for (size_t i = 0; i < textOffset.size(); ++i) {
            const quint32 len = textLength[i];
            if (len == 0)
                continue;
            const quint32 old = textOffset[i];
            if (old == prevOld && len == prevLen) {
                textOffset[i] = prevNew;
                continue;
            }
            const quint32 off = quint32(packed.size());
            packed.append(arena.data() + old, len);
            textOffset[i] = off;
            prevOld = old;
            prevLen = len;
            prevNew = off;
        }
        arena.swap(packed);
        deadChars = 0;
        lastLength = 0;
    }
    if (arena.size() + size_t(text.size()) > 0xFFFFFFFFu)
        throw EDatabaseError(QStringLiteral("Troppo testo in un campo del dataset"));
    textOffset[r] = quint32(arena.size());
    textLength[r] = quint32(text.size());
    arena.append(text.utf16(), size_t(text.size()));
    lastOffset = textOffset[r];
    lastLength = textLength[r];
}

void Column::reserve(size_t n)
{
    nulls.reserve(n);
    if (valued)
        reserveValues(n);
}

void Column::reserveValues(size_t n)
{
    switch (repr) {
    case Repr::Int: ints.reserve(n); break;
    case Repr::Float: floats.reserve(n); break;
    case Repr::Text:
        textOffset.reserve(n);
        textLength.reserve(n);
        break;
    case Repr::Bytes: bytes.reserve(n); break;
    }
}

QVariant Column::get(int row) const
{
    const size_t r = size_t(row);
    if (nulls[r])
        return QVariant();
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
        // An empty text is a value: never hand it out as a null QString.
        return textLength[r] == 0 ? QVariant(QStringLiteral("")) : QVariant(textAt(row).toString());
    case TFieldType::Integer:
        return QVariant(qlonglong(ints[r]));
    case TFieldType::Currency:
        return QVariant::fromValue(Currency::fromUnits(ints[r]));
    case TFieldType::Float:
        return floats[r];
    case TFieldType::Date:
        return QDate::fromJulianDay(ints[r]);
    case TFieldType::DateTime:
        return msToDateTime(ints[r]);
    case TFieldType::Boolean:
        return ints[r] != 0;
    case TFieldType::Blob:
        return bytes[r];
    }
    return QVariant();
}

void Column::set(int row, const QVariant &value)
{
    const size_t r = size_t(row);
    if (!value.isValid()) {
        nulls[r] = 1;
        if (!valued)
            return;
        switch (repr) {
        case Repr::Int: ints[r] = 0; break;
        case Repr::Float: floats[r] = 0; break;
        case Repr::Text:
            deadChars += textLength[r];
            textLength[r] = 0;
            break;
        case Repr::Bytes: bytes[r] = QByteArray(); break;
        }
        return;
    }
    ensureValues();
    nulls[r] = 0;
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
        setText(row, value.toString());
        break;
    case TFieldType::Integer:
        ints[r] = value.toLongLong();
        break;
    case TFieldType::Currency:
        ints[r] = value.value<Currency>().units();
        break;
    case TFieldType::Float:
        floats[r] = value.toDouble();
        break;
    case TFieldType::Date:
        ints[r] = value.toDate().toJulianDay();
        break;
    case TFieldType::DateTime:
        ints[r] = dateTimeToMs(value.toDateTime());
        break;
    case TFieldType::Boolean:
        ints[r] = value.toBool() ? 1 : 0;
        break;
    case TFieldType::Blob:
        bytes[r] = value.toByteArray();
        break;
    }
}

void Column::free(int row)
{
    set(row, QVariant());
}

void Storage::setDefs(const QList<TFieldDef> &d)
{
    QHash<QString, int> n, exact;
    for (int i = 0; i < d.size(); ++i) {
        const QString name = d[i].name.trimmed();
        if (name.isEmpty())
            throw EDatabaseError(QStringLiteral("Nome di campo vuoto (campo %1)").arg(i + 1));
        const QString key = name.toLower();
        if (n.contains(key))
            throw EDatabaseError(QStringLiteral("Campo '%1' definito due volte").arg(name));
        n.insert(key, i);
        exact.insert(name, i);
    }
    defs = d;
    for (auto &def : defs) {
        def.name = def.name.trimmed();
        def.size = std::max(def.size, 0);
    }
    names = n;
    exactNames = exact;
    cols.assign(size_t(defs.size()), Column());
    for (int i = 0; i < defs.size(); ++i)
        cols[size_t(i)].init(defs[i].type);
    clearRows();
}

void Storage::clearRows()
{
    for (auto &c : cols)
        c.clearRows();
    meta.clear();
    natural.clear();
    original.clear();
    nextSeq = 1;
    changes = 0;
}

int Storage::fieldIndex(const QString &name) const
{
    // Most callers spell a field as it is defined: found without a copy.
    if (const auto it = exactNames.constFind(name); it != exactNames.cend())
        return *it;
    return names.value(name.trimmed().toLower(), -1);
}

int Storage::newRow()
{
    const int id = int(meta.size());
    meta.push_back(RowMeta());
    for (auto &c : cols) {
        if (c.nulls.size() + 1 != meta.size())
            c.resize(meta.size());
        else if (!c.valued)
            c.nulls.push_back(1); // most columns of a wide row: a null flag, no call
        else
            c.pushRow();
    }
    return id;
}

QVariantList Storage::rowValues(int row) const
{
    QVariantList v;
    v.reserve(qsizetype(cols.size()));
    for (const auto &c : cols)
        v.append(c.get(row));
    return v;
}

void Storage::setRowValues(int row, const QVariantList &values)
{
    for (size_t i = 0; i < cols.size(); ++i)
        cols[i].set(row, i < size_t(values.size()) ? values[qsizetype(i)] : QVariant());
}

QString typeLabel(TFieldType type)
{
    switch (type) {
    case TFieldType::String: return QStringLiteral("testo");
    case TFieldType::Integer: return QStringLiteral("intero");
    case TFieldType::Currency: return QStringLiteral("importo");
    case TFieldType::Float: return QStringLiteral("numero");
    case TFieldType::Date: return QStringLiteral("data");
    case TFieldType::DateTime: return QStringLiteral("data e ora");
    case TFieldType::Boolean: return QStringLiteral("logico");
    case TFieldType::Memo: return QStringLiteral("memo");
    case TFieldType::Blob: return QStringLiteral("blob");
    }
    return QString();
}

void throwBadValue(const TFieldDef &def, const QVariant &value)
{
    QString shown = value.toString();
    if (shown.isEmpty() && value.isValid() && !isTextual(value))
        shown = QString::fromLatin1(value.metaType().name());
    if (shown.size() > 60)
        shown = cutText(shown, 57) + QStringLiteral("...");
    throw EDatabaseError(QStringLiteral("Valore '%1' non valido per il campo '%2' (%3)")
                             .arg(shown, def.name, typeLabel(def.type)));
}

QString cutText(const QString &s, int n)
{
    if (s.size() <= n)
        return s;
    if (n > 0 && s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

bool parseIntText(QStringView text, qint64 *out)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (ok)
        *out = v;
    return ok;
}

bool parseFloatText(QStringView text, double *out)
{
    QString t = text.trimmed().toString();
    if (t.isEmpty())
        return false;
    if (!t.contains(u'.') && t.count(u',') == 1)
        t.replace(u',', u'.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        *out = v;
    return ok;
}

bool parseDateText(QStringView text, QDate *out)
{
    // The stored form, "yyyy-MM-dd", read without a format.
    if (text.size() == 10 && text[4] == u'-' && text[7] == u'-') {
        int v[3] = {0, 0, 0};
        bool digits = true;
        for (int i = 0, k = 0; i < 10 && digits; ++i) {
            if (i == 4 || i == 7) {
                ++k;
                continue;
            }
            const char16_t c = text[i].unicode();
            digits = c >= u'0' && c <= u'9';
            v[k] = v[k] * 10 + (c - u'0');
        }
        if (digits) {
            const QDate d(v[0], v[1], v[2]);
            if (!d.isValid())
                return false;
            *out = d;
            return true;
        }
    }
    const QString t = text.trimmed().toString();
    for (const char *fmt : {"yyyy-MM-dd", "dd/MM/yyyy", "d/M/yyyy"}) {
        const QDate d = QDate::fromString(t, QLatin1StringView(fmt));
        if (d.isValid()) {
            *out = d;
            return true;
        }
    }
    return false;
}

bool parseDateTimeText(QStringView text, QDateTime *out)
{
    const QString t = text.trimmed().toString();
    qsizetype space = t.indexOf(u'T');
    if (space < 0)
        space = t.indexOf(u' ');
    QDate d;
    if (space < 0) {
        if (!parseDateText(t, &d))
            return false;
        *out = QDateTime(d, QTime(0, 0));
        return true;
    }
    if (!parseDateText(QStringView(t).left(space), &d))
        return false;
    const QString tt = t.mid(space + 1).trimmed();
    for (const char *fmt : {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm", "H:mm:ss", "H:mm"}) {
        const QTime tm = QTime::fromString(tt, QLatin1StringView(fmt));
        if (tm.isValid()) {
            *out = QDateTime(d, tm);
            return true;
        }
    }
    return false;
}

bool parseBoolText(QStringView text, bool *out)
{
    const QString t = text.trimmed().toString().toLower();
    static const QStringList yes = {QStringLiteral("true"), QStringLiteral("t"), QStringLiteral("1"),
                                    QStringLiteral("s"),    QStringLiteral("si"), QStringLiteral("sì"),
                                    QStringLiteral("y"),    QStringLiteral("yes")};
    static const QStringList no = {QStringLiteral("false"), QStringLiteral("f"), QStringLiteral("0"),
                                   QStringLiteral("n"), QStringLiteral("no")};
    if (yes.contains(t)) {
        *out = true;
        return true;
    }
    if (no.contains(t)) {
        *out = false;
        return true;
    }
    return false;
}

qint64 dateTimeToMs(const QDateTime &dt)
{
    return dt.date().toJulianDay() * MsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime msToDateTime(qint64 ms)
{
    qint64 day = ms / MsPerDay;
    qint64 rest = ms % MsPerDay;
    if (rest < 0) {
        rest += MsPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(rest)));
}

namespace {

// Null: no value, a null of any type (as SQL drivers give), a null text or
// byte array, an invalid date. An empty but non-null text is a value.
bool isNullInput(const QVariant &in)
{
    const int id = in.metaType().id();
    return !in.isValid() || in.isNull() || (id == QMetaType::QString && in.toString().isNull())
           || (id == QMetaType::QByteArray && in.toByteArray().isNull())
           || (id == QMetaType::QDate && !in.toDate().isValid())
           || (id == QMetaType::QDateTime && !in.toDateTime().isValid());
}

// A value given as text or bytes, with that text.
struct TextInput
{
    bool textual = false;
    QString text;
};

bool toText(const TFieldDef &def, const QVariant &in, QVariant *out)
{
    QString s;
    if (isCurrency(in))
        s = in.value<Currency>().toString();
    else if (isFloating(in))
        s = QString::number(in.toDouble(), 'g', QLocale::FloatingPointShortest);
    else if (in.metaType().id() == QMetaType::QDate)
        s = in.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    else if (in.metaType().id() == QMetaType::QDateTime)
        s = in.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    else if (in.canConvert<QString>())
        s = in.toString();
    else
        return false;
    if (s.isNull())
        s = QStringLiteral(""); // an empty text is a value, not a null
    if (def.type == TFieldType::String && def.size > 0)
        s = cutText(s, def.size);
    *out = s;
    return true;
}

bool toInteger(const QVariant &in, const TextInput &t, QVariant *out)
{
    qint64 v = 0;
    if (isIntegral(in) || in.metaType().id() == QMetaType::Bool) {
        v = in.toLongLong();
    } else if (in.metaType().id() == QMetaType::ULongLong) {
        if (in.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            return false;
        v = qint64(in.toULongLong());
    } else if (isFloating(in)) {
        const double d = in.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9.2e18)
            return false;
        v = qint64(d);
    } else if (isCurrency(in)) {
        const Currency c = in.value<Currency>();
        if (c.units() % Currency::Scale != 0)
            return false;
        v = c.units() / Currency::Scale;
    } else if (t.textual) {
        if (!parseIntText(t.text, &v))
            return false;
    } else {
        return false;
    }
    *out = QVariant(qlonglong(v));
    return true;
}

bool toCurrency(const QVariant &in, const TextInput &t, QVariant *out)
{
    try {
        if (isCurrency(in))
            *out = in;
        else if (isIntegral(in))
            *out = QVariant::fromValue(Currency::fromInt(in.toLongLong()));
        else if (isFloating(in))
            *out = QVariant::fromValue(Currency::fromDouble(in.toDouble()));
        else if (t.textual) {
            const auto c = Currency::parse(t.text);
            if (!c)
                return false;
            *out = QVariant::fromValue(*c);
        } else
            return false;
    } catch (const EOvException &) {
        return false;
    }
    return true;
}

bool toFloat(const QVariant &in, const TextInput &t, QVariant *out)
{
    double d = 0;
    if (isFloating(in) || isIntegral(in) || in.metaType().id() == QMetaType::ULongLong)
        d = in.toDouble();
    else if (isCurrency(in))
        d = in.value<Currency>().toDouble();
    else if (t.textual) {
        if (!parseFloatText(t.text, &d))
            return false;
    } else
        return false;
    *out = d;
    return true;
}

bool toDate(const QVariant &in, const TextInput &t, QVariant *out)
{
    QDate d;
    if (in.metaType().id() == QMetaType::QDate)
        d = in.toDate();
    else if (in.metaType().id() == QMetaType::QDateTime)
        d = in.toDateTime().date();
    else if (t.textual) {
        if (!parseDateText(t.text, &d))
            return false;
    } else
        return false;
    *out = d.isValid() ? QVariant(d) : QVariant();
    return true;
}

bool toDateTime(const QVariant &in, const TextInput &t, QVariant *out)
{
    QDateTime dt;
    if (in.metaType().id() == QMetaType::QDateTime)
        dt = in.toDateTime();
    else if (in.metaType().id() == QMetaType::QDate)
        dt = in.toDate().isValid() ? QDateTime(in.toDate(), QTime(0, 0)) : QDateTime();
    else if (t.textual) {
        if (!parseDateTimeText(t.text, &dt))
            return false;
    } else
        return false;
    *out = dt.isValid() ? QVariant(msToDateTime(dateTimeToMs(dt))) : QVariant();
    return true;
}

bool toBoolean(const QVariant &in, const TextInput &t, QVariant *out)
{
    bool b = false;
    if (in.metaType().id() == QMetaType::Bool || isIntegral(in))
        b = in.toLongLong() != 0;
    else if (t.textual) {
        if (!parseBoolText(t.text, &b))
            return false;
    } else
        return false;
    *out = b;
    return true;
}

bool toBlob(const QVariant &in, const TextInput &t, QVariant *out)
{
    if (in.metaType().id() == QMetaType::QByteArray)
        *out = in.toByteArray();
    else if (t.textual)
        *out = t.text.toUtf8();
    else
        return false;
    return true;
}

} // namespace

bool convertValue(const TFieldDef &def, const QVariant &in, QVariant *out)
{
    if (isNullInput(in)) {
        *out = QVariant();
        return true;
    }
    const int id = in.metaType().id();
    TextInput t;
    t.textual = isTextual(in);
    t.text = t.textual && id != QMetaType::QByteArray ? in.toString()
             : t.textual ? QString::fromUtf8(in.toByteArray()) : QString();
    if (t.textual && def.type != TFieldType::String && def.type != TFieldType::Memo
        && def.type != TFieldType::Blob && t.text.trimmed().isEmpty()) {
        *out = QVariant();
        return true;
    }
    switch (def.type) {
    case TFieldType::String:
    case TFieldType::Memo: return toText(def, in, out);
    case TFieldType::Integer: return toInteger(in, t, out);
    case TFieldType::Currency: return toCurrency(in, t, out);
    case TFieldType::Float: return toFloat(in, t, out);
    case TFieldType::Date: return toDate(in, t, out);
    case TFieldType::DateTime: return toDateTime(in, t, out);
    case TFieldType::Boolean: return toBoolean(in, t, out);
    case TFieldType::Blob: return toBlob(in, t, out);
    }
    return false;
}

} // namespace dsinternal
