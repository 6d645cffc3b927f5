#include "platform/dataset/TClientDataSet.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/DataSetFile.h"
#include "platform/dataset/DataSetFilter.h"
#include "platform/dataset/DataSetStorage.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

using namespace dsinternal;

namespace {

void registerConverters()
{
    // So that value().toDouble() / toString() work on amounts as on any number.
    static const bool done = [] {
        QMetaType::registerConverter<Currency, double>(&Currency::toDouble);
        QMetaType::registerConverter<Currency, QString>(&Currency::toString);
        return true;
    }();
    Q_UNUSED(done);
}

QStringList splitNames(const QString &list)
{
    QStringList out;
    for (const QString &part : list.split(u';', Qt::SkipEmptyParts)) {
        const QString n = part.trimmed();
        if (!n.isEmpty())
            out.append(n);
    }
    return out;
}

template <typename T>
int cmp3(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text keys compare case-insensitively, one UTF-16 unit folded at a time, so
// that a full sort on pre-folded keys and an insert into the sorted view agree.
char16_t foldUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    const char32_t f = QChar::toCaseFolded(char32_t(c));
    return f <= 0xFFFF ? char16_t(f) : c;
}

int compareFolded(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = foldUnit(a[i].unicode()), y = foldUnit(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return cmp3(a.size(), b.size());
}

QString foldedKey(QStringView s)
{
    QString out(s.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < s.size(); ++i)
        d[i] = foldUnit(s[i].unicode());
    return out;
}

int compareCells(const Column &c, int a, int b)
{
    const bool na = c.isNull(a), nb = c.isNull(b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (c.repr) {
    case Repr::Int:
        return cmp3(c.ints[size_t(a)], c.ints[size_t(b)]);
    case Repr::Float: {
        const double x = c.floats[size_t(a)], y = c.floats[size_t(b)];
        if (std::isnan(x) || std::isnan(y))
            return cmp3(std::isnan(x), std::isnan(y));
        return cmp3(x, y);
    }
    case Repr::Text:
        return compareFolded(c.textAt(a), c.textAt(b));
    case Repr::Bytes:
        return cmp3(c.bytes[size_t(a)], c.bytes[size_t(b)]);
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------- TDeltaRow

int TDeltaRow::fieldIndex(const QString &name) const
{
    const QString n = name.trimmed();
    for (int i = 0; i < m_defs->size(); ++i)
        if ((*m_defs)[i].name.compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TDeltaRow::oldValue(int field) const
{
    return field >= 0 && field < m_old.size() ? m_old[field] : QVariant();
}

QVariant TDeltaRow::newValue(int field) const
{
    return field >= 0 && field < m_new.size() ? m_new[field] : QVariant();
}

QVariant TDeltaRow::oldValue(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(name));
    return oldValue(i);
}

QVariant TDeltaRow::newValue(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(name));
    return newValue(i);
}

QVariant TDeltaRow::value(const QString &name) const
{
    return m_status == TUpdateStatus::Deleted ? oldValue(name) : newValue(name);
}

// ---------------------------------------------------------------- life

TClientDataSet::TClientDataSet(QObject *parent)
    : QObject(parent), m_st(std::make_unique<Storage>())
{
    registerConverters();
}

TClientDataSet::~TClientDataSet() = default;

void TClientDataSet::fail(const QString &message) const
{
    throw EDatabaseError(message);
}

void TClientDataSet::requireActive() const
{
    if (m_state == TDataSetState::Inactive)
        fail(objectName().isEmpty()
                 ? QStringLiteral("Operazione non consentita: il dataset è chiuso")
                 : QStringLiteral("Operazione non consentita: il dataset '%1' è chiuso").arg(objectName()));
}

void TClientDataSet::requireWritable() const
{
    if (m_readOnly)
        fail(objectName().isEmpty()
                 ? QStringLiteral("Il dataset è in sola lettura: modifica non consentita")
                 : QStringLiteral("Il dataset '%1' è in sola lettura: modifica non consentita").arg(objectName()));
}

void TClientDataSet::fire(const TDataSetNotify &handler)
{
    if (handler)
        handler(*this);
}

void TClientDataSet::notify(Notice n, int a, int b)
{
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    switch (n) {
    case Notice::Reset: emit dataSetReset(); break;
    case Notice::AboutToInsert: emit rowAboutToBeInserted(a); break;
    case Notice::Inserted: emit rowInserted(a); break;
    case Notice::AboutToRemove: emit rowAboutToBeRemoved(a); break;
    case Notice::Removed: emit rowRemoved(a); break;
    case Notice::AboutToMove: emit rowAboutToBeMoved(a, b); break;
    case Notice::Moved: emit rowMoved(a, b); break;
    case Notice::Changed: emit rowChanged(a); break;
    case Notice::Cursor: emit cursorMoved(a); break;
    }
}

void TClientDataSet::setState(TDataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    if (m_disableCount == 0)
        emit stateChanged(s);
}

bool TClientDataSet::active() const
{
    return m_state != TDataSetState::Inactive;
}

void TClientDataSet::addFieldDef(const QString &name, TFieldType type, int size)
{
    QList<TFieldDef> defs = m_st->defs;
    defs.append(TFieldDef{name, type, size});
    setFieldDefs(defs);
}

void TClientDataSet::setFieldDefs(const QList<TFieldDef> &defs)
{
    if (active())
        fail(QStringLiteral("Impossibile modificare i campi di un dataset aperto"));
    auto st = std::make_unique<Storage>();
    st->setDefs(defs);
    m_st = std::move(st);
    ++m_generation;
}

void TClientDataSet::clearFieldDefs()
{
    setFieldDefs({});
}

const QList<TFieldDef> &TClientDataSet::fieldDefs() const
{
    return m_st->defs;
}

int TClientDataSet::fieldCount() const
{
    return int(m_st->defs.size());
}

int TClientDataSet::fieldIndex(const QString &name) const
{
    return m_st->fieldIndex(name);
}

TField TClientDataSet::field(int index)
{
    if (index < 0 || index >= fieldCount())
        fail(QStringLiteral("Campo numero %1 inesistente").arg(index));
    return TField(this, index);
}

TField TClientDataSet::fieldByName(const QString &name)
{
    const int i = fieldIndex(name);
    if (i < 0)
        fail(QStringLiteral("Campo '%1' non trovato").arg(name));
    return TField(this, i);
}

TField TClientDataSet::findField(const QString &name)
{
    const int i = fieldIndex(name);
    return i < 0 ? TField() : TField(this, i);
}

QStringList TClientDataSet::fieldNames() const
{
    QStringList n;
    for (const auto &d : m_st->defs)
        n.append(d.name);
    return n;
}

void TClientDataSet::createDataSet()
{
    if (active())
        close();
    if (m_st->defs.isEmpty())
        fail(QStringLiteral("Nessun campo definito: impossibile creare il dataset"));
    m_st->clearRows();
    ++m_generation;
    fire(beforeOpen);
    doOpen(false);
}

void TClientDataSet::open()
{
    if (active())
        return;
    fire(beforeOpen);
    doOpen(true);
}

void TClientDataSet::doOpen(bool callHook)
{
    if (callHook)
        openData();
    if (m_st->defs.isEmpty())
        fail(QStringLiteral("Nessun campo definito: impossibile aprire il dataset"));
    std::vector<std::pair<int, bool>> keys;
    compileIndex(*m_st, &keys);
    if (m_filtered && m_filter)
        m_filter->bind(*m_st, m_filterOptions.testFlag(TFilterOption::CaseInsensitive));
    m_indexKeys = std::move(keys);
    m_buffer.clear();
    m_state = TDataSetState::Browse;
    rebuildView(InvalidBookmark, true);
    notify(Notice::Reset);
    if (m_disableCount == 0)
        emit stateChanged(m_state);
    fire(afterOpen);
    if (!m_view.empty())
        fire(afterScroll);
}

void TClientDataSet::close()
{
    if (!active())
        return;
    fire(beforeClose);
    m_buffer.clear();
    m_state = TDataSetState::Inactive;
    m_view.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    notify(Notice::Reset);
    if (m_disableCount == 0)
        emit stateChanged(m_state);
    fire(afterClose);
}

void TClientDataSet::emptyDataSet()
{
    requireActive();
    requireWritable();
    m_buffer.clear();
    m_st->clearRows();
    ++m_generation;
    setState(TDataSetState::Browse);
    rebuildView(InvalidBookmark, true);
    notify(Notice::Reset);
}

void TClientDataSet::clearRows()
{
    m_buffer.clear();
    m_st->clearRows();
    ++m_generation;
    if (active()) {
        setState(TDataSetState::Browse);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
    }
}

void TClientDataSet::addLoadedRow(const QVariantList &values)
{
    if (values.size() > fieldCount())
        fail(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(values.size()).arg(fieldCount()));
    QVariantList conv;
    conv.reserve(fieldCount());
    for (int i = 0; i < fieldCount(); ++i) {
        QVariant v;
        const QVariant in = i < values.size() ? values[i] : QVariant();
        if (!convertValue(m_st->defs[i], in, &v))
            throwBadValue(m_st->defs[i], in);
        conv.append(v);
    }
    const int id = m_st->newRow();
    m_st->setRowValues(id, conv);
    m_st->natural.push_back(id);
    if (active() && rowVisible(id)) {
        const int pos = m_indexKeys.empty() ? int(m_view.size()) : sortedPosition(id);
        viewInsert(pos, id);
        if (m_cur < 0) {
            m_cur = 0;
            m_eof = m_bof = false;
        } else if (pos <= m_cur) {
            ++m_cur;
        }
    }
}

// ---------------------------------------------------------------- view

bool TClientDataSet::rowVisible(int rowId) const
{
    const RowMeta &m = m_st->meta[size_t(rowId)];
    if (!m.live || m.status == TUpdateStatus::Deleted)
        return false;
    if (m_filtered && m_filter && active())
        return m_filter->matches(*m_st, rowId);
    return true;
}

bool TClientDataSet::rowLess(int a, int b) const
{
    for (const auto &[f, desc] : m_indexKeys) {
        const int c = compareCells(m_st->cols[size_t(f)], a, b);
        if (c != 0)
            return desc ? c > 0 : c < 0;
    }
    return a < b; // ties: the order rows were added in
}

int TClientDataSet::sortedPosition(int rowId) const
{
    const auto it = std::lower_bound(m_view.begin(), m_view.end(), rowId,
                                     [this](int a, int b) { return rowLess(a, b); });
    return int(it - m_view.begin());
}

void TClientDataSet::compileIndex(const Storage &st, std::vector<std::pair<int, bool>> *keys) const
{
    keys->clear();
    const QStringList names = splitNames(m_indexFields);
    const QStringList desc = splitNames(m_indexDesc);
    for (const QString &d : desc) {
        bool found = false;
        for (const QString &n : names)
            found = found || n.compare(d, Qt::CaseInsensitive) == 0;
        if (!found)
            fail(QStringLiteral("Indice non valido: il campo discendente '%1' non è tra i campi dell'indice").arg(d));
    }
    for (const QString &n : names) {
        const int f = st.fieldIndex(n);
        if (f < 0)
            fail(QStringLiteral("Indice non valido: campo '%1' non trovato").arg(n));
        bool isDesc = false;
        for (const QString &d : desc)
            isDesc = isDesc || d.compare(n, Qt::CaseInsensitive) == 0;
        keys->emplace_back(f, isDesc);
    }
}

void TClientDataSet::rebuildView(TBookmark keep, bool toFirst)
{
    const int keepPos = (!toFirst && keep != InvalidBookmark) ? int(keep & 0xffffffff) : -1;
    const bool keepValid = keepPos >= 0 && quint32(keep >> 32) == m_generation;
    m_view.clear();
    m_view.reserve(m_st->natural.size());
    const bool filtering = m_filtered && m_filter && active();
    for (int id : m_st->natural) {
        const RowMeta &m = m_st->meta[size_t(id)];
        if (!m.live || m.status == TUpdateStatus::Deleted)
            continue;
        if (filtering && !m_filter->matches(*m_st, id))
            continue;
        m_view.push_back(id);
    }
    if (!m_indexKeys.empty()) {
        // Text keys are folded once, not at every comparison.
        std::vector<std::vector<QString>> folded(m_indexKeys.size());
        for (size_t k = 0; k < m_indexKeys.size(); ++k) {
            const Column &c = m_st->cols[size_t(m_indexKeys[k].first)];
            if (c.repr != Repr::Text)
                continue;
            folded[k].resize(m_st->meta.size());
            for (int id : m_view)
                if (!c.isNull(id))
                    folded[k][size_t(id)] = foldedKey(c.textAt(id));
        }
        std::sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (size_t k = 0; k < m_indexKeys.size(); ++k) {
                const auto &[f, desc] = m_indexKeys[k];
                const Column &c = m_st->cols[size_t(f)];
                int r;
                if (c.repr == Repr::Text && !c.isNull(a) && !c.isNull(b))
                    r = QStringView(folded[k][size_t(a)]).compare(QStringView(folded[k][size_t(b)]));
                else
                    r = compareCells(c, a, b);
                if (r != 0)
                    return desc ? r > 0 : r < 0;
            }
            return a < b;
        });
    }
    int pos = -1;
    if (keepValid) {
        const auto it = std::find(m_view.begin(), m_view.end(), keepPos);
        if (it != m_view.end())
            pos = int(it - m_view.begin());
    }
    if (pos < 0) {
        m_cur = m_view.empty() ? -1 : 0;
        m_bof = true;
        m_eof = m_view.empty();
    } else {
        m_cur = pos;
        m_bof = m_eof = false;
    }
}

void TClientDataSet::resetCursorFlags()
{
    if (m_view.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
    } else {
        m_cur = std::clamp(m_cur, 0, int(m_view.size()) - 1);
        m_eof = m_bof = false;
    }
}

// ---------------------------------------------------------------- navigation

int TClientDataSet::recordCount() const
{
    return active() ? int(m_view.size()) : 0;
}

int TClientDataSet::recNo() const
{
    if (!active() || m_state == TDataSetState::Insert || m_cur < 0)
        return 0;
    return m_cur + 1;
}

void TClientDataSet::moveTo(int pos, bool atBof, bool atEof)
{
    fire(beforeScroll);
    m_cur = pos;
    m_bof = atBof || m_view.empty();
    m_eof = atEof || m_view.empty();
    notify(Notice::Cursor, m_cur);
    fire(afterScroll);
}

void TClientDataSet::first()
{
    requireActive();
    checkBrowseMode();
    moveTo(m_view.empty() ? -1 : 0, true, false);
}

void TClientDataSet::last()
{
    requireActive();
    checkBrowseMode();
    moveTo(int(m_view.size()) - 1, false, true);
}

int TClientDataSet::moveBy(int distance)
{
    requireActive();
    checkBrowseMode();
    if (distance == 0 || m_view.empty()) {
        if (m_view.empty())
            m_eof = m_bof = true;
        return 0;
    }
    if ((distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    const int last = int(m_view.size()) - 1;
    const qint64 target = std::clamp<qint64>(qint64(m_cur) + distance, 0, last);
    const int moved = int(target - m_cur);
    fire(beforeScroll);
    if (moved != 0) {
        m_cur = int(target);
        m_bof = m_eof = false;
        notify(Notice::Cursor, m_cur);
    }
    if (moved != distance) {
        if (distance > 0)
            m_eof = true;
        else
            m_bof = true;
    }
    if (moved != 0)
        fire(afterScroll);
    return moved;
}

void TClientDataSet::next()
{
    moveBy(1);
}

void TClientDataSet::prior()
{
    moveBy(-1);
}

void TClientDataSet::setRecNo(int recNo)
{
    requireActive();
    checkBrowseMode();
    if (recNo < 1 || recNo > int(m_view.size()) || recNo - 1 == m_cur)
        return;
    moveTo(recNo - 1, false, false);
}

// ---------------------------------------------------------------- editing

void TClientDataSet::checkBrowseMode()
{
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        post();
}

void TClientDataSet::append()
{
    requireActive();
    requireWritable();
    checkBrowseMode();
    fire(beforeInsert);
    m_insertBefore = -1;
    m_buffer = QVariantList(fieldCount());
    setState(TDataSetState::Insert);
    try {
        fire(onNewRecord);
    } catch (...) {
        m_buffer.clear();
        setState(TDataSetState::Browse);
        throw;
    }
    fire(afterInsert);
}

void TClientDataSet::insert()
{
    requireActive();
    requireWritable();
    checkBrowseMode();
    fire(beforeInsert);
    m_insertBefore = m_cur >= 0 ? m_view[size_t(m_cur)] : -1;
    m_buffer = QVariantList(fieldCount());
    setState(TDataSetState::Insert);
    try {
        fire(onNewRecord);
    } catch (...) {
        m_buffer.clear();
        setState(TDataSetState::Browse);
        throw;
    }
    fire(afterInsert);
}

void TClientDataSet::edit()
{
    requireActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return;
    requireWritable();
    if (m_view.empty()) {
        append();
        return;
    }
    fire(beforeEdit);
    m_buffer = m_st->rowValues(m_view[size_t(m_cur)]);
    setState(TDataSetState::Edit);
    fire(afterEdit);
}

void TClientDataSet::logChange(int rowId, TUpdateStatus status)
{
    RowMeta &m = m_st->meta[size_t(rowId)];
    if (m.status == TUpdateStatus::Unmodified) {
        ++m_st->changes;
        m.seq = m_st->nextSeq++;
    }
    m.status = status;
}

void TClientDataSet::post()
{
    requireActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        fail(QStringLiteral("Il dataset non è in modifica: impossibile registrare"));
    fire(beforePost);
    if (m_state == TDataSetState::Insert) {
        const int id = m_st->newRow();
        m_st->setRowValues(id, m_buffer);
        auto &nat = m_st->natural;
        const auto at = m_insertBefore >= 0 ? std::find(nat.begin(), nat.end(), m_insertBefore) : nat.end();
        nat.insert(at, id);
        logChange(id, TUpdateStatus::Inserted);
        m_buffer.clear();
        setState(TDataSetState::Browse);
        placeRow(id, -1, true);
    } else {
        const int id = m_view[size_t(m_cur)];
        const QVariantList before = m_st->rowValues(id);
        const bool changed = before != m_buffer;
        if (changed) {
            if (m_st->meta[size_t(id)].status == TUpdateStatus::Unmodified) {
                m_st->original[id] = before;
                logChange(id, TUpdateStatus::Modified);
            }
            for (qsizetype f = 0; f < m_buffer.size(); ++f) // only the changed cells: texts are not rewritten
                if (before[f] != m_buffer[f])
                    m_st->cols[size_t(f)].set(id, m_buffer[f]);
        }
        m_buffer.clear();
        setState(TDataSetState::Browse);
        if (changed)
            placeRow(id, m_cur, false);
    }
    fire(afterPost);
}

void TClientDataSet::viewInsert(int pos, int rowId)
{
    notify(Notice::AboutToInsert, pos);
    m_view.insert(m_view.begin() + pos, rowId);
    notify(Notice::Inserted, pos);
}

void TClientDataSet::viewRemove(int pos)
{
    notify(Notice::AboutToRemove, pos);
    m_view.erase(m_view.begin() + pos);
    notify(Notice::Removed, pos);
}

void TClientDataSet::placeRow(int rowId, int hintPos, bool isNew)
{
    const bool visible = rowVisible(rowId);
    if (!isNew) {
        const int from = hintPos;
        if (!visible) {
            viewRemove(from);
            resetCursorFlags();
            notify(Notice::Cursor, m_cur);
            return;
        }
        if (m_indexKeys.empty()) {
            notify(Notice::Changed, from);
            return;
        }
        // Where the row lands, found on the view without it.
        m_view.erase(m_view.begin() + from);
        const int to = sortedPosition(rowId);
        m_view.insert(m_view.begin() + from, rowId);
        if (to != from) {
            notify(Notice::AboutToMove, from, to);
            m_view.erase(m_view.begin() + from);
            m_view.insert(m_view.begin() + to, rowId);
            m_cur = to;
            notify(Notice::Moved, from, to);
            notify(Notice::Cursor, m_cur);
        } else {
            notify(Notice::Changed, to);
        }
        return;
    }
    if (!visible)
        return; // posted, but the filter hides it: the cursor stays where it was
    int to = int(m_view.size());
    if (!m_indexKeys.empty()) {
        to = sortedPosition(rowId);
    } else if (m_insertBefore >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), m_insertBefore);
        to = int(it - m_view.begin());
    }
    viewInsert(to, rowId);
    m_cur = to;
    m_eof = m_bof = false;
    notify(Notice::Cursor, m_cur);
}

void TClientDataSet::cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    fire(beforeCancel);
    m_buffer.clear();
    setState(TDataSetState::Browse);
    if (m_cur >= 0)
        notify(Notice::Changed, m_cur);
    fire(afterCancel);
}

void TClientDataSet::deleteRecord()
{
    requireActive();
    requireWritable();
    if (m_state == TDataSetState::Insert) {
        cancel();
        return;
    }
    if (m_view.empty())
        fail(QStringLiteral("Impossibile eliminare: il dataset è vuoto"));
    fire(beforeDelete);
    fire(beforeScroll);
    m_buffer.clear();
    setState(TDataSetState::Browse);
    const int pos = m_cur;
    const int id = m_view[size_t(pos)];
    RowMeta &m = m_st->meta[size_t(id)];
    if (m.status == TUpdateStatus::Inserted) {
        // Never saved: it leaves no trace in the log.
        m.live = false;
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
        --m_st->changes;
        auto &nat = m_st->natural;
        nat.erase(std::find(nat.begin(), nat.end(), id));
        for (auto &c : m_st->cols)
            c.free(id);
    } else {
        if (m.status == TUpdateStatus::Unmodified)
            m_st->original[id] = m_st->rowValues(id);
        logChange(id, TUpdateStatus::Deleted);
    }
    viewRemove(pos);
    resetCursorFlags();
    notify(Notice::Cursor, m_cur);
    fire(afterDelete);
    fire(afterScroll);
}

void TClientDataSet::appendRecord(const QVariantList &values)
{
    if (values.size() > fieldCount())
        fail(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(values.size()).arg(fieldCount()));
    append();
    try {
        for (int i = 0; i < values.size(); ++i)
            writeField(i, values[i]);
        post();
    } catch (...) {
        if (m_state == TDataSetState::Insert) {
            m_buffer.clear();
            setState(TDataSetState::Browse);
        }
        throw;
    }
}

TUpdateStatus TClientDataSet::updateStatus() const
{
    if (m_state == TDataSetState::Insert)
        return TUpdateStatus::Inserted;
    const int id = currentRowId();
    return id < 0 ? TUpdateStatus::Unmodified : m_st->meta[size_t(id)].status;
}

// ---------------------------------------------------------------- change log

int TClientDataSet::changeCount() const
{
    return m_st->changes;
}

QList<TDeltaRow> TClientDataSet::delta() const
{
    std::vector<int> ids;
    for (int id = 0; id < m_st->rowCapacity(); ++id) {
        const RowMeta &m = m_st->meta[size_t(id)];
        if (m.status != TUpdateStatus::Unmodified && (m.live || m.status == TUpdateStatus::Deleted))
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end(),
              [this](int a, int b) { return m_st->meta[size_t(a)].seq < m_st->meta[size_t(b)].seq; });
    auto defs = std::make_shared<const QList<TFieldDef>>(m_st->defs);
    QList<TDeltaRow> out;
    out.reserve(qsizetype(ids.size()));
    for (int id : ids) {
        TDeltaRow r;
        r.m_status = m_st->meta[size_t(id)].status;
        r.m_bookmark = (TBookmark(m_generation) << 32) | TBookmark(id);
        r.m_defs = defs;
        const auto orig = m_st->original.find(id);
        if (orig != m_st->original.end())
            r.m_old = orig->second;
        if (r.m_status != TUpdateStatus::Deleted)
            r.m_new = m_st->rowValues(id);
        out.append(r);
    }
    return out;
}

void TClientDataSet::mergeChangeLog()
{
    auto &nat = m_st->natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st->meta[size_t(id)];
        if (m.status == TUpdateStatus::Deleted) {
            m.live = false;
            for (auto &c : m_st->cols)
                c.free(id);
        } else {
            kept.push_back(id);
        }
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
    }
    nat.swap(kept);
    m_st->original.clear();
    m_st->changes = 0;
}

void TClientDataSet::cancelUpdates()
{
    m_buffer.clear();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        setState(TDataSetState::Browse);
    const TBookmark keep = bookmark();
    auto &nat = m_st->natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st->meta[size_t(id)];
        switch (m.status) {
        case TUpdateStatus::Inserted:
            m.live = false;
            for (auto &c : m_st->cols)
                c.free(id);
            break;
        case TUpdateStatus::Modified:
        case TUpdateStatus::Deleted:
            m_st->setRowValues(id, m_st->original[id]);
            kept.push_back(id);
            break;
        case TUpdateStatus::Unmodified:
            kept.push_back(id);
            break;
        }
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
    }
    nat.swap(kept);
    m_st->original.clear();
    m_st->changes = 0;
    if (active()) {
        rebuildView(keep, false);
        notify(Notice::Reset);
    }
}

