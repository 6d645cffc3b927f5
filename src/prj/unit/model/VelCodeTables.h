#pragma once
// The code tables shipped with the program: dataset files in
// USR/KZ2025/Res/Tabelle under the installation root, each with at least the
// columns Codice and Descrizione. The program names them as it pleases
// ("TNOT_NOTE.cds", "TNOT_NOTE.CDS"); files on disk are found here, without
// regard to case (TorFolders::resolveFile).
#include <QString>

class TClientDataSet;

namespace VelCodeTables {

// <root>/USR/KZ2025/Res/Tabelle/ (TorFolders::tabelleDir).
QString folder();
// The tables the office typed from the model's instructions: the same
// folder of the data root (TorFolders::ownTabelleDir), read before folder().
QString ownFolder();
// The path of the file in `dir` whose name equals fileName without regard to
// case (for folder(), the office's copy first); empty when there is none.
QString resolve(const QString &fileName, const QString &dir = folder());
// Loads a table; EOvError "Tabella codici non trovata: %1" when it is missing.
void load(TClientDataSet &ds, const QString &fileName, const QString &dir = folder());

}
