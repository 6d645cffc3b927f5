#pragma once
// Shared routines of the storage layer: dataset files with backup, month
// bounds, re-opening on a key, values with defaults, filter conditions.
#include <QDate>
#include <QString>
#include <QVariant>

class TClientDataSet;
class TDeltaRow;

namespace TorUtil {

// Loads a dataset from the named file. A file missing beside its ".BAK" (a save
// interrupted after the rename) is first put back from the backup, and the
// user is told so with a warning.
void loadClientDataSet(TClientDataSet &ds, const QString &fileName);

// When the file is missing and its ".BAK" is a file, the backup takes the
// file's name again: returns the notice to show, empty when nothing was done.
// A folder in the backup's place, or a backup that cannot be renamed, raises
// EOvError.
QString restoreFromBackup(const QString &fileName);

// Saves a dataset with a ".BAK" backup: the existing file is renamed to the
// backup name, the change log merged, the dataset saved and the backup removed.
// Errors: "Impossibile creare file di backup: " / "Impossibile eliminare file di
// backup: " and the backup name. When the save itself fails the backup is put
// back in place, so the file keeps its previous content.
void saveWithBackup(TClientDataSet &ds, const QString &fileName);

// The ".BAK" name used by saveWithBackup.
QString backupFileName(const QString &fileName);

QDate firstDayOfMonth(int year, int month);
QDate lastDayOfMonth(int year, int month);

// Re-opens a query dataset on a new key: when it is empty, when `force` is
// set, or when its integer field named like the parameter holds another value,
// it is closed, the parameter set and the dataset opened; otherwise it stays.
// Returns true when it was re-opened.
bool reopenOnKey(TClientDataSet &ds, const QString &paramName, int value, bool force = false);

// A field's new value (the old one for a deleted row); when null the default,
// and without a default an empty string for text fields and 0 for numeric ones.
QVariant fieldValueOrDefault(const TDeltaRow &row, const QString &fieldName,
                             const QVariant &defaultValue = {});
QVariant fieldValueOrDefault(const TClientDataSet &ds, const QString &fieldName,
                             const QVariant &defaultValue = {});

// Appends a condition to a filter text, " AND " between conditions.
QString conditionJoin(const QString &filter, const QString &condition);

// The workgroup id: integer parameter "OVUP_DwgId" of the main window's
// parameter manager (0 when none is attached).
int workgroupId();

} // namespace TorUtil
