#pragma once
// The financial year the office works on: remembered in "TCUA_ANNOFIN.cds"
// (Res folder, last row), chosen in the "Parametri" dialog at every start.
#include "tor/util/TorCampagna.h"

#include <QString>

class TClientDataSet;
class TTorDBCds;

namespace VelAnnoFin {

inline const QString FirstYear = Campagna::anno(Campagna::AnnoFinanziario);
inline const QString LastYear = Campagna::anno(Campagna::AnnoInvio);

struct Remembered
{
    QString year;    // never empty: "2025" when nothing usable was found
    QString warning; // Italian text to show when the file was missing, empty or unreadable
};

// Loads the year file into `cdsAnnoFin` and reads its last row, leaving the
// cursor there. A missing, empty or unreadable file leaves the dataset empty
// (with its field) and gives "2025" with a warning.
Remembered load(TClientDataSet &cdsAnnoFin, const QString &resDir);

// OK of the dialog: the text must be exactly "2025" or "2026" (otherwise
// EOvError "L'anno finanziario deve essere compreso tra 2025 e 2026." and
// nothing changes). The store takes the year and month -1; the current row of
// the year file is replaced by the new year and the file saved with backup.
void confirm(const QString &text, TClientDataSet &cdsAnnoFin, TTorDBCds *store, const QString &resDir);

} // namespace VelAnnoFin
