#pragma once
// The CU store of the tests: program "vel", one financial year, every month,
// no wait window, on a connection the test owns.
#include "tor/store/torUDBCds.h"

#include <memory>

namespace TestStore {

inline std::unique_ptr<TTorDBCds> open(TOvSQLConnection *db, int year = 2025)
{
    auto store = std::make_unique<TTorDBCds>();
    store->setConnection(db);
    store->setProgram(QStringLiteral("vel"));
    store->setYear(year);
    store->setMonth(TTorDBCds::AllMonths);
    store->setShowWait(false);
    return store;
}

} // namespace TestStore
