#pragma once
// Payroll utilities of the calculation layer used by the CU import: days
// worked and the INPS amounts of fundamental and accessory pay. Class-level
// operations on the payroll tables, read through the named queries.
#include "rag/calc/ragUQuery.h"
#include "tor/calc/TorUCalcoli.h"

#include <QString>

class TragCalcola : public TTorCalcola
{
public:
    // TOTALE of `query` (QRY_CUD_INPS_IMP_FOND, or QRY_CUD_INPS_RIT_FOND for
    // the amounts withheld) for one withholding code and contribution kind
    // of fundamental pay, in the month range; `filter` is appended to the
    // text (a position filter, or empty).
    static Currency inpsFondamentali(int iacomid, int iriceid, int icosid, int meseIniziale, int meseFinale,
                                     const QString &filter,
                                     const QString &query,
                                     const TRagSource &source);
    // The same for accessory pay (QRY_CUD_INPS_IMP_ACC or
    // QRY_CUD_INPS_RIT_ACC), by accessory contribution kind.
    static Currency inpsAccessori(int iacomid, int iriceid, int ivarmriprid, int meseIniziale, int meseFinale,
                                  const QString &filter,
                                  const QString &query,
                                  const TRagSource &source);
    // Days paid in the month range (QRY_CUD_GIORNI, "REGS.IMESID BETWEEN ... <filter>"),
    // less the absences of the range when above 0 (QRY_CUD_ASSENZE); always
    // within 0..365.
    static int giorniLavorati(int iacomid, int meseIniziale, int meseFinale, const QString &filter,
                              const TRagSource &source);
    // Days of absence of the range (QRY_CUD_ASSENZE).
    static int assenze(int iacomid, int meseIniziale, int meseFinale, const TRagSource &source);
};

// Variant for the rates of the public-pension and supplementary funds.
class TragCalcolaFond : public TragCalcola
{
public:
    struct Aliquote
    {
        bool found = false;
        Currency FRICAALIQUOTADIP;   // employee rate, per cent
        Currency FRICAALIQUOTAAMM;   // employer rate, per cent
    };
    // Rates of withholding code `iriceid` for the relationship's year and
    // rate scale IACOMSCAINPDAP (QRY_CUD_INT_DMA_STO_CALC_DIP).
    static Aliquote aliquote(int iacomid, int ianfid, int iriceid, int IACOMSCAINPDAP,
                             const TRagSource &source);
};
