#include "platform/dataset/TClientDataSet.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/DataSetCursor.h"
#include "platform/dataset/DataSetEditor.h"
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
    : QObject(parent), m_st(std::make_unique<Storage>()), m_cursor(std::make_unique<Cursor>(*this)),
      m_editor(std::make_unique<Editor>(*this))
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
    m_cursor->renew();
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
    m_cursor->renew();
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
    m_editor->clear();
    m_state = TDataSetState::Browse;
    m_cursor->rebuild(InvalidBookmark, true);
    notify(Notice::Reset);
    if (m_disableCount == 0)
        emit stateChanged(m_state);
    fire(afterOpen);
    if (m_cursor->count() > 0)
        fire(afterScroll);
}

void TClientDataSet::close()
{
    if (!active())
        return;
    fire(beforeClose);
    m_editor->clear();
    m_state = TDataSetState::Inactive;
    m_cursor->clear();
    notify(Notice::Reset);
    if (m_disableCount == 0)
        emit stateChanged(m_state);
    fire(afterClose);
}

void TClientDataSet::emptyDataSet()
{
    requireActive();
    requireWritable();
    m_editor->clear();
    m_st->clearRows();
    m_cursor->renew();
    setState(TDataSetState::Browse);
    m_cursor->rebuild(InvalidBookmark, true);
    notify(Notice::Reset);
}

void TClientDataSet::clearRows()
{
    m_editor->clear();
    m_st->clearRows();
    m_cursor->renew();
    if (active()) {
        setState(TDataSetState::Browse);
        m_cursor->rebuild(InvalidBookmark, true);
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
    m_cursor->addLoaded(id);
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
    m_cursor->renew();
    fire(beforeOpen);
    doOpen(false);
}
