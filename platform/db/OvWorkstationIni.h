#pragma once
// A workstation's configuration for the office's PostgreSQL server: the
// [Database] section of the program's ini (InstallRoot::iniFile()), written by
// the first start's "connect to the office's server" and by
// "velcu-db configura". The password goes in the environment
// (VELCU_DB_PASSWORD) or, when given here, into the file made readable by its
// owner only (0600), as the ini's reader demands.
#include "platform/db/OvDbConfig.h"

#include <QString>

namespace TOvWorkstationIni {

struct Server
{
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password; // empty: from the environment
};

// True when no database was chosen anywhere (no ini, no variable, no option)
// and the default SQLite file does not exist: a first start.
bool nothingConfigured(const TOvDbConfig &config);

// The first thing wrong with the values, as the office reads it; empty when
// they may be written.
QString problem(const Server &server);

// The configuration the values give (for a trial connection).
TOvDbConfig config(const Server &server);

// Writes the [Database] section of `file` for the server, keeping an existing
// [FileTelematico] section, readable by its owner only; the folder is made
// when missing. EOvError with problem() or the write's cause.
void write(const QString &file, const Server &server);

} // namespace TOvWorkstationIni
