#pragma once
// CUs already sent that the office corrects: a CU flagged for replacement
// (LCUDSOSTITUZIONE "1") or cancellation (LCUDANNULLAMENTO "1") goes out with
// the protocol the agency gave it (SCUDIDENTSERVTELE, 17 digits, and
// SCUDPROGRDICH, 6 digits) and the operation "S" or "A" in its record D.
//
// A supply that mixes flagged and unflagged CUs is almost always a mistake:
// an unflagged CU in a correction supply goes out as a second ordinary CU of
// a payee already certified, a flagged CU in the year's supply replaces or
// cancels one before the first is even filed. mixedSupply() names them, so
// that the window can ask and the command line can refuse.
#include <QList>
#include <QString>
#include <QStringList>

class TClientDataSet;
class TTorDBCds;

namespace VelCorrections {

enum class Kind { Nessuna, Sostituzione, Annullamento };

// The flag of the current row of a CU dataset (replacement wins, as in the
// supply's record D).
Kind kindOf(const TClientDataSet &cu, int row);
// "Sostituzione", "Annullamento" or "".
QString kindText(Kind kind);

// "ID/PROGR" split and checked: 17 and 6 digits. Empty `error` when right.
struct Protocol
{
    QString identificativo; // 17 digits
    QString progressivo;    // 6 digits
};
Protocol parseProtocol(const QString &text, QString *error);

// One line about a CU: "CF COGNOME NOME (mese MM)".
QString describe(const TClientDataSet &cu, int row);
// "Sostituzione, protocollo 12345678901234567/000001".
QString describeCorrection(const TClientDataSet &cu, int row);

// The rows (0-based, in the dataset's order) flagged for correction.
QList<int> flaggedRows(const TClientDataSet &cu);

// For a supply of `rows` (1-based, as TdmVelFile visits them): empty when it
// is all ordinary or all corrections; otherwise the CUs out of place, one a
// line - the unflagged ones when `correctionSupply`, the flagged ones when not.
QStringList mixedSupply(const TClientDataSet &cu, const QList<int> &rows, bool correctionSupply);
// The window's question and the command line's refusal about those lines.
QString mixedQuestion(const QStringList &lines, bool correctionSupply);

// Sets (or with Kind::Nessuna clears) the correction of the stored CU of a
// tax code (and month, when the payee has more than one CU) and saves it in
// the store period of its month. Raises EOvError naming what is wrong (no
// CU, several CUs without a month). Returns the line said about it.
[[nodiscard]] QString setCorrection(TTorDBCds &store, const QString &codFis, const QString &mese, Kind kind,
                      const Protocol &protocol);

} // namespace VelCorrections
