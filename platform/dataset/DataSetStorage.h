#pragma once
// Inside of the client dataset: rows held column by column (one plain vector per
// field) so that 100,000 rows of 30 fields do not cost 3 million QVariants.
// Not a public API: use TClientDataSet.
#include "platform/dataset/DataSetTypes.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dsinternal {

// The characters of a text column: one block, grown in place of a copy. A
// std::vector would copy it into a block twice as large while the old one is
// still resident (for a column of 40 million characters, 130 MB at once
// instead of 80). A small block is malloc'd; from a megabyte on, the block is
// mapped on its own and grows by remapping its pages, never copied: glibc's
// realloc would do that only above its mmap threshold, which rises to 32 MB
// once a process has freed large blocks, and below it copies the block at
// every doubling (a million field rows: some 50 MB copied and faulted in).
class TextArena
{
public:
    TextArena() = default;
    TextArena(const TextArena &other) { append(other.m_data, other.m_size); }
    TextArena(TextArena &&other) noexcept { swap(other); }
    TextArena &operator=(const TextArena &other)
    {
        if (this != &other) {
            TextArena copy(other);
            swap(copy);
        }
        return *this;
    }
    TextArena &operator=(TextArena &&other) noexcept
    {
        TextArena taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~TextArena();

    const char16_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    void clear() { m_size = 0; } // the block stays
    // `text` must not point into this arena (it may move).
    void append(const char16_t *text, size_t n);
    void reserve(size_t n); // std::bad_alloc when memory is short
    void shrink_to_fit();
    void swap(TextArena &other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_mapped, other.m_mapped);
    }

private:
    void release() noexcept;

    char16_t *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    bool m_mapped = false; // the block is a mapping of its own (see above)
};

// How a field type is held in a column.
enum class Repr { Int, Float, Text, Bytes };
Repr reprOf(TFieldType type);

struct Column
{
    TFieldType type = TFieldType::String;
    Repr repr = Repr::Text;
    std::vector<qint64> ints;     // Integer, Currency (units), Date (Julian day), DateTime (ms, naive), Boolean
    std::vector<double> floats;   // Float
    std::vector<QByteArray> bytes; // Blob
    std::vector<quint8> nulls;
    // False while every cell is null: the column holds only `nulls`, and the
    // vectors of values (and the text offsets) stay empty until a value is
    // set. A dataset of hundreds of columns, most never filled, then costs a
    // byte a cell for them instead of nine.
    bool valued = false;
    // String and Memo cells live in one character arena per column: 8 bytes of
    // bookkeeping a cell instead of a QString and its own heap block. A changed
    // text is appended; the arena is compacted when half of it is dead. A text
    // equal to the last one appended points at it instead of being copied
    // again (rows written in runs, each repeating a code or a number, keep one
    // copy per run); so deadChars may count a shared text that another cell
    // still reads, which only brings a compaction forward.
    TextArena arena;
    std::vector<quint32> textOffset;
    std::vector<quint32> textLength;
    size_t deadChars = 0;
    quint32 lastOffset = 0; // the text appended last
    quint32 lastLength = 0;

    void init(TFieldType t);
    // Gives the value vectors their cells (zero, still null) before a value is
    // set; every writer of a cell calls it first.
    void ensureValues()
    {
        if (!valued)
            allocateValues();
    }
    void resize(size_t n);
    // No rows: a small column keeps its blocks for the rows to come, a large
    // one gives them back.
    void clearRows();
    void pushRow(); // one more row, null (resize by one, without its general path)
    void reserve(size_t n); // room for n rows; a column valued later takes it then
    bool isNull(int row) const { return !valued || nulls[size_t(row)] != 0; }
    QStringView textAt(int row) const
    {
        return QStringView(arena.data() + textOffset[size_t(row)], qsizetype(textLength[size_t(row)]));
    }
    void setText(int row, QStringView text); // marks the cell not null
    // Canonical QVariant (see convertValue) or a null QVariant.
    QVariant get(int row) const;
    // value must be canonical for the column's type, or null.
    void set(int row, const QVariant &value);
    void free(int row); // drops a dead row's heap data

private:
    void allocateValues();
    void resizeValues(size_t n);
    void reserveValues(size_t n);
};

struct RowMeta
{
    TUpdateStatus status = TUpdateStatus::Unmodified;
    bool live = true;   // false once an inserted row is deleted or its insertion undone
    quint64 seq = 0;    // order of the row's first pending change (0 = none)
};

struct Storage
{
    QList<TFieldDef> defs;
    QHash<QString, int> names; // lower-case name -> field index
    QHash<QString, int> exactNames; // name as defined -> field index (found without lower-casing)
    std::vector<Column> cols;
    std::vector<RowMeta> meta;   // by row id
    std::vector<int> natural;    // row ids in natural order; deleted rows stay until merged
    std::unordered_map<int, QVariantList> original; // values before the first change
    quint64 nextSeq = 1;
    int changes = 0;

    // Throws EDatabaseError on an empty or duplicate name.
    void setDefs(const QList<TFieldDef> &d);
    void clearRows();
    int fieldIndex(const QString &name) const;
    int rowCapacity() const { return int(meta.size()); }
    int newRow();                  // appends a null row slot, not yet in natural order
    QVariantList rowValues(int row) const;
    void setRowValues(int row, const QVariantList &values);
};

// Brings any value to the canonical form of a field type: QString (String,
// Memo), qlonglong (Integer), Currency, double (Float), QDate, QDateTime,
// bool, QByteArray (Blob); a null or invalid input, or an empty text for a
// non-text type, gives a null QVariant. Returns false when the value cannot
// stand for the type. Texts longer than a String field's size are cut.
bool convertValue(const TFieldDef &def, const QVariant &in, QVariant *out);

// The error for a value that convertValue refused.
[[noreturn]] void throwBadValue(const TFieldDef &def, const QVariant &value);

// Italian word for a field type, for messages ("intero", "importo", ...).
QString typeLabel(TFieldType type);

// Text parsing shared by fields, filters and files.
bool parseDateText(QStringView text, QDate *out);
bool parseDateTimeText(QStringView text, QDateTime *out);
bool parseBoolText(QStringView text, bool *out);
bool parseFloatText(QStringView text, double *out);
bool parseIntText(QStringView text, qint64 *out);

// Naive date-time <-> count of milliseconds from the Julian day origin.
qint64 dateTimeToMs(const QDateTime &dt);
QDateTime msToDateTime(qint64 ms);

// Cuts a text to n UTF-16 units without splitting a surrogate pair.
QString cutText(const QString &s, int n);

} // namespace dsinternal
