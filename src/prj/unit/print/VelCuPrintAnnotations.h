#pragma once
// The annotation codes of the ordinary CU: the rows of TCUDA_ANNOTAZIONI
// rebuilt in memory from each CU's annotation text (56 codes a row, no row
// without codes), and their save once the document is written and the CU
// locked. A problem is a warning: the print goes on with the rows the person
// had.
#include "platform/dataset/TClientDataSet.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TTorDBCds;

class TVelCuAnnotationCodes
{
public:
    // cdsMultiSelect: the CUs (its current row is the CU rebuilt);
    // annotations: the rows of TCUDA_ANNOTAZIONI the print reads.
    TVelCuAnnotationCodes(TTorDBCds &store, TClientDataSet &cdsMultiSelect, TClientDataSet &annotations)
        : m_store(store), cdsMultiSelect(cdsMultiSelect), cdsPdfAnnotazioni(annotations)
    {
    }

    // Where a problem goes ("Controllare le annotazioni nel Modello CU: ").
    std::function<void(const QString &reason)> warn;

    // The notes table and the rows read afresh by the run about to write.
    void reset();
    // The rows of the CU's person rebuilt from its annotation text; what
    // changed waits for save(). Nothing for person 0.
    void rebuild(qint64 person, const QString &codFis, const QString &mese);
    // The person's rows that hold codes, in order.
    QList<TBookmark> rowsWithCodes(qint64 person);
    // The rows rebuilt for the CUs of `keys` ("CF|mese"), all when empty,
    // saved in the period of their CU's month.
    void save(const QSet<QString> &keys = {});
    // The rows rebuilt and not saved are given up (a draft, a document not
    // written).
    void dropRebuilt() { m_saves.clear(); }
    // The index of the rows by person, made again at its next use.
    void dropIndex() { m_index.reset(); }

private:
    const QList<TBookmark> &rowsOf(qint64 person);

    TTorDBCds &m_store;
    TClientDataSet &cdsMultiSelect;
    TClientDataSet &cdsPdfAnnotazioni;
    // the notes table's codes, read once a run
    std::optional<QSet<QString>> m_noteCodes;
    bool m_noteTableFailed = false;
    // rows of annotation codes rebuilt in this run, saved when it succeeds
    struct Rows
    {
        qint64 person = 0;
        QString codFis, mese;
        QList<QStringList> rows;
    };
    QList<Rows> m_saves;
    // the rows of cdsPdfAnnotazioni by person, made at the first use in a run
    std::optional<QHash<qint64, QList<TBookmark>>> m_index;
};
