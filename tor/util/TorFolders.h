#pragma once
// The program's folders, all derived from the installation root (the parent of
// the program folder; see InstallRoot). Every path ends with '/'.
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

QString programDir(); // <root>/bin/
QString mainDir();    // <root>/
QString etcDir();     // program folder + "../etc/rag/"
QString usrDir();     // program folder + "../usr/rag/" (created when missing)
QString resDir();     // main folder + "USR/KZ2025/Res/"
QString tabelleDir(); // main folder + "USR/KZ2025/Res/Tabelle/"
QString stpDir();     // main folder + "USR/KZ2025/Stp/" (created when missing)
QString dichCuDir();  // main folder + "USR/KZ2025/DichCU/" (created when missing)
QString kzDatiDir();  // main folder + "USR/KZDati/KZ2025/" (created when missing)
QString binDir();     // the framework's main folder + "bin/": external programs

// The path of `name` in `dir`: the existing file whose name matches without
// regard to case (the exact name first), else dir + name as given.
// `name` may hold sub-folders ("Tabelle/TNOT_NOTE.cds"); each part is matched.
QString resolveFile(const QString &dir, const QString &name);

} // namespace TorFolders
