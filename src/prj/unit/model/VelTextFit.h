#pragma once
// A text longer than its box is never cut: from the payroll it stops the
// payee's import, from the store it stops whoever reads it for the agency,
// the print or the editor. Both say payee, box and value.
#include "src/prj/unit/model/VelError.h"

#include <QString>

#include "tor/store/torUDBCds.h"

class TClientDataSet;

namespace VelTextFit {

// "punto 2 "Cognome"" from the record model, or "campo NAME" for a field
// without a box.
QString boxName(const QString &structure, const QString &field);

// Writes `value` into the text field of the dataset's current row; a value
// longer than the field raises EVelError (payroll data, at construction)
// naming `who` (the payee), the box and the value. Other fields take the
// value as it is.
void setText(TClientDataSet &ds, const QString &structure, const QString &field, const QString &value,
             const QString &who);

// The store's refusal of a stored text, said with the box.
EVelError fromStore(const ETorTextTooLong &e);

// TTorDBCds::Load for the supply, the print and the editor: a stored text
// longer than its field raises EVelError naming payee, box and value.
void load(TTorDBCds &store, TClientDataSet &ds, const QString &structure, int month = TTorDBCds::Default,
          int year = TTorDBCds::Default, int person = TTorDBCds::AllPersons);

} // namespace VelTextFit