void TClientDataSet::writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value)
{
    const int id = int(row & 0xffffffff);
    if (row == InvalidBookmark || quint32(row >> 32) != m_generation || id >= m_st->rowCapacity()
        || !m_st->meta[size_t(id)].live)
        fail(QStringLiteral("Segnalibro non valido: il record non esiste più"));
    const int f = fieldIndex(fieldName);
    if (f < 0)
        fail(QStringLiteral("Campo '%1' non trovato").arg(fieldName));
    QVariant v;
    if (!convertValue(m_st->defs[f], value, &v))
        throwBadValue(m_st->defs[f], value);
    const bool wasVisible = active() && rowVisible(id);
    m_st->cols[size_t(f)].set(id, v);
    if (m_state == TDataSetState::Edit && m_cur >= 0 && m_view[size_t(m_cur)] == id)
        m_buffer[f] = v;
    if (!active())
        return;
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    const int pos = it == m_view.end() ? -1 : int(it - m_view.begin());
    // The row may now fall outside the filter or out of index order. Saving
    // writes a value into every row, so the view is rebuilt only when needed.
    bool rebuild = rowVisible(id) != wasVisible;
    if (!rebuild && pos >= 0 && !m_indexKeys.empty()) {
        rebuild = (pos > 0 && !rowLess(m_view[size_t(pos - 1)], id))
                  || (pos + 1 < int(m_view.size()) && !rowLess(id, m_view[size_t(pos + 1)]));
    }
    if (rebuild && m_state == TDataSetState::Browse) {
        rebuildView(bookmark(), false);
        notify(Notice::Reset);
    } else if (pos >= 0) {
        notify(Notice::Changed, pos);
    }
}

