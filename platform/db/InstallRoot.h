#pragma once
// The installation root and its folders, found from the executable's own place,
// and the data root where the office's files are written.
//
// Two layouts of the same tree:
//   - a build's stage (or a copy of it): the program lives in <root>/bin, the
//     shipped data beside it (<root>/etc/rag, <root>/USR/KZ2025/Res, ...);
//   - an installed package: the program in <prefix>/bin, the shipped data in
//     <prefix>/share/velcu (the same tree without bin/).
// VELCU_STAGE_DIR, when set, names the root instead (tests run from
// build/tests and point it at the staged tree).
//
// The data root follows one rule: it is the installation root when the office
// may write there (a stage, a copy of it in a folder of the office), and the
// user's data folder otherwise ($XDG_DATA_HOME/velcu, by default
// ~/.local/share/velcu): an installed package (under /usr, or any
// <prefix>/share/velcu) and a root without write permission for its owner.
// VELCU_DATA_DIR names it instead (a folder the office shares). Below the data
// root the writable folders keep their places in the tree: usr/rag (the demo
// database, RagPar.ini), USR/KZ2025/Stp, USR/KZ2025/DichCU, USR/KZDati/KZ2025,
// and the office's own copies of shipped files it may change (the year file,
// a code table typed from the instructions, the software producer's ini).
#include <QString>

namespace InstallRoot {

// <root>, without a trailing slash: the shipped, read-only data.
QString root();
// The program folder: <root>/bin on a stage, <prefix>/bin when installed.
QString binDir();
// <root>/etc/rag: query catalogue, report definitions, sql/.
QString etcDir();
// <data root>/usr/rag: per-installation data ("RagPar.ini", the demo database).
QString usrDir();
// <root>/etc/rag/sql: the database set-up scripts read by velcu-db.
QString sqlDir();

// The folder the office's files are written into (see above), without a
// trailing slash. Not created here.
QString dataRoot();
// True when the data root is not the installation root.
bool separateDataRoot();
// The program's ini: <root>/bin/velcu.ini on a stage the office writes into,
// <data root>/velcu.ini otherwise.
QString iniFile();

// A shipped file the office may replace with its own copy (`relative` to the
// root, e.g. "etc/rag/velcu-produttore.ini"): the copy in the data root when
// there is one, else the shipped file.
QString shippedOrOwn(const QString &relative);
// Where the office's copy of that file is written: <data root>/<relative>.
QString ownCopy(const QString &relative);

// True when `path` lies in a package's installed tree (its root is
// <prefix>/share/velcu or under /usr) or its owner may not write it: the
// rule above, for one root.
bool isReadOnlyRoot(const QString &path);

}
