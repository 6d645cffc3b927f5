#pragma once
// The search window "Finestra di ricerca": a grid over a table of codes (or
// over the rows of a store structure), the label "Cerca per " with the name
// of the sort column and a box in which typing moves to the first matching
// row: a prefix in the case typed for text columns, the exact number for
// numeric ones. A click on a column title sorts by it. Up/Down, Page Up/Down,
// Ctrl+Home/Ctrl+End move the row from the box; Left/Right the grid's column.
// OK or a double click close with the key column's value; Annulla with none.
#include "platform/ui/framework/TfmOvDialog.h"

#include <QSet>
#include <QVariant>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TClientDataSet;
class TDataSetModel;
class TTorDBCds;

class TfmTorRicerca : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmTorRicerca(QWidget *parent = nullptr);
    ~TfmTorRicerca() override;

    TClientDataSet *cdsRicerca = nullptr;
    QTableView *grRicerca = nullptr;
    QLabel *lbCerca = nullptr;
    QLineEdit *edCerca = nullptr;
    QPushButton *buOK = nullptr;
    QPushButton *buAnnulla = nullptr;

    // The rows to search: a copy of `source` (a loaded code table).
    void setSourceData(const TClientDataSet &source, const QString &sourceName);
    // The rows of a store structure, all months of the store's year; the row
    // number column is hidden.
    void setStructure(TTorDBCds &store, const QString &structure);
    // Columns not shown (names, case-insensitive).
    void setHiddenFields(const QStringList &names);
    // The column whose value OK returns; empty: the first column.
    void setKeyField(const QString &name) { m_keyField = name; }

    // Sorts by a shown column (names it in the label, clears the box).
    void sortByColumn(int column);
    int sortColumn() const { return m_sortColumn; }
    // Moves to the first row matching `text` in the sort column; false (the
    // row unmoved) when none does.
    bool search(const QString &text);
    // The key column's value of the current row (null when there is none).
    QVariant currentKey() const;
    // After OK: the value chosen; null after Annulla.
    QVariant result() const { return m_result; }

    // Runs modally; true with *value when the user chose a row.
    bool choose(QVariant *value);

protected:
    void formShow() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildColumns();
    void accept() override;
    int visibleRows() const;

    TDataSetModel *m_model = nullptr;
    QSet<QString> m_hidden;
    QString m_keyField;
    int m_sortColumn = -1;
    QVariant m_result;
};