// ---------------------------------------------------------------- events and views

TDataSetEvents TClientDataSet::detachEvents()
{
    TDataSetEvents saved = *this;
    static_cast<TDataSetEvents &>(*this) = TDataSetEvents();
    return saved;
}

void TClientDataSet::attachEvents(const TDataSetEvents &events)
{
    static_cast<TDataSetEvents &>(*this) = events;
}

void TClientDataSet::disableControls()
{
    ++m_disableCount;
}

void TClientDataSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_pendingReset) {
        m_pendingReset = false;
        emit dataSetReset();
        emit stateChanged(m_state);
    }
}

// ---------------------------------------------------------------- index and filter

void TClientDataSet::setIndexFieldNames(const QString &fields, const QString &descFields)
{
    const QString oldFields = m_indexFields, oldDesc = m_indexDesc;
    m_indexFields = fields.trimmed();
    m_indexDesc = descFields.trimmed();
    std::vector<std::pair<int, bool>> keys;
    try {
        compileIndex(*m_st, &keys);
        if (active())
            checkBrowseMode();
    } catch (...) {
        m_indexFields = oldFields;
        m_indexDesc = oldDesc;
        throw;
    }
    m_indexKeys = std::move(keys);
    if (active()) {
        rebuildView(bookmark(), false);
        notify(Notice::Reset);
        notify(Notice::Cursor, m_cur);
    }
}

