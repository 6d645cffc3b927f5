#pragma once
// The coherence check of the stored CUs: what a careful accountant would
// catch reading every CU of the year, beyond the format of each box. It reads
// the store (the CUs, their dependants, INPS, public-pension and
// self-employed rows, the withholding agent) and, when it can, the payroll
// (who was paid in the year and which contributions were withheld), and
// returns one finding per fault: payee, box, value, rule.
//
//   TVelCoherence check(store);
//   check.setWorkgroup(1);                 // the school whose payroll is read
//   const TVelCoherenceResult r = check.run();
//   for (const TVelCoherenceFinding &f : r.findings) ...
//
// Rules, each over every CU of the year:
//   - days of box 6 within the days of the relationship inside the year
//     (boxes 8 and 9), or within the year when the adjustment took in other
//     employers' income (531-536): the import's own rule (VelCuRules), and
//     within the days of the year;
//   - other employers' income (531-536, 539-544) not above the box it is
//     "already included" in (1, 2, 3, 4, 5, 13);
//   - box 9 inside the year, box 8 not after it, box 8 not after box 9;
//   - box 10 "in force at 31/12" against box 9 (ticked with a cessation, or
//     missing with employment income and no cessation);
//   - IRPEF withheld (21) not above the income of boxes 1-5; self-employed
//     withholding not above the taxable, the taxable not above the gross;
//   - self-employed withholding as final tax (box 10) only under reason P,
//     the import's rule, unless the payee resides abroad (boxes 40, 41, 45);
//   - 374 equal to its items (362, 363, 367, 368, 369, 370) and
//     375 = 361 - 374;
//   - dependants' months 1-12 (months under three years and of the other
//     counters 0-12), deduction percentages 0-100;
//   - tax codes of payee, dependants and agent (check character);
//   - province of birth "EE" exactly for a payee born abroad;
//   - one CU per payee and month, and one per payee in the year;
//   - contributions withheld in payroll (public pension, INPS) with no row
//     in the CU's section, and public-pension contributions withheld above
//     the employee's contributions that section 2 certifies (payroll);
//   - every payee paid in the year with a CU (payroll).
// The two payroll rules run only when the payroll is reachable; otherwise the
// result says so (payrollChecked false and the reason).
//
// Severity: an error is what the agency's checks refuse or what makes a
// certification plainly wrong in the file (an invalid tax code, a date
// outside the year or out of order, months or percentages out of range, a
// payee certified twice, days beyond the year, other employers' income above
// the box it is included in, a final withholding under reasons A and M). A
// warning is a figure the office must look at but may know to be right
// (days within the year, box 10, sums, contributions, payees without CU, and
// the province of birth: people born before 1947 in territories then Italian
// keep an Italian municipality in their tax code).
#include "platform/core/Currency.h"

#include <QHash>
#include <QMap>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class TClientDataSet;
class TOvSQLConnection;
class TTorQueryText;
struct TRagSource;
class TTorDBCds;

enum class TVelCoherenceRule {
    GiorniPeriodo,        // box 6 above the days of the relationship in the year
    GiorniAnno,           // box 6 outside 0..days of the year
    DataFuoriAnno,        // box 9 outside the year, box 8 after it
    DateInvertite,        // box 8 after box 9
    InForza,              // box 10 against box 9
    RitenuteReddito,      // withholding above income / taxable above gross
    TotaleDetrazioni,     // 374 differs from its items
    ImpostaNetta,         // 375 differs from 361 - 374
    MesiFamiliari,        // months outside their range
    PercentualeFamiliari, // percentage outside 0..100
    CodiceFiscale,        // tax code missing or invalid
    ProvinciaEstera,      // province of birth and foreign birth disagree
    CuDoppia,             // a payee with two CUs
    ContributiSenzaSezione,
    PagatoSenzaCu,
    ContributiNonCertificati, // public pension withheld above what section 2 certifies
    RedditiAltriSostituti,    // 531-536 / 539-544 above the box they are "already included" in
    RitenutaTitoloImposta,    // self-employed final-tax withholding under a reason other than P
};

struct TVelCoherenceFinding
{
    enum Severity { Avviso, Errore };

