#pragma once
// Data-aware controls: each shows one field of its data source's current row
// and writes back what the user types. Typing into a browsing row puts it in
// edit state (the dataset's before-edit rules may refuse: the control then
// returns to the stored value). A control whose dataset cannot be modified is
// read-only.
//
// Amounts are shown "#,##0.00" and edited "#.00" (a zero shows as an empty
// box); integers and dates are read when the box is left or the row posted.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

#include <functional>

class QToolButton;
#include "tor/frames/TDataSource.h"
class TField;

enum class TorDbKind { Text, Memo, Amount, Integer, Date, Flag, List, Lookup };

// What every bound control has.
class TTorDbBinding
{
public:
    TTorDbBinding(TDataSource *source, const QString &fieldName);
    virtual ~TTorDbBinding() = default;
    TDataSource *dataSource() const { return m_source; }
    QString fieldName() const { return m_fieldName; }
    // The bound field of the current row (invalid when the dataset lacks it).
    TField field() const;
    virtual void refresh() = 0;
    // Writes what the control holds and the field does not yet; false when the
    // text cannot stand for the field (the user is told).
    virtual bool commit() { return true; }

protected:
    QPointer<TDataSource> m_source;
    QString m_fieldName;
    bool m_updating = false;
};

class TTorDbEdit : public QLineEdit, public TTorDbBinding
{
    Q_OBJECT
public:
    TTorDbEdit(TDataSource *source, const QString &fieldName, TorDbKind kind, int decimals = 2,
               QWidget *parent = nullptr);

    TorDbKind kind() const { return m_kind; }
    int decimals() const { return m_decimals; }
    // F8 (and the button of a lookup) run this.
    std::function<void(TTorDbEdit *)> onLookup;
    // Runs when the box is left, after the value was written; may move the
    // focus back.
    std::function<void(TTorDbEdit *)> onExit;

    void refresh() override;
    bool commit() override;
    // Writes a value chosen elsewhere (a lookup) into the field and the box.
    void writeValue(const QVariant &value);

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void userEdited(const QString &text);
    QString textFor(bool editing) const;

    TorDbKind m_kind;
    int m_decimals;
    bool m_dirty = false;
};

class TTorDbCheck : public QCheckBox, public TTorDbBinding
{
    Q_OBJECT
public:
    TTorDbCheck(TDataSource *source, const QString &fieldName, const QString &setValue, const QString &caption,
                QWidget *parent = nullptr);
    void refresh() override;
    QString setValue() const { return m_setValue; }

private:
    QString m_setValue;
};

class TTorDbCombo : public QComboBox, public TTorDbBinding
{
    Q_OBJECT
public:
    // Items: code and the text shown (the code itself when the text is empty).
    TTorDbCombo(TDataSource *source, const QString &fieldName, const QList<QPair<QString, QString>> &items,
                QWidget *parent = nullptr);
    void refresh() override;
};

class TTorDbMemo : public QPlainTextEdit, public TTorDbBinding
{
    Q_OBJECT
public:
    TTorDbMemo(TDataSource *source, const QString &fieldName, QWidget *parent = nullptr);
    void refresh() override;
};

// A code box with its search button: the button and F8 run the edit's onLookup.
class TTorDbLookup : public QWidget
{
    Q_OBJECT
public:
    TTorDbLookup(TDataSource *source, const QString &fieldName, QWidget *parent = nullptr);
    TTorDbEdit *edit() const { return m_edit; }
    QToolButton *button() const { return m_button; }

private:
    TTorDbEdit *m_edit;
    QToolButton *m_button;
};