void TClientDataSet::setFilter(const QString &text)
{
    std::unique_ptr<DataSetFilter> f;
    if (!text.trimmed().isEmpty()) {
        f = std::make_unique<DataSetFilter>(text);
        if (active() && m_filtered)
            f->bind(*m_st, m_filterOptions.testFlag(TFilterOption::CaseInsensitive));
    }
    if (active() && m_filtered)
        checkBrowseMode();
    m_filter = std::move(f);
    m_filterText = text;
    if (active() && m_filtered) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

QString TClientDataSet::filter() const
{
    return m_filterText;
}

void TClientDataSet::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    if (on && active() && m_filter)
        m_filter->bind(*m_st, m_filterOptions.testFlag(TFilterOption::CaseInsensitive));
    if (active())
        checkBrowseMode();
    m_filtered = on;
    if (active() && m_filter) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

void TClientDataSet::setFilterOptions(TFilterOptions options)
{
    if (options == m_filterOptions)
        return;
    m_filterOptions = options;
    if (active() && m_filtered && m_filter) {
        m_filter->bind(*m_st, options.testFlag(TFilterOption::CaseInsensitive));
        checkBrowseMode();
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
    }
}

// ---------------------------------------------------------------- search

void TClientDataSet::prepareSearch(const QString &fields, const QVariant &values, std::vector<int> *idx,
                                   QVariantList *converted) const
{
    const QStringList names = splitNames(fields);
    if (names.isEmpty())
        fail(QStringLiteral("Ricerca senza campi"));
    QVariantList vals;
    if (names.size() == 1) {
        const bool list = values.metaType().id() == QMetaType::QVariantList && values.toList().size() == 1;
        vals.append(list ? values.toList().first() : values);
    } else {
        if (values.metaType().id() != QMetaType::QVariantList || values.toList().size() != names.size())
            fail(QStringLiteral("Ricerca su %1 campi (%2): servono %1 valori").arg(names.size()).arg(fields));
        vals = values.toList();
    }
    for (int i = 0; i < names.size(); ++i) {
        const int f = fieldIndex(names[i]);
        if (f < 0)
            fail(QStringLiteral("Campo '%1' non trovato").arg(names[i]));
        TFieldDef def = m_st->defs[f];
        def.size = 0; // a longer search text must not be cut into a match
        QVariant v;
        if (!convertValue(def, vals[i], &v))
            throwBadValue(def, vals[i]);
        idx->push_back(f);
        converted->append(v);
    }
}

bool TClientDataSet::matchRow(int rowId, const std::vector<int> &fields, const QVariantList &values,
                              TLocateOptions options) const
{
    const Qt::CaseSensitivity cs = options.testFlag(TLocateOption::CaseInsensitive) ? Qt::CaseInsensitive
                                                                                     : Qt::CaseSensitive;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Column &c = m_st->cols[size_t(fields[i])];
        const QVariant &want = values[qsizetype(i)];
        if (!want.isValid()) {
            if (!c.isNull(rowId))
                return false;
            continue;
        }
        if (c.isNull(rowId))
            return false;
        if (c.repr == Repr::Text) {
            const QStringView have = c.textAt(rowId);
            const QString w = want.toString();
            const bool ok = options.testFlag(TLocateOption::PartialKey) ? have.startsWith(w, cs)
                                                                       : have.compare(w, cs) == 0;
            if (!ok)
                return false;
        } else if (c.get(rowId) != want) {
            return false;
        }
    }
    return true;
}

