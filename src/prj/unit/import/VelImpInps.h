#pragma once
// The social-security sections of a CU: INPS (table TCUDI_INPS) with the
// collaborators' separate-scheme contributions, and the public-pension
// section "ex INPDAP" (table TCUDN_INPDAP), taken either from the payments
// sent to NoiPA or from the declarations of the UniEmens program that shares
// the database. Log lines go to the INPS section of the run's log.
//
// Both builders run after the CU's main record has been saved, INPS first.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

class TClientDataSet;

class TVelImpInps
{
public:
    static inline const QString kTabella = rec::TCUDI_INPS::id.qs();

    static constexpr int RICE_COD_INPS_OI = 3;   // INPS, ordinary
    static constexpr int RICE_COD_INPS_PT = 13;  // INPS, part-time
    static constexpr int VARMRIRP_ACCESSORI = 3; // accessory pay
    static constexpr int VARMRIRP_ARRETRATI = 4; // arrears
    static constexpr int COS_STIPENDIO = 10001;  // monthly pay
    static constexpr int COS_TREDICESIMA = 10002;

    // Writes the INPS rows of the CU of `ctx` into `cdsINPS`: accessory and
    // fundamental pay of the positions of the INPS list (one row per company
    // number), then the separate-scheme contributions of a collaboration.
    // Returns the number of rows written.
    int importa(const TVelImpContesto &ctx, TClientDataSet &cdsINPS);
};

// One declaration record of the UniEmens program (kind E0 or V1).
struct TVelUniEmensRecord
{
    QString cf;
    int anno = 0;
    int mese = 0;
    int ammId = 0;
    QString gestPens, gestPrev, gestCredito;
    QDate dal, al;
    // Net amounts: for a variation record the positive less the negative one.
    Currency impPens, conPens, conEcc, impTfs, conTfs, impTfr, conTfr, impCredito, conCredito, conEnpdep,
        pensSosp, prevSosp;
};

// The UniEmens declarations of one financial year, read once per run from
// the store under the sibling program's code.
class TVelUniEmens
{
public:
    struct Amministrazione
    {
        QString cf;
        QString inpdap;
        QString nome;   // SAMMDENOM
    };

    // Reads TAMM_AMMINISTRAZIONI, TE0_RETR and TV1_RETR of `anno` through
    // `store` (its program code swapped for "tpf" meanwhile and put back
    // also on failure). A table that cannot be read raises EOvError naming
    // the table.
    void carica(TTorDBCds &store, int anno);
    bool caricato(int anno) const { return m_anno == anno; }

    // Records of a payee in the declaration months [da, a] of the year:
    // the period records first, then the variations.
    QList<TVelUniEmensRecord> records(const QString &cf, int da, int a) const;
    Amministrazione amministrazione(int ammId) const { return m_amm.value(ammId); }

    // "T%1_RETR" of a record kind ("E0", "V1").
    static QString tabellaRecord(const QString &kind);

private:
    int m_anno = 0;
    QHash<int, Amministrazione> m_amm;
    QHash<QString, QList<TVelUniEmensRecord>> m_e0, m_v1;   // by upper-case tax code
};

// The UniEmens tables are not in the store (no sibling program): nothing to
// read, as opposed to tables that are there but cannot be read.
class EUniEmensAssente : public EOvError
{
public:
    using EOvError::EOvError;
};

class TVelImpInpdap
{
public:
    static inline const QString kTabella = rec::TCUDN_INPDAP::id.qs();
    static constexpr int RICE_COD_INPDAP = 2;

    // Writes the public-pension rows of the CU of `ctx` into `cdsINPDAP`:
    // nothing when the agent parameter LPACOCUDINPDAP is 1; otherwise from
    // the NoiPA payments (INCLUDI_INPDAP_MEF = 1) or from the UniEmens
    // declarations. Returns the number of rows written or changed.
    int importa(const TVelImpContesto &ctx, TClientDataSet &cdsINPDAP);

    // Forgets the declarations read (the next UniEmens import reads them
    // again).
    void ricarica()
    {
        m_uniemens.reset();
        m_senzaUniEmens = 0;
    }

    // The second management code as the CU holds it (four characters: the
    // scheme and the end-of-service code): a one-character code of the
    // declaration gets the end-of-service code "001".
    static QString gestionePrevidenziale(const QString &code);

    // Public-pension contributions withheld in the payee's payslips (code
    // 2), of every register or only of those not sent to NoiPA.
    static Currency trattenuteCedolini(const TVelImpContesto &ctx, bool soloNonNoiPa);

private:
    int daNoiPa(const TVelImpContesto &ctx, TClientDataSet &cds);
    int daUniEmens(const TVelImpContesto &ctx, TClientDataSet &cds);
    // The log line "Contributi pensionistici Gestione Pubblica trattenuti nei
    // cedolini: <amount>, <perche>" when the payslips withheld any.
    static void avvisaCedolini(const TVelImpContesto &ctx, bool soloNonNoiPa, const QString &perche);
    TVelUniEmens &uniEmens(const TVelImpContesto &ctx);

    std::unique_ptr<TVelUniEmens> m_uniemens;
    int m_senzaUniEmens = 0;   // year whose declarations could not be read (NoiPA source)
};
