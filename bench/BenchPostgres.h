#pragma once
// The throw-away PostgreSQL server of scripts/pg-test.sh, for the benchmarks
// that also measure on a server: none when VELCU_TEST_PGPORT is not set.
#include "platform/db/OvDbConfig.h"

#include <QString>
#include <optional>

namespace bench {

inline const char *const NoPostgres =
    "PostgreSQL: saltato (VELCU_TEST_PGPORT non impostata: source scripts/pg-test.sh && pg_test_start)\n";

// The server, connected to `database` (the test database when empty).
inline std::optional<TOvDbConfig> testPostgres(const QString &database = QString())
{
    const QString port = qEnvironmentVariable("VELCU_TEST_PGPORT");
    if (port.isEmpty())
        return std::nullopt;
    TOvDbConfig server;
    server.engine = TOvDbEngine::PostgreSQL;
    server.host = qEnvironmentVariable("VELCU_TEST_PGHOST", QStringLiteral("127.0.0.1"));
    server.port = port.toInt();
    server.user = qEnvironmentVariable("VELCU_TEST_PGUSER", QStringLiteral("postgres"));
    server.database = database.isEmpty()
        ? qEnvironmentVariable("VELCU_TEST_PGDATABASE", QStringLiteral("velcu_test"))
        : database;
    return server;
}

} // namespace bench
