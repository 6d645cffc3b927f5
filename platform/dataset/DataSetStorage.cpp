// The columns of a dataset's rows (one plain vector per field, texts in one
// block) and the storage that holds them; the field types' values and texts
// are in DataSetValues.cpp.
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

} // namespace dsinternal
