#pragma once
// Writes the structures of the record model into the fiscal store's
// structure table (tcds_struttura), one version per structure valid from the
// given year. Running it again updates the schema, the field map and the
// flags of the versions it finds and leaves their row counters alone, so it
// can run at every set-up.
#include "tor/util/TorCampagna.h"

#include <QString>

class TOvSQLConnection;
class VelRecordModel;

struct VelSeedResult
{
    int inserted = 0;
    int updated = 0;
    int moved = 0; // versions an older set-up had keyed from the generator
};

// Keys of this program's structure versions: a block of a thousand per year,
// the structure's place in the record model inside it (2025001, 2025002...),
// far above the generator's keys that other programs' structures (and the
// data repairs made for them) use. Stable across set-up runs: a version keeps
// the key it was given; a version found with a generator key is moved, with
// its stored values, to its year's block.
inline constexpr int VelStructureKeyFloor = 1000000;
int velStructureKey(int year, int index);
bool isVelStructureKey(int key);

// In one transaction (the connection's own when it already holds one).
VelSeedResult seedStructures(TOvSQLConnection &conn, const QString &program = QStringLiteral("vel"),
                             int year = Campagna::AnnoFinanziario);
VelSeedResult seedStructures(TOvSQLConnection &conn, const VelRecordModel &model, const QString &program,
                             int year);
