#pragma once
// A database made by an earlier version of the program, brought up to date
// when a newer one starts on it: the set-up scripts it has not had yet are
// applied (each in its own transaction, tov_schema remembers which), then the
// fiscal store's structures follow the record model of this version, as
// "velcu-db create" does. Every CU, lock and annotation stays as stored.
//
// Only the workstation's own SQLite file: a shared server is brought up to
// date by its administrator (velcu-db create), since a workstation's role may
// not change its tables.
#include "platform/db/OvDbConfig.h"

#include <QString>

namespace VelSchemaUpdate {

// Empty when nothing was to be done; otherwise the text that tells the office
// (the file, how many scripts). EDatabaseError when a script is refused: the
// database is left as the last whole script made it.
QString bringUpToDate(const TOvDbConfig &config, const QString &sqlDir = QString());

} // namespace VelSchemaUpdate
