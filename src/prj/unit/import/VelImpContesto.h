#pragma once
// What the section builders of a CU (dependants, INPS and public pension,
// self-employed payments) take from the CU builder for the employee in hand.
//
// The CU builder fills one TVelImpContesto per employee, after it has posted
// the CU's main record (TCUD_DATICUD). Every builder then adds its rows to
// the section dataset it is given (the import's CU value, which holds this
// CU's rows only) and hands it to `salva` after each post. A builder raises
// only on a database error or on a UniEmens table that cannot be opened: the
// caller rolls the employee back.
//
//   field              where the CU builder takes it
//   ----------------   ------------------------------------------------------
//   connection         the connection of the run
//   queries            the catalogue of the payroll queries the run was given
//   store              the store of the run (program "vel", financial year);
//                      the public-pension builder borrows it for the
//                      UniEmens tables (program code swapped and restored)
//   anno, IANFID       financial year and its key (TorAnni::toKey)
//   IACOMID, IANAID    the candidate row (relationship, person)
//   MESE_INIZIALE,     the candidate row's month range (always 1 .. the row's
//   MESE_FINALE        MESE_FINALE)
//   SCUDCODFIS         employment record SANACODFISCALE (the CU key)
//   SCUDMESE           "%.2d" of MESE_FINALE (the CU key)
//   iAfiID             the CU's store person when it is in the store already
//                      (0 in the import: the store gives it at the hand-over)
//   listaFiscale,      the three position lists of the positions choice
//   listaInps,         ("1,2", "11"; empty when none)
//   listaCococo
//   LACOMMINIMI,       employment record (QRY_CED_ACOM): flat-rate regime,
//   IACOMSOGGENPALS,   entertainment fund, public-pension rate scale
//   IACOMSCAINPDAP
//   INCLUDI_INPDAP_MEF the import option: 1 NoiPA payments, else UniEmens
//   paco               agent parameters (QRY_PACO), TVelParametriPaco::leggi
//   SSOSCODFIS         the agent's tax code (TCUS_DATISOST)
//   log                the run's message log: section number and text
//   salva              where a section dataset goes after a post: nowhere in
//                      the import (the CU value is handed over whole at the
//                      end); unset: store->Save(ds, structure)
#include "rag/calc/ragUQuery.h"

#include <QString>
#include <functional>

class TClientDataSet;
class TOvSQLConnection;
class TTorQueryText;
class TTorDBCds;

// Sections of the import's message log.
enum TVelSezioneLog {
    SezioneFiscale = 0,
    SezioneFamiliari = 1,
    SezioneInps = 2,
    SezioneAutonomo = 3,
};
// The heading of a section: "Sezione fiscale", "Sezione familiari a carico
// per detrazioni", "INPS Sezione 2 - Gestione Pubblica", "Dati autonomo".
QString velTitoloSezioneLog(int section);

// The agent parameters the sections read (named query QRY_PACO).
struct TVelParametriPaco
{
    QString SPACOMATRAZIENDA;   // INPS company number
    QString SPACOMATRAZACC;     // INPS company number of accessory pay (may be empty)
    QString SPACOCFINPS;        // INPS tax code
    QString SPACOCFMEF;         // tax code of the reporting body for NoiPA payments
    int LPACOCUDINPDAP = 0;     // 1: no public-pension section in the CU

    // From the current row of an open QRY_PACO dataset.
    static TVelParametriPaco leggi(TClientDataSet &paco);
};

struct TVelImpContesto
{
    TOvSQLConnection *connection = nullptr;
    TTorQueryText *queries = nullptr;
    const TRagLocalCopy *copy = nullptr;   // the run's copy of the employees' payroll rows, if any
    TRagSource source() const { return {connection, queries, copy}; }
    TTorDBCds *store = nullptr;
    int anno = 0;
    int IANFID = 0;
    int IACOMID = 0;
    int IANAID = 0;
    int MESE_INIZIALE = 1;
    int MESE_FINALE = 12;
    QString SCUDCODFIS;
    QString SCUDMESE;
    qint64 iAfiID = 0;
    QString listaFiscale;
    QString listaInps;
    QString listaCococo;
    int LACOMMINIMI = 0;
    int IACOMSOGGENPALS = 0;
    int IACOMSCAINPDAP = 0;
    int INCLUDI_INPDAP_MEF = 1;
    TVelParametriPaco paco;
    QString SSOSCODFIS;
    std::function<void(int section, const QString &text)> log;
    std::function<void(TClientDataSet &ds, const QString &structure)> salva;

    // Helpers of the builders.
    void scrivi(int section, const QString &text) const;
    void salvaTabella(TClientDataSet &ds, const QString &structure) const;
    // A new section row: the CU key and the CU's person.
    void nuovaRiga(TClientDataSet &ds) const;
    // True when the current row of `ds` belongs to this CU.
    bool dellaCu(TClientDataSet &ds) const;
};

// Keeps a dataset's filter switched off while a builder walks it, and puts
// it back afterwards.
class TVelSenzaFiltro
{
public:
    explicit TVelSenzaFiltro(TClientDataSet &ds);
    ~TVelSenzaFiltro();
    TVelSenzaFiltro(const TVelSenzaFiltro &) = delete;
    TVelSenzaFiltro &operator=(const TVelSenzaFiltro &) = delete;

private:
    TClientDataSet &m_ds;
    bool m_filtered;
};
