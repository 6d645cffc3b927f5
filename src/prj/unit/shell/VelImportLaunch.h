#pragma once
// Gives the command table's import launch its two windows: the wizard
// "Importa dati per CU" and the selection "Scelta dipendenti".
class TdmVelAttivazioni;

void installImportWindows(TdmVelAttivazioni &attivazioni);
