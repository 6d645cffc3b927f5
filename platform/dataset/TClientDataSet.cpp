#include "platform/dataset/TClientDataSet.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/DataSetFile.h"
#include "platform/dataset/DataSetRowWriter.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>

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
    RowOrder::Keys keys = m_order.compile(*m_st);
    if (m_order.filtered())
        m_order.bindFilter(*m_st);
    m_order.setKeys(std::move(keys));
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
    RowWriter rows(*m_st);
    rows.checkWidth(values.size());
    const QVariantList conv = rows.loaded(values);
    const int id = m_st->newRow();
    m_st->setRowValues(id, conv);
    m_st->natural.push_back(id);
    if (active() && rowVisible(id)) {
        const int pos = m_order.indexed() ? sortedPosition(id) : int(m_view.size());
        viewInsert(pos, id);
        if (m_cur < 0) {
            m_cur = 0;
            m_eof = m_bof = false;
        } else if (pos <= m_cur) {
            ++m_cur;
        }
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
    if (active())
        checkBrowseMode();
    writeDataSetFileTo(*m_st, path, access);
}

void TClientDataSet::loadFromFile(const QString &path)
{
    replaceStorage(readDataSetFileAt(path));
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
    m_order.compile(*st);
    auto rebindOld = [&] {
        if (m_order.filtering(active())) {
            try {
                m_order.bindFilter(*m_st);
            } catch (...) {
            }
        }
    };
    if (m_order.filtered()) {
        try {
            m_order.bindFilter(*st);
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

bool TClientDataSet::readFieldIsNull(int field) const
{
    requireActive();
    if (field < 0 || field >= fieldCount())
        fail(QStringLiteral("Campo numero %1 inesistente").arg(field));
    if (m_peekRow < 0 && (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert))
        return !m_buffer[field].isValid();
    const int id = currentRowId();
    return id < 0 || m_st->cols[size_t(field)].isNull(id);
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

QStringView TClientDataSet::textAt(int row, int field) const
{
    if (!active() || row < 0 || row >= int(m_view.size()) || field < 0 || field >= fieldCount())
        return {};
    const dsinternal::Column &c = m_st->cols[size_t(field)];
    const int id = m_view[size_t(row)];
    if (c.repr != dsinternal::Repr::Text || c.isNull(id))
        return {};
    return c.textAt(id);
}

bool TClientDataSet::holdsNoValues(int field) const
{
    if (!active() || field < 0 || field >= fieldCount())
        return false;
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return false;
    return !m_st->cols[size_t(field)].valued;
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
