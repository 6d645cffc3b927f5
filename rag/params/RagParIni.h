#pragma once
// "RagPar.ini" (usr folder): the payroll run the import works on, per
// financial year: section "LIQ_CORRENTE" + the year's four digits, integer
// keys GRUPPO, ID and MESE (0 when absent).
#include <QString>

struct TRagLiqCorrente
{
    int gruppo = 0;
    int id = 0;
    int mese = 0;
    // A run is set when ID is above 0 and MESE is 1 to 12.
    bool isSet() const { return id > 0 && mese >= 1 && mese <= 12; }
};

namespace RagParIni {
QString fileName(); // usr folder + "RagPar.ini" (the folder is created when missing)
QString section(int year);
TRagLiqCorrente read(int year, const QString &file = fileName());
void write(int year, const TRagLiqCorrente &run, const QString &file = fileName());
} // namespace RagParIni
