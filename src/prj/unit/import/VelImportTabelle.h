#pragma once
// The CU tables an import run holds (the main record and its sections),
// read from the store when the run begins and kept in line with it: each
// save is remembered so that an employee rolled back in the database is
// undone here too, and the CUs are found by their key (tax code and month)
// without walking the main table.
#include "platform/dataset/TClientDataSet.h"

#include <QHash>
#include <QList>
#include <QString>

class TTorDBCds;

class TVelImportTabelle
{
public:
    explicit TVelImportTabelle(TTorDBCds &store);

    // Reads every table from the store when not read yet, or when a failure
    // left them out of date.
    void carica();
    // After a failure whose effects could not be undone here: the tables are
    // read again before the next employee.
    void scadute() { m_scadute = true; }
    bool daRileggere() const { return m_scadute; }

    TClientDataSet &cu() { return m_cu; }
    TClientDataSet &inps() { return m_inps; }
    TClientDataSet &inpdap() { return m_inpdap; }
    TClientDataSet &familiari() { return m_famCar; }
    TClientDataSet &autonomi() { return m_autonomo; }
    // Every table, main record first, and its structure in the store.
    struct Tabella
    {
        TClientDataSet *ds;
        QString structure;
    };
    const QList<Tabella> &tutte() const { return m_tutte; }

    // Saves a table to the store after a post or a delete and remembers what
    // changed, to undo it if the employee's transaction is rolled back.
    void salva(TClientDataSet &ds);
    // The start of an employee: nothing to undo yet.
    void inizioDipendente() { m_modifiche.clear(); }
    // The employee failed: its pending edits are cancelled...
    void annullaDipendente();
    // ...and, once the transaction is rolled back, its saves undone here;
    // what cannot be undone is read again before the next employee.
    void annullaSalvataggi();

    // Moves the main table to the CU with the key; false when there is none.
    bool trovaCu(const QString &codFis, const QString &mese);
    // Remembers the main table's current row under its key.
    void ricordaCu();
    // Brings the run's rows of a CU in line with the store (inside the
    // employee's transaction): the rows held are dropped and the store's
    // rows of the CU's person read again.
    void allineaCu(const QString &codFis, const QString &mese);
    // Deletes the CU at the main table's row with every section row, in the
    // store too.
    void eliminaCu(const QString &codFis, const QString &mese);
    // True when a table holds a row of the CU (by person or by key).
    static bool haRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi);

private:
    void annullaModifiche();
    static QString chiaveCu(const QString &codFis, const QString &mese);
    void indicizzaCu();
    void togliCu(const QString &codFis, const QString &mese, qint64 afi);
    static bool eliminaRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi);
    const QString &struttura(TClientDataSet &ds) const;

    TTorDBCds &m_store;
    TClientDataSet m_cu, m_inps, m_inpdap, m_inail, m_altriEnti, m_famCar, m_tfr, m_annotazioni, m_autonomo;
    QList<Tabella> m_tutte;
    bool m_lette = false;
    bool m_scadute = false;

    // What the employee's saves changed, undone in memory when the
    // employee's transaction is rolled back (reading every table again after
    // each failure would make a long run quadratic).
    struct Modifica
    {
        TClientDataSet *ds;
        TUpdateStatus status;
        TBookmark row;
        QVariantList old;
    };
    QList<Modifica> m_modifiche;
    // CU rows by key (tax code and month).
    QHash<QString, TBookmark> m_indiceCu;
    // The version of the stored CU allineaCu read, which a replace writes over.
    QHash<qint64, qint64> m_letta;
};
