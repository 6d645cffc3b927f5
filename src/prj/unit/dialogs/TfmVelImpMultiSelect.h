#pragma once
// "Scelta dipendenti" of the CU import: the candidate list of the run, the
// option "Forza l'importazione dei modelli già stampati" and, on OK, the
// import of the work list through TVelImportCud (positions dialog, progress,
// end-of-run report in "Informazioni": the counts of the run, then its log
// and every employee not imported with the reason). "Annulla" during the run
// stops it after the employee in progress.
#include "rag/ui/import/RagFFiscImpMultiSelect.h"
#include "src/prj/unit/model/VelRunOutcome.h"

#include <memory>

class QCheckBox;
class TTorDBCds;
class TVelImportCud;
struct TVelImportOptions;

class TfmVelImpMultiSelect : public TfmragFiscImpMultiSelect
{
    Q_OBJECT
public:
    TfmVelImpMultiSelect(TTorDBCds &store, const TVelImportOptions &options, TClientDataSet *sos,
                         QWidget *parent = nullptr);
    ~TfmVelImpMultiSelect() override;

    QCheckBox *cbForzaStampati = nullptr;
    TVelImportCud &import() { return *m_import; }

    // Loads the candidates and shows the list; false when there is none.
    bool carica();

    // The class procedure: loads the candidates; none: "Nessuna dato da
    // importare!" and no window; otherwise the window, modally.
    static void Execute(TTorDBCds &store, TClientDataSet &parametri, TClientDataSet *sos, QWidget *parent = nullptr);

    bool running() const { return m_running; }
    // The lines of the end-of-run report: the counts, then the run's log.
    static QStringList rapportoFinale(const TVelRunOutcome &outcome, const QStringList &log);
    // What the last run did.
    const TVelRunOutcome &ultimoEsito() const { return m_ultimo; }

    // During a run "Annulla" asks the run to stop after the current employee.
    void reject() override;

protected:
    void importa(const QList<int> &keys) override;

private:
    std::unique_ptr<TVelImportCud> m_import;
    bool m_running = false;
    bool m_stop = false;
    QStringList m_log;       // the end log of the run in hand
    TVelRunOutcome m_ultimo; // what the last run did
};
