#pragma once
// Writes the structures of the record model into the fiscal store's
// structure table (tcds_struttura), one version per structure valid from the
// given year. Running it again updates the schema, the field map and the
// flags of the versions it finds and leaves their row counters alone, so it
// can run at every set-up.
#include <QString>

class TOvSQLConnection;
class VelRecordModel;

struct VelSeedResult
{
    int inserted = 0;
    int updated = 0;
};

// In one transaction (the connection's own when it already holds one).
// The version keys come from the generator "TCDS_STRUTTURA".
VelSeedResult seedStructures(TOvSQLConnection &conn, const QString &program = QStringLiteral("vel"),
                             int year = 2025);
VelSeedResult seedStructures(TOvSQLConnection &conn, const VelRecordModel &model, const QString &program,
                             int year);