    TVelCoherenceRule rule = TVelCoherenceRule::GiorniAnno;
    Severity severity = Avviso;
    QString codFis;  // the payee's tax code as stored (may be empty)
    QString name;    // surname and name
    QString month;   // the CU's month ("12"), empty for payroll findings without CU
    QString box;     // "6", "374", "Familiari: primo figlio", "Sostituto", ...
    QString value;   // the value found, as the office reads it
    QString text;    // the rule broken, in Italian

    // "RSSMRA75C12H199Y ROSSI MARIO (mese 12), punto 374 = 2.650,00: <text>"
    QString line() const;
    bool stopsSupply() const { return severity == Errore; }
};

// A payee of the payroll paid in the year (pay lines other than refunded
// expenses), with the contributions withheld from them.
struct TVelPaidPayee
{
    QString codFis;
    QString name;
    Currency paid;
    Currency pensionWithheld; // public pension (withholding code 2)
    Currency inpsWithheld;    // INPS (3, 13) and its separate scheme (15)
};

// The stored rows the rules read: each row a field -> value map (field names
// upper case, null values left out), as loaded from the store; rowsOf keeps
// only the columns the rules read.
struct TVelCoherenceInput
{
    int year = 0;
    QList<QVariantMap> cu;       // TCUD_DATICUD
    QList<QVariantMap> family;   // TCUDC_CONFAMCARICO
    QList<QVariantMap> inps;     // TCUDI_INPS
    QList<QVariantMap> inpdap;   // TCUDN_INPDAP
    QList<QVariantMap> autonomo; // TASE_AUTSOMMEEROGATE
    QList<QVariantMap> agent;    // TCUS_DATISOST
    std::optional<QList<TVelPaidPayee>> payroll; // nullopt: not reachable
    QString payrollWhy;                          // why, when not reachable

    static QList<QVariantMap> rowsOf(TClientDataSet &ds);
};

struct TVelCoherenceResult
{
    QList<TVelCoherenceFinding> findings;
    int certifications = 0;
    bool payrollChecked = false;
    QString payrollNote; // said when the payroll could not be read

    int errors() const;
    // The lines of the list, the payroll note last.
    QStringList lines() const;
};

// The findings a supply shows: those that stop it, those the office is asked about.
struct TVelCoherenceReport
{
    QStringList blocking;
    QStringList warnings;
};

class TVelCoherence
{
public:
    explicit TVelCoherence(TTorDBCds &store);

    // The school (configuration) whose payroll is read; 0: the payroll is not read.
    // The school's configuration and the catalogue its payroll is read
    // through; without them the payroll is not read (the result says so).
    void setPayroll(int workgroup, TTorQueryText &queries)
    {
        m_workgroup = workgroup;
        m_queries = &queries;
    }

    // Loads the CUs of the store's year and checks them.
    [[nodiscard]] TVelCoherenceResult run();
    // The input as the store (and the payroll) hold it now; `rows`, when
    // given, gives a structure's rows instead of the store (rows already
    // loaded by the caller).
    TVelCoherenceInput load(const std::function<QList<QVariantMap>(const char *structure)> &rows = {});
    // The rules over an input.
    [[nodiscard]] static TVelCoherenceResult check(const TVelCoherenceInput &in);

    // The payees paid in the year by the school, from the payroll; nullopt
    // with `why` set when the payroll cannot be read.
    static std::optional<QList<TVelPaidPayee>> readPayroll(const TRagSource &source, int year, int workgroup,
                                                           QString *why);

    // For the supply's pre-check: the findings of the certifications of
    // `dip` visited (1-based rows), and, when every certification is
    // visited, those of the year as a whole (payees without CU): the errors
    // of the certifications in `blocking`, everything else (the agent's
    // codes included: the generation requires the agent's code itself) in
    // `warnings`. A payee with two CUs is left to the supply's own refusal.
    // `loaded`, when given, gives a structure's rows as the supply read them.
    static TVelCoherenceReport supplyReport(TTorDBCds &store, int workgroup, TTorQueryText &queries,
                                            TClientDataSet &dip, const QList<int> &rows,
                                            const std::function<QList<QVariantMap>(const char *structure)> &loaded = {});

private:
    TTorDBCds &m_store;
    int m_workgroup = 0;
    TTorQueryText *m_queries = nullptr;
};
