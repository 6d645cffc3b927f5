#pragma once
// One CU as a value: its main record and its sections, each a dataset of the
// store's structure that holds this CU's rows and nothing else. The import
// builds it in memory, row by row, and gives it to the repository once
// (VelCuRepository::replace), inside the employee's transaction: nothing of
// the CU reaches the store before it is complete, and a failed employee has
// nothing to undo but its transaction.
//
// The datasets take the structures' fields as the store defines them, read
// once (prepare); clear() starts the next CU on the same datasets.
#include "platform/dataset/TClientDataSet.h"

#include <QList>
#include <QString>
#include <array>

class VelCuRepository;

class TVelCuValue
{
public:
    // A dataset of the CU and the structure it is written to.
    struct Part
    {
        TClientDataSet *ds;
        QString structure;
    };

    TVelCuValue();
    TVelCuValue(const TVelCuValue &) = delete;
    TVelCuValue &operator=(const TVelCuValue &) = delete;

    // Reads the structures' fields from the store (no row), when not read yet.
    void prepare(const VelCuRepository &repo);
    bool prepared() const { return m_prepared; }
    // No row in any part: the next CU.
    void clear();

    TClientDataSet &cu() { return m_cu; }
    TClientDataSet &inps() { return m_inps; }
    TClientDataSet &inpdap() { return m_inpdap; }
    TClientDataSet &familiari() { return m_famCar; }
    TClientDataSet &autonomi() { return m_autonomo; }

    // Every part, the main record first: the order the store takes them in
    // (a section's row belongs to the person its main record makes).
    const QList<Part> &parts() const { return m_parts; }
    // True when a part holds a row of the CU.
    static bool hasRows(const TClientDataSet &ds) { return ds.recordCount() > 0; }

private:
    TClientDataSet m_cu, m_inps, m_inpdap, m_inail, m_altriEnti, m_famCar, m_tfr, m_annotazioni, m_autonomo;
    QList<Part> m_parts;
    bool m_prepared = false;
};
