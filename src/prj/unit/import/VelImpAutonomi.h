#pragma once
// Sums paid to self-employed payees (table TASE_AUTSOMMEEROGATE) from the
// registers of the self-employed positions, grouped by payment reason: one
// row (one certification entry) per reason, A and M first, then any other
// reason the registers carry. The withholding is on account, except for the
// reason of the non-residents' equipment ("P"), where it is the final tax.
// Payments without any IRPEF line (and not flat-rate) are certified as other
// sums not subject to withholding, code 21, with a log line. Log lines go to
// the self-employed section of the run's log.
#include "platform/core/Currency.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "velcu/VelFields.h"

#include <QList>
#include <QString>
#include <QStringList>

class TClientDataSet;
class TRagQuery;

class TVelImpAutonomi
{
public:
    static inline const QString kTabella = rec::TASE_AUTSOMMEEROGATE::id.qs();

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

    // Writes the self-employed rows of the CU of `ctx` into `cdsAutonomo`
    // from the registers given, one per payment reason. Returns the rows
    // written.
    int importa(const TVelImpContesto &ctx, TClientDataSet &cdsAutonomo, const QList<Registro> &registri);

    // The reasons in the order their rows are written: A, M, then the
    // others of the registers in alphabetical order.
    static QStringList causali(const QList<Registro> &registri);
    // True when the withholding of a reason is the final tax (box of the
    // withholding "a titolo d'imposta"), false when it is on account.
    static bool ritenutaATitoloDImposta(const QString &causale);

private:
    // What the entries of one payee found, for the log lines at the end.
    struct Contributi
    {
        bool inps = false;         // INPS contributions in the withholding lines
        bool fondo = false;        // the entertainment fund's contributions
        bool fondoLetto = false;   // the fund's queries run (once per payee)
    };
    // The withholding lines of the registers `ids` of the relationship
    // `rapporto` (its IACOMID) into the entry; returns the gross of the
    // registers paid without any IRPEF line.
    static Currency ritenute(TRagQuery &q, const QVariantMap &rapporto, TClientDataSet &ds, const QStringList &ids,
                             const QString &causale, Contributi &c);
    // The entertainment fund's contributions of the relationship.
    static void fondoSpettacolo(const TVelImpContesto &ctx, TRagQuery &q, TClientDataSet &ds, Contributi &c);
    // Sums not subject to withholding, refunded expenses, the social-security
    // body's part and the code of the other sums.
    static void altreSomme(const TVelImpContesto &ctx, TRagQuery &q, TClientDataSet &ds, const QString &filtro);
};
