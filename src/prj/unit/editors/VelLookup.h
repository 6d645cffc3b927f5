#pragma once
// The search behind every code field of the editors: the field's code table
// (or the structure it names) in the search window; the chosen code is written
// into the field. A code typed by hand that is not in the table is kept; a
// table shipped without codes (awaiting the model's instructions, loaded later
// with velcu-db tabelle --importa) says so and leaves the box to type in.
#include <QString>

class QWidget;
class TClientDataSet;
class TTorDBCds;
class TTorDbEdit;
struct VelFieldDesc;

namespace VelLookup {

// Loads a shipped code table for the search window. A missing table, one that
// cannot be read or one without rows raises EOvError naming the file.
// `dir` is the shipped Tabelle folder unless given.
void loadTable(TClientDataSet &ds, const QString &fileName, const QString &dir = QString());

// Runs the search for `field` into `edit`: nothing when the dataset cannot be
// modified; the dataset goes into edit state, the window runs and a chosen
// value is written.
void run(TTorDbEdit *edit, const VelFieldDesc &field, TTorDBCds *store, QWidget *parent);

} // namespace VelLookup