bool TClientDataSet::locate(const QString &fields, const QVariant &values, TLocateOptions options)
{
    requireActive();
    checkBrowseMode();
    std::vector<int> idx;
    QVariantList vals;
    prepareSearch(fields, values, &idx, &vals);
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (matchRow(m_view[i], idx, vals, options)) {
            moveTo(int(i), false, false);
            return true;
        }
    }
    return false;
}

QVariant TClientDataSet::lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const
{
    requireActive();
    std::vector<int> idx;
    QVariantList vals;
    prepareSearch(keyFields, keyValues, &idx, &vals);
    std::vector<int> res;
    for (const QString &n : splitNames(resultFields)) {
        const int f = fieldIndex(n);
        if (f < 0)
            fail(QStringLiteral("Campo '%1' non trovato").arg(n));
        res.push_back(f);
    }
    for (int id : m_view) {
        if (!matchRow(id, idx, vals, {}))
            continue;
        if (res.size() == 1)
            return m_st->cols[size_t(res[0])].get(id);
        QVariantList out;
        for (int f : res)
            out.append(m_st->cols[size_t(f)].get(id));
        return out;
    }
    return QVariant();
}

// ---------------------------------------------------------------- bookmarks

TBookmark TClientDataSet::bookmark() const
{
    if (!active() || m_cur < 0 || m_cur >= int(m_view.size()))
        return InvalidBookmark;
    return (TBookmark(m_generation) << 32) | TBookmark(m_view[size_t(m_cur)]);
}

