#pragma once
// The program's folders, derived from the installation root (shipped data,
// read only) and the data root (what the office writes; the same folder on a
// stage, the user's data folder for an installed package: see InstallRoot).
// Every path ends with '/'.
//
// File names of the program are not case-sensitive (the data names
// "TNOT_NOTE.cds" and "TNOT_NOTE.CDS" alike): resolveFile() is the one place
// that finds an existing file whatever the case of its name.
//
// The folders the program writes into (usr, Stp, DichCU, KZDati) are made
// when missing, readable by their owner only (ovMakePath): they hold fiscal
// data.
#include <QString>

namespace TorFolders {

QString programDir(); // the program's folder: <root>/bin/ on a stage
QString mainDir();    // <root>/: the shipped data
QString dataDir();    // <data root>/: what the office writes
QString etcDir();     // <root>/etc/rag/
QString usrDir();     // <data root>/usr/rag/ (created when missing)
QString resDir();     // main folder + "USR/KZ2025/Res/"
QString tabelleDir(); // main folder + "USR/KZ2025/Res/Tabelle/"
// The office's own copies of shipped files it changes (the year file, a code
// table typed from the instructions): data folder + "USR/KZ2025/Res/" and
// its "Tabelle/". The same folders as above on a stage. Not created here.
QString ownResDir();
QString ownTabelleDir();
// The folder of the year file "TCUA_ANNOFIN.cds": the office's copy once the
// year was confirmed, the shipped one before.
QString yearFileDir();
QString stpDir();     // data folder + "USR/KZ2025/Stp/" (created when missing)
QString dichCuDir();  // data folder + "USR/KZ2025/DichCU/" (created when missing)
QString kzDatiDir();  // data folder + "USR/KZDati/KZ2025/" (created when missing)
QString binDir();     // the program's folder: external programs

// The path of `name` in `dir`: the existing file whose name matches without
// regard to case (the exact name first), else dir + name as given.
// `name` may hold sub-folders ("Tabelle/TNOT_NOTE.cds"); each part is matched.
QString resolveFile(const QString &dir, const QString &name);

} // namespace TorFolders
