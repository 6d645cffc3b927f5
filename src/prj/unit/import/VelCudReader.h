#pragma once
// The two readers of a payee's yearly fiscal figures: TCudStd sums the
// monthly withholding lines (no year-end adjustment), TCudCong reads the
// year-end adjustment record. The CU builder asks either through the same
// operations; one reader per employee, initialised with the import state.
//
// Summing rule of the withholding and income totals: rows whose amount is
// not above 0 are skipped; a payment not sent to NoiPA (EXP_CSFA 0) is
// added; one sent to NoiPA only with the option FISCALE_NOIPA, which also
// marks the CU (LCUDCPOSCNACFC). When both kinds were added for the same
// employee the import of that employee stops with a warning.
#include "platform/core/Currency.h"

#include <QHash>
#include "rag/calc/ragUQuery.h"

#include <QString>

class TOvSQLConnection;
class TTorQueryText;

// What a reader takes from the import window for the employee in hand.
struct TVelCudImportState
{
    int IACOMID = 0;
    int MESE_INIZIALE = 1;
    int MESE_FINALE = 12;
    int IANFID = 0;                 // financial-year key
    QString fiscalList;             // legal positions for the fiscal data, "1,2"
    QString collabList;             // "11" for a co-ordinated collaboration
    bool FISCALE_NOIPA = false;     // payments sent to NoiPA count
    int IACOMDURATARAPP = 0;        // collaboration days (employment record)
    TOvSQLConnection *connection = nullptr;
    TTorQueryText *queries = nullptr;         // the catalogue of the payroll queries
    const TRagLocalCopy *copy = nullptr;      // the run's copy of the employees' payroll rows, if any
    TRagSource source() const { return {connection, queries, copy}; }

    // Set by the readers: a payment sent to NoiPA was counted.
    bool LCUDCPOSCNACFC = false;
};

// The deductions a reader worked out and the net tax it recorded.
struct TVelDetrazioniLette
{
    // Filled by calcolaDetrazioni.
    Currency detrFamiliari;     // spouse + children + other dependants
    Currency detrLavoro;        // employment income
    Currency detrAggiuntiva;    // additional employment deduction (credit)
    Currency detrTotale;
    // The net tax last returned by impostaNetta, as the CU records it.
    Currency impostaNettaCalcolata;
    // Filled by numeriFamiliari.
    Currency detrFamNum, credFamNum, credNrFamNum, detrCanLoc, credCanLoc, credNrCanLoc;
};

class TCudStd
{
public:
    virtual ~TCudStd() = default;

    // Why an employee paid both through NoiPA and not cannot be certified.
    static QString mixedSources();

    // The option ANCHE_SENZA_CONGUAGLIO (standard reader only).
    void setAncheSenzaConguaglio(bool on) { m_ancheSenzaConguaglio = on; }
    // What calcolaDetrazioni, numeriFamiliari and impostaNetta recorded.
    const TVelDetrazioniLette &detrazioni() const { return m_detr; }

    // ---- operations, in this order in both readers ----
    virtual Currency impostaLorda();
    virtual Currency ritenuteOperate();
    virtual Currency arretrati();
    virtual Currency imponibile();
    virtual int giorni();
    virtual Currency impostaNetta();
    virtual Currency addComTrattenuta();
    virtual Currency addComDovuta();
    virtual Currency addRegDovuta();
    virtual Currency valoreCampo(const QString &field);
    virtual void calcolaDetrazioni();
    virtual void inizializza(TVelCudImportState &state);
    virtual void numeriFamiliari();
    virtual Currency bonus();

    // Total of one pay item in the range (QRY_CUD_VOCE, fiscal positions);
    // da/a narrow the month range when given (0: the range's own end).
    Currency totaleVoce(int icomrid, int da = 0, int a = 0);

    static constexpr int RICE_COD_IRPEF = 7;
    static constexpr int RICE_COD_ADD_COM = 8;
    static constexpr int RICE_COD_ADD_REG = 10;
    static constexpr int RICE_COD_IRPEF_AM = 11;
    static constexpr int RICE_COD_IRPEF_TS = 12;
    static constexpr int RITV_ADD_COM = 4;
    static constexpr int COMR_BONUS = 10069;
    static constexpr int COMR_BONUS_ARR = 11069;

protected:
    TVelCudImportState &state() const;
    // Sum by the rule above of `column` of QRY_CUD_RIT or QRY_CUD_REDD for
    // the given withholding codes.
    Currency sommaRitenute(const QString &query, const QString &codes, const QString &column);

    TVelCudImportState *m_state = nullptr;
    bool m_ancheSenzaConguaglio = false;
    TVelDetrazioniLette m_detr;
    bool m_addedLocal = false;
    bool m_addedNoiPa = false;
};

class TCudCong : public TCudStd
{
public:
    Currency impostaLorda() override;
    Currency imponibile() override;
    int giorni() override;
    Currency impostaNetta() override;
    Currency addComTrattenuta() override;
    Currency addComDovuta() override;
    Currency addRegDovuta() override;
    Currency valoreCampo(const QString &field) override;
    void calcolaDetrazioni() override;
    void inizializza(TVelCudImportState &state) override;
    void numeriFamiliari() override;
    Currency bonus() override;

    // True when an adjustment record was found at initialisation.
    bool trovato() const { return m_found; }

private:
    QHash<QString, Currency> m_cong;   // FCONG... fields, upper case
    bool m_found = false;
};
