#pragma once
// Sums paid to self-employed payees (table TASE_AUTSOMMEEROGATE) from the
// registers of the self-employed positions, grouped by payment reason.
// One row per CU: the first reason with payments (in the order A, M, P)
// names it and every reason adds into it. Log lines go to the
// self-employed section of the run's log.
#include "platform/core/Currency.h"
#include "src/prj/unit/import/VelImpContesto.h"

#include <QList>
#include <QString>

class TClientDataSet;

class TVelImpAutonomi
{
public:
    static inline const QString kTabella = QStringLiteral("TASE_AUTSOMMEEROGATE");

    static constexpr int TNO_LIB_PROF = 14;          // professional
    static constexpr int RICE_COD_ENPALS = 16;       // entertainment fund (ex ENPALS)
    static constexpr int COMR_ACC_RIT_PREV = 10015;  // pay carrying the fund's withholding

    // A self-employed register of the employee (QRY_CUD_AUTON_REGSID).
    struct Registro
    {
        int IREGSID = 0;
        QString CAUSALE;
    };
    // The registers of an open QRY_CUD_AUTON_REGSID (the CU builder's
    // xqcRegsId), first to last.
    static QList<Registro> registri(TClientDataSet &xqcRegsId);
    // Runs QRY_CUD_AUTON_REGSID for the employee of `ctx` as the CU builder
    // does: self-employed registers, the fiscal list's positions excluded.
    static QList<Registro> leggiRegistri(const TVelImpContesto &ctx);

    // Writes the self-employed row of the CU of `ctx` into `cdsAutonomo`
    // from the registers given. Returns the rows written (0 or 1).
    int importa(const TVelImpContesto &ctx, TClientDataSet &cdsAutonomo, const QList<Registro> &registri);
};
