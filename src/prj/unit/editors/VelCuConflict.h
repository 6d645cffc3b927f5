#pragma once
// A CU that another workstation wrote after this editor read it: the save is
// refused by the store (ETorChangedMeanwhile) and nothing of it is written.
// The editor says what changed in the stored CU since and asks whether to
// read it again; what was typed stays on screen unless the office says so.
#include "tor/store/torUDBCds.h"

#include <QString>
#include <QStringList>

class TClientDataSet;

namespace VelCuConflict {

// The boxes of `structure` whose stored value differs from the value the
// pending row of the refused person had when read ("punto 4 "Cognome": ROSSI
// → ROSSI BIANCHI"), at most a dozen; a CU no longer stored says so.
QStringList changes(TTorDBCds &store, TClientDataSet &ds, const QString &structure,
                    const ETorChangedMeanwhile::Person &person);

// The refusal, what changed and the question; true when the office chose to
// read the CU again (what was typed is lost then).
bool askReload(const ETorChangedMeanwhile &e, const QStringList &changes);

} // namespace VelCuConflict
