#pragma once
// One employee's payroll as the CU builder takes it: the positions chosen
// for the CU's sections, the heading (person, fiscal address, the agent's
// signature), the employment and fiscal figures, the pension fund, the
// annotations' periods, the self-employed registers, and the texts of the
// coded annotations. What a run reads once (the signature, the agent's
// parameters, the annotation codes) is kept until the next run.
//
// The reads go through the run's source: on a server, the group's copy of
// the payroll rows when it holds them (TVelPayrollCopy).
#include "src/prj/unit/import/VelCuBuilder.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "src/prj/unit/import/VelImportCandidati.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class TCudStd;
class TClientDataSet;
class TOvSQLConnection;
class TTorDBCds;
class TTorQueryText;
struct TVelImportOptions;

class TVelImportPayroll
{
public:
    // The positions dialog of the run's hooks (see TVelImportHooks).
    using Posizioni = std::function<void(TClientDataSet &rows, bool &cococo, const QString &employee)>;

    TVelImportPayroll(TTorDBCds &store, TTorQueryText &queries, const TVelImportOptions &options);
    ~TVelImportPayroll();

    // A new run on `copy` (none: every read on the server) for the year:
    // what is read once per run is read again.
    void nuovaRun(const TRagLocalCopy *copy, int anno);
    // The agent's signature is read again at its next use (its data were
    // just written).
    void firmaDaRileggere() { m_firmaLetta = false; }
    // Folder of the code tables (TNOT_NOTE); empty: the installation's.
    void setCartellaTabelle(const QString &folder) { m_cartellaTabelle = folder; }

    // The employee in hand: the candidate row, its employment record
    // (QRY_CED_ACOM) and fiscal address (QRY_ANAABT), kept by reference.
    void dipendente(const TVelCandidato &dip, TClientDataSet &acom, TClientDataSet &abt);

    // The positions of the employee's CU, asking `dialog` when several are held.
    const TVelPosizioniCu &scegliPosizioni(const Posizioni &dialog);
    // The employee's self-employed registers, when the category takes them.
    QList<TVelImpAutonomi::Registro> registriAutonomi();

    TVelIntestazione intestazione(const QString &codFis, const QString &mese);
    TVelRapportoCu rapporto() const;
    TVelDatiLavoro datiLavoro();
    TVelDatiAnnotazioni annotazioni();
    // "code) text" of a coded annotation.
    QString notaCodificata(const QString &code);

    // Read once per run.
    const TVelParametriPaco &paco();
    const QString &codFisSostituto();

private:
    TOvSQLConnection &conn() const;
    TRagSource source() const;
    int ianfid() const;
    QString nominativo() const;
    TVelPosizioniCu posizioniDaRighe(TClientDataSet &rows, bool cococo) const;
    TVelValoriFiscali valoriFiscali(TCudStd &r);
    TVelFondoPensione fondoPensione();
    void leggiSostituto();

    TTorDBCds &m_store;
    TTorQueryText &m_queries;
    const TVelImportOptions &m_options;
    const TRagLocalCopy *m_copy = nullptr;
    int m_anno = 0;
    QString m_cartellaTabelle;

    QString m_firma;             // the agent's signature
    QString m_ssosCodFis;        // the agent's tax code, read with it
    bool m_firmaLetta = false;
    TVelParametriPaco m_paco;    // QRY_PACO
    bool m_pacoLetto = false;
    std::unique_ptr<TClientDataSet> m_note;   // TNOT_NOTE

    TVelCandidato m_dip;
    TClientDataSet *m_acom = nullptr;
    TClientDataSet *m_abt = nullptr;
    TVelPosizioniCu m_pos;
};
