#pragma once
// Rows of a CU structure are written in the store period of their own month
// (SCUDMESE), as the CU editor writes them. Changing some rows of every month
// (the agent's signature on every CU, an agent's new tax code, the printed
// state) is therefore one save per month: this routine does them all inside
// one transaction (the caller's when one is open), so a failure in any month
// leaves every month as it was.
#include <QString>
#include <functional>

class TClientDataSet;
class TTorDBCds;

// The store month of a CU month ("01".."12"); TTorDBCds::Default otherwise.
int velCuStoreMonth(const QString &mese);

// Loads every row of `structure`, calls `change` on each row (current row of
// the dataset, in browse state) and saves the rows it changed month by month.
// `change` edits and posts the row itself and returns true when it did.
// Returns the rows changed. Raises the store's error after rolling back.
int velSaveCuByMonth(TTorDBCds &store, const QString &structure, const std::function<bool(TClientDataSet &)> &change);