int TClientDataSet::rowOfBookmark(TBookmark b) const
{
    if (b == InvalidBookmark || quint32(b >> 32) != m_generation || !active())
        return -1;
    const int id = int(b & 0xffffffff);
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    return it == m_view.end() ? -1 : int(it - m_view.begin());
}

bool TClientDataSet::bookmarkValid(TBookmark b) const
{
    return rowOfBookmark(b) >= 0;
}

void TClientDataSet::gotoBookmark(TBookmark b)
{
    requireActive();
    checkBrowseMode();
    const int pos = rowOfBookmark(b);
    if (pos < 0)
        fail(QStringLiteral("Segnalibro non valido: il record non esiste più o è escluso dal filtro"));
    moveTo(pos, false, false);
}

// ---------------------------------------------------------------- command text

void TClientDataSet::setCommandText(const QString &text)
{
    m_commandText = text;
    m_params.rebuildFrom(text);
}

// ---------------------------------------------------------------- files

QByteArray TClientDataSet::saveToBytes()
{
    if (active())
        checkBrowseMode();
    return writeDataSetFile(*m_st);
}

void TClientDataSet::saveToFile(const QString &path, TOvSafeFile::Access access)
{
    TOvSafeFile::writeFile(path, saveToBytes(), access);
}

void TClientDataSet::loadFromFile(const QString &path)
{
    QFile f(path);
    if (!f.exists())
        fail(QStringLiteral("File '%1' non trovato").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Impossibile leggere il file '%1': %2").arg(path, f.errorString()));
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        fail(QStringLiteral("Impossibile leggere il file '%1': %2").arg(path, f.errorString()));
    replaceStorage(readDataSetFile(data, path));
}

void TClientDataSet::loadFromBytes(const QByteArray &data, const QString &sourceName)
{
    replaceStorage(readDataSetFile(data, sourceName.isEmpty() ? QStringLiteral("dati in memoria") : sourceName));
}

void TClientDataSet::assignData(const TClientDataSet &source)
{
    if (&source == this)
        return;
    replaceStorage(std::make_unique<Storage>(*source.m_st));
}

void TClientDataSet::replaceStorage(std::unique_ptr<Storage> st)
{
    // Check everything that can fail before touching the current content.
    std::vector<std::pair<int, bool>> keys;
    compileIndex(*st, &keys);
    const bool ci = m_filterOptions.testFlag(TFilterOption::CaseInsensitive);
    auto rebindOld = [&] {
        if (m_filtered && m_filter && active()) {
            try {
                m_filter->bind(*m_st, ci);
            } catch (...) {
            }
        }
    };
    if (m_filtered && m_filter) {
        try {
            m_filter->bind(*st, ci);
        } catch (...) {
            rebindOld();
            throw;
        }
    }
    if (active()) {
        try {
            close();
        } catch (...) {
            rebindOld();
            throw;
        }
    }
    m_st = std::move(st);
    ++m_generation;
    fire(beforeOpen);
    doOpen(false);
}

// ---------------------------------------------------------------- field access

int TClientDataSet::currentRowId() const
{
    if (m_peekRow >= 0)
        return m_peekRow;
    if (m_cur >= 0 && m_cur < int(m_view.size()))
        return m_view[size_t(m_cur)];
    return -1;
}

QVariant TClientDataSet::readField(int field) const
{
    requireActive();
    if (field < 0 || field >= fieldCount())
        fail(QStringLiteral("Campo numero %1 inesistente").arg(field));
    if (m_peekRow < 0 && (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert))
        return m_buffer[field];
    const int id = currentRowId();
    return id < 0 ? QVariant() : m_st->cols[size_t(field)].get(id);
}

void TClientDataSet::writeField(int field, const QVariant &value)
{
    requireActive();
    if (field < 0 || field >= fieldCount())
        fail(QStringLiteral("Campo numero %1 inesistente").arg(field));
    const TFieldDef &def = m_st->defs[field];
    if (m_peekRow >= 0 || (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert))
        fail(QStringLiteral("Il dataset non è in modifica: impossibile assegnare il campo '%1'").arg(def.name));
    QVariant v;
    if (!convertValue(def, value, &v))
        throwBadValue(def, value);
    m_buffer[field] = v;
    if (m_disableCount == 0)
        emit fieldChanged(field);
}

QVariant TClientDataSet::readOldValue(int field) const
{
    requireActive();
    if (field < 0 || field >= fieldCount())
        fail(QStringLiteral("Campo numero %1 inesistente").arg(field));
    if (m_peekRow < 0 && m_state == TDataSetState::Insert)
        return QVariant();
    const int id = currentRowId();
    if (id < 0)
        return QVariant();
    const auto orig = m_st->original.find(id);
    if (orig != m_st->original.end())
        return orig->second[field];
    if (m_st->meta[size_t(id)].status == TUpdateStatus::Inserted)
        return QVariant();
    return m_st->cols[size_t(field)].get(id);
}

QVariant TClientDataSet::valueAt(int row, int field) const
{
    if (!active() || row < 0 || row >= int(m_view.size()) || field < 0 || field >= fieldCount())
        return QVariant();
    return m_st->cols[size_t(field)].get(m_view[size_t(row)]);
}

TBookmark TClientDataSet::bookmarkAt(int row) const
{
    if (!active() || row < 0 || row >= int(m_view.size()))
        return InvalidBookmark;
    return (TBookmark(m_generation) << 32) | TBookmark(m_view[size_t(row)]);
}

void TClientDataSet::withRecordAt(int row, const std::function<void()> &fn)
{
    requireActive();
    if (row < 0 || row >= int(m_view.size()))
        fail(QStringLiteral("Riga %1 inesistente").arg(row + 1));
    struct Restore
    {
        int &slot;
        int saved;
        ~Restore() { slot = saved; }
    } restore{m_peekRow, m_peekRow};
    m_peekRow = m_view[size_t(row)];
    fn();
}
