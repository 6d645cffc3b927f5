#include "tor/ui/frames/TorDbControls.h"

#include "tor/frames/TDataSource.h"
#include "tor/frames/TorDbFormat.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

TTorDbBinding::TTorDbBinding(TDataSource *source, const QString &fieldName)
    : m_source(source)
    , m_fieldName(fieldName)
{
}

TField TTorDbBinding::field() const
{
    if (!m_source || !m_source->dataSet() || !m_source->dataSet()->active())
        return TField();
    return m_source->dataSet()->findField(m_fieldName);
}

namespace {

template <class W>
void bind(W *w, TDataSource *source)
{
    if (!source)
        return;
    QObject::connect(source, &TDataSource::dataChanged, w, [w] { w->refresh(); });
    QObject::connect(source, &TDataSource::updateRecordRequested, w, [w] { w->commit(); });
}

bool writable(TDataSource *s)
{
    return s && s->canModify();
}

} // namespace

// ---- edit ----------------------------------------------------------------

TTorDbEdit::TTorDbEdit(TDataSource *source, const QString &fieldName, TorDbKind kind, int decimals, QWidget *parent)
    : QLineEdit(parent)
    , TTorDbBinding(source, fieldName)
    , m_kind(kind)
    , m_decimals(decimals)
{
    setObjectName(QStringLiteral("ed") + fieldName);
    if (kind == TorDbKind::Amount || kind == TorDbKind::Integer)
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textEdited, this, &TTorDbEdit::userEdited);
    connect(this, &QLineEdit::returnPressed, this, [this] { commit(); });
    bind(this, source);
    refresh();
}

QString TTorDbEdit::textFor(bool editing) const
{
    const TField f = field();
    if (!f.isValid() || f.isNull())
        return QString();
    switch (m_kind) {
    case TorDbKind::Amount:
        return editing ? TorDbFormat::amountEdit(f.asCurrency(), m_decimals)
                       : TorDbFormat::amountDisplay(f.asCurrency(), m_decimals);
    case TorDbKind::Integer:
        return QString::number(f.asInteger());
    case TorDbKind::Date:
        return TorDbFormat::dateText(f.asDate());
    default:
        return f.asString();
    }
}

void TTorDbEdit::refresh()
{
    if (m_updating)
        return;
    const TField f = field();
    if (f.isValid() && f.dataType() == TFieldType::String && f.size() > 0)
        setMaxLength(f.size());
    setReadOnly(!writable(m_source));
    if (m_dirty && hasFocus() && m_source && m_source->dataSet() && m_source->dataSet()->modified())
        return; // the user is typing: keep the text
    m_dirty = false;
    const QString t = textFor(hasFocus());
    if (t != text())
        setText(t);
}

void TTorDbEdit::userEdited(const QString &)
{
    // Dirty first: entering edit state re-reads the controls, and this one
    // must keep what was typed.
    m_dirty = true;
    if (!m_source || !m_source->ensureEditing()) {
        m_dirty = false;
        refresh();
        return;
    }
    if (m_kind == TorDbKind::Text || m_kind == TorDbKind::Lookup)
        commit(); // texts go into the row as typed
}

bool TTorDbEdit::commit()
{
    if (!m_dirty)
        return true;
    const TField f = field();
    if (!f.isValid() || !m_source || !m_source->dataSet()->modified()) {
        m_dirty = false;
        return true;
    }
    bool ok = true;
    QVariant v;
    const QString t = text();
    switch (m_kind) {
    case TorDbKind::Amount: {
        const std::optional<Currency> c = TorDbFormat::parseAmount(t, &ok);
        if (c)
            v = QVariant::fromValue(*c);
        break;
    }
    case TorDbKind::Integer: {
        if (!t.trimmed().isEmpty()) {
            const qlonglong n = t.trimmed().toLongLong(&ok);
            if (ok)
                v = n;
        }
        break;
    }
    case TorDbKind::Date: {
        const std::optional<QDate> d = TorDbFormat::parseDate(t, &ok);
        if (d)
            v = *d;
        break;
    }
    default:
        if (!t.isEmpty())
            v = t;
        break;
    }
    if (!ok) {
        OvMessageBox(QStringLiteral("Valore non valido: \"%1\"").arg(t), MB_OK | MB_ICONERROR);
        m_dirty = false;
        refresh();
        return false;
    }
    m_updating = true;
    const bool written = ovGuarded([&] { f.setValue(v); });
    m_updating = false;
    m_dirty = false;
    if (!written)
        refresh();
    return written;
}

void TTorDbEdit::writeValue(const QVariant &value)
{
    if (!m_source || !m_source->ensureEditing())
        return;
    const TField f = field();
    if (!f.isValid())
        return;
    m_dirty = false;
    ovGuarded([&] { f.setValue(value); });
    refresh();
}

void TTorDbEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    if (!m_dirty && m_kind == TorDbKind::Amount) {
        const QString t = textFor(true);
        if (t != text())
            setText(t);
    }
}

void TTorDbEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    commit();
    if (!m_dirty) {
        const QString t = textFor(false);
        if (t != text())
            setText(t);
    }
    if (onExit)
        onExit(this);
}

void TTorDbEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_F8 && e->modifiers() == Qt::NoModifier && onLookup) {
        onLookup(this);
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape && m_dirty) {
        m_dirty = false;
        refresh();
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

// ---- check box -----------------------------------------------------------

TTorDbCheck::TTorDbCheck(TDataSource *source, const QString &fieldName, const QString &setValue,
                         const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent)
    , TTorDbBinding(source, fieldName)
    , m_setValue(setValue)
{
    setObjectName(QStringLiteral("ch") + fieldName);
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_source || !m_source->ensureEditing()) {
            refresh();
            return;
        }
        const TField f = field();
        if (!f.isValid())
            return;
        m_updating = true;
        ovGuarded([&] { f.setAsString(checked ? m_setValue : QStringLiteral("0")); });
        m_updating = false;
        refresh();
    });
    bind(this, source);
    refresh();
}

void TTorDbCheck::refresh()
{
    if (m_updating)
        return;
    const TField f = field();
    setEnabled(writable(m_source));
    const QSignalBlocker block(this);
    setChecked(f.isValid() && !f.isNull() && f.asString() == m_setValue);
}

// ---- combo ---------------------------------------------------------------

TTorDbCombo::TTorDbCombo(TDataSource *source, const QString &fieldName, const QList<QPair<QString, QString>> &items,
                         QWidget *parent)
    : QComboBox(parent)
    , TTorDbBinding(source, fieldName)
{
    setObjectName(QStringLiteral("cb") + fieldName);
    for (const auto &item : items) {
        const QString shown = item.second.isEmpty() ? item.first : item.first + QStringLiteral(" - ") + item.second;
        addItem(shown, item.first);
    }
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_source || !m_source->ensureEditing()) {
            refresh();
            return;
        }
        const TField f = field();
        if (!f.isValid())
            return;
        const QString code = itemData(index).toString();
        m_updating = true;
        ovGuarded([&] { f.setValue(code.isEmpty() ? QVariant() : QVariant(code)); });
        m_updating = false;
    });
    bind(this, source);
    refresh();
}

void TTorDbCombo::refresh()
{
    if (m_updating)
        return;
    const TField f = field();
    setEnabled(writable(m_source));
    const QString v = f.isValid() ? f.asString() : QString();
    int i = findData(v);
    const QSignalBlocker block(this);
    if (i < 0 && !v.isEmpty()) {
        // A value outside the list stays visible as it is stored.
        addItem(v, v);
        i = count() - 1;
    }
    setCurrentIndex(i < 0 ? 0 : i);
}

// ---- memo ----------------------------------------------------------------

TTorDbMemo::TTorDbMemo(TDataSource *source, const QString &fieldName, QWidget *parent)
    : QPlainTextEdit(parent)
    , TTorDbBinding(source, fieldName)
{
    setObjectName(QStringLiteral("me") + fieldName);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_updating)
            return;
        if (!m_source || !m_source->ensureEditing()) {
            refresh();
            return;
        }
        const TField f = field();
        if (!f.isValid())
            return;
        QString t = toPlainText();
        t.replace(u'\n', QStringLiteral("\r\n"));
        m_updating = true;
        ovGuarded([&] { f.setValue(t.isEmpty() ? QVariant() : QVariant(t)); });
        m_updating = false;
    });
    bind(this, source);
    refresh();
}

void TTorDbMemo::refresh()
{
    if (m_updating)
        return;
    const TField f = field();
    setReadOnly(!writable(m_source));
    QString t = f.isValid() ? f.asString() : QString();
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (t != toPlainText()) {
        m_updating = true;
        setPlainText(t);
        m_updating = false;
    }
}

// ---- lookup --------------------------------------------------------------

TTorDbLookup::TTorDbLookup(TDataSource *source, const QString &fieldName, QWidget *parent)
    : QWidget(parent)
{
    auto *l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    m_edit = new TTorDbEdit(source, fieldName, TorDbKind::Lookup, 2, this);
    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("bu") + fieldName);
    m_button->setText(QStringLiteral("..."));
    m_button->setToolTip(QStringLiteral("Cerca (F8)"));
    m_button->setFocusPolicy(Qt::NoFocus);
    l->addWidget(m_edit, 1);
    l->addWidget(m_button);
    connect(m_button, &QToolButton::clicked, this, [this] {
        if (m_edit->onLookup)
            m_edit->onLookup(m_edit);
    });
}
