#pragma once
// Test databases on the engine of the run (VELCU_TEST_ENGINE = "sqlite", the
// default, or "postgres"):
//   SQLite     a new file in a temporary folder at every open();
//   PostgreSQL the server of scripts/pg-test.sh (VELCU_TEST_PG*), in a schema
//              of this test process, emptied at every open(), so parallel
//              test programs never see each other's rows.
//
//   void initTestCase() { VELCU_REQUIRE_TEST_DB(); }
//   void something() {
//       auto db = TestDb::open();          // schema created, ready
//       ...
//   }
// Destroy the connections (and their queries) of one open() before the next:
// emptying the PostgreSQL schema waits for their locks.
// A postgres run without VELCU_TEST_PGPORT fails, unless
// VELCU_TEST_ALLOW_NO_PG=1 (then it is skipped).
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <memory>

namespace TestDb {

enum class Availability { Ready, Skip, Missing };

TOvDbEngine engine();
inline bool isPostgres() { return engine() == TOvDbEngine::PostgreSQL; }
QString engineName();
Availability availability(QString *why);

// A fresh database with the schema (and the demo school when `demo`).
std::unique_ptr<TOvSQLConnection> open(bool demo = false);
// A fresh, empty database: no tables at all.
std::unique_ptr<TOvSQLConnection> openEmpty();
// The configuration of the database of the last open(): another workstation
// on it is TOvSQLConnection(TestDb::config()).
TOvDbConfig config();
// The server's own configuration (PostgreSQL), outside the test schema.
TOvDbConfig serverConfig();
// The set-up scripts of the source tree.
QString sqlDir();
// The database options of velcu-cli (and velcu-db) for the database of the
// last open().
QStringList cliArgs();

}

#define VELCU_REQUIRE_TEST_DB()                                          \
    do {                                                                 \
        QString velcuWhy_;                                               \
        switch (TestDb::availability(&velcuWhy_)) {                      \
        case TestDb::Availability::Ready:                                \
            break;                                                       \
        case TestDb::Availability::Skip:                                 \
            QSKIP(qPrintable(velcuWhy_));                                \
        case TestDb::Availability::Missing:                              \
            QFAIL(qPrintable(velcuWhy_));                                \
        }                                                                \
    } while (0)
