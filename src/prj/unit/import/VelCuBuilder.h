#pragma once
// The builder of a CU's main record from one employee's payroll figures,
// already read into the plain structures below: the defaults and the header,
// the fiscal amounts with their deductions, the pension fund, the
// annotations with the periods of work and the check of the days. It reads
// no database: the import reads the payroll (VelImportCud.cpp) and hands the
// figures over; a test can hand them over from memory.
//
// The builder writes into the current row of the CU table it is given (a
// dataset with the fields of TCUD_DATICUD) and never posts it: the import
// posts and saves where the store needs the row.
#include "src/prj/unit/model/VelFieldId.h"
#include "platform/core/Currency.h"
#include "src/prj/unit/import/VelCudReader.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class TClientDataSet;
struct TVelImportOptions;

// The legal positions chosen for the CU's sections, each a comma-separated
// list of ITNOID ("1,2"); empty when none.
struct TVelPosizioniCu
{
    QString fiscale;       // positions whose figures go to the fiscal data
    QString inps;          // positions of the INPS section
    QString cococo;        // "11" for a co-ordinated collaboration
    bool vuote() const { return fiscale.isEmpty() && inps.isEmpty() && cococo.isEmpty(); }
    bool fiscaleContiene(int position) const;
};

// What the header of the CU takes: the key, the candidate row, the person
// (QRY_ANASEX), the fiscal address (QRY_ANAABT) and the agent's signature.
struct TVelIntestazione
{
    QString codFis, mese;
    QString cognome, nome;
    bool anagrafica = false;       // QRY_ANASEX returned the person
    QString sesso;
    QDate nascita;                 // invalid: not known
    QString comuneNascita, provNascita;
    QString statoNascita;          // the foreign state of a birth abroad
    int IQARID = 0;                // qualification of the employment record
    bool indirizzo = false;        // QRY_ANAABT returned the address
    QString comune, prov, codCatastale;
    QString firma;                 // SSOSFIRMACOM of the agent
};

// The employment record's figures the CU reads (QRY_CED_ACOM).
struct TVelRapportoCu
{
    int ITNOID = 0;
    QDate inizio;                  // DACOMINIRAPP
    QDate fine;                    // DACOMFINERAPP
};

// The yearly fiscal figures of the reader (TCudStd or TCudCong), asked in
// the reader's order, with the pay-item totals the fiscal data need.
struct TVelValoriFiscali
{
    bool standard = true;          // no year-end adjustment
    Currency imponibile;
    Currency borsista;             // QRY_CUD_BORSISTA_LORDO, read when the income is a scholarship
    int giorni = 0;
    Currency impostaNetta;
    Currency ritenuteSospese;      // pay item 10054, read when the net tax is above 0
    Currency addComTrattenuta, addComDovuta, addRegDovuta;
    Currency impostaLorda;
    TVelDetrazioniLette detrazioni;
    Currency altriSoggetti;        // FCONGIMPONIBILE_P of the adjustment
    Currency bonus, arretrati, ritenuteOperate;
    QHash<int, Currency> voci730;  // QRY_CUD_730: pay item -> sum of FVACRLORDO
};

// The supplementary pension fund (QRY_CUD_FPC, QRY_ANAFPC).
struct TVelFondoPensione
{
    Currency contributi;           // the employee's and the school's
    Currency tfr;                  // severance share paid to the fund
    QDate adesione;                // DAFPADESIONE of the fund record
};

// The employment data of a CU, written before its first save.
struct TVelDatiLavoro
{
    bool conguaglio = false;                 // a year-end adjustment exists
    std::optional<TVelValoriFiscali> fiscali; // none: no fiscal amounts (INPS only, or no fiscal position)
    bool pagamentiNoiPa = false;             // a payment sent to NoiPA was counted
    TVelFondoPensione fondo;
};

// One payroll row of the periods of work (QRY_CUD_PERIODI), in start order.
struct TVelRigaPeriodo
{
    QDate dal, al;
    Currency importo;
};

// What the annotations read besides the record.
struct TVelDatiAnnotazioni
{
    QList<TVelRigaPeriodo> periodi;
    bool minimiTrovati = false;              // QRY_TDLA returned the year's row
    Currency minimoIndeterminato, minimoDeterminato;   // FTDLAMININD, FTDLAMINDET
    // Absences in the period (QRY_CUD_ASSENZE), asked only when needed.
    std::function<Currency()> assenze;
};

class TVelCuBuilder
{
public:
    // A line of the fiscal section of the run's log.
    using Log = std::function<void(const QString &text)>;
    // The line of a coded note ("AL) ..."); raises on a code without text.
    using Nota = std::function<QString(const QString &code)>;

    // `cu`: the CU table at the row being built; `anno`: the financial year.
    TVelCuBuilder(TClientDataSet &cu, const TVelImportOptions &options, int anno, Log log, Nota nota);

    // A new main record: the default flags and the header.
    void nuova(const TVelIntestazione &h);
    // The fiscal amounts and the pension fund.
    void datiLavoro(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelDatiLavoro &d);
    // The annotations, the relationship's boxes and the days checks.
    void annotazioni(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelDatiAnnotazioni &a);
    // True when every numeric field but the store's keys is 0.
    bool soloZeri() const;

    // The periods text: rows that follow one another without a gap of a day
    // or more are one period; a period with nothing taxable is left out.
    static QString testoPeriodi(const QList<TVelRigaPeriodo> &rows, int *count = nullptr);
    // The deduction cap: items walked in order, cut to the total; the items
    // never add up to more than the total afterwards.
    static void tagliaDetrazioni(Currency total, QList<Currency *> items);

private:
    void datiFiscali(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelValoriFiscali &v);
    void addizionali(const TVelValoriFiscali &v);
    void detrazioni(const TVelValoriFiscali &v);
    void redditiAltriSoggetti(Currency altri);
    void compensiEArretrati(const TVelValoriFiscali &v);
    void assistenza730(const QHash<int, Currency> &totali);
    void fondoPensione(const TVelFondoPensione &f);
    void rapportoNellAnno(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, int periodi,
                          const TVelDatiAnnotazioni &a, QString &note);
    void noteCodificate(const TVelRapportoCu &rapporto, const TVelDatiAnnotazioni &a, QString &note);
    void controlloGiorni(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto);
    static QString giorniScritti(int payroll, int written);

    // The CU's fields by their ids: an amount is read and written as money,
    // a count as a number, a date as a date; a text is fitted to its box.
    void set(const VelFieldId &field, const QVariant &v);
    void setMoney(const VelAmountField &field, Currency c);
    Currency money(const VelAmountField &field) const;
    QString text(const VelFieldId &field) const;
    int integer(const VelIntegerField &field) const;
    QDate date(const VelDateField &field) const;
    void log(const QString &text) const;

    TClientDataSet &m_cu;
    const TVelImportOptions &m_options;
    int m_anno;
    Log m_log;
    Nota m_nota;
};
