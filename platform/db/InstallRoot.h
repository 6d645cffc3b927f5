#pragma once
// The installation root and its folders, found from the executable's own place:
// the program lives in <root>/bin, so the root is the parent of the program
// folder. VELCU_STAGE_DIR, when set, names the root instead (tests run from
// build/tests and point it at the staged tree).
#include <QString>

namespace InstallRoot {

// <root>, without a trailing slash.
QString root();
// <root>/bin: the program, its tools and velcu.ini.
QString binDir();
// <root>/etc/rag: query catalogue, report definitions, sql/.
QString etcDir();
// <root>/usr/rag: per-installation data ("RagPar.ini", the demo database).
QString usrDir();
// <root>/etc/rag/sql: the database set-up scripts read by velcu-db.
QString sqlDir();

}
