#pragma once
// The engines' error: the Italian text the office reads, plus where it
// happened: the file, the stage of the run and a code (the payee is the run's
// outcome entry that records it). A run's outcome takes the stage from here,
// a caller the file and the code, and nobody reads them back out of the text.
//
// It is an EOvError, so every window and the command line show it as before
// (the text alone); the context travels beside it.
//
//   throw EVelError(QStringLiteral("Salvataggio non riuscito"),
//                   {TVelErrorCode::Scrittura, path, TVelStage::Conferma});
#include "platform/core/OvExceptions.h"
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QString>

#include <memory>
#include <optional>

// What kind of failure: what a caller can act on, not the wording.
enum class TVelErrorCode {
    Generico,        // none of those below
    OperazionePdf,   // a PDF workspace operation refused (the workspace's own code in `detail`)
    Scrittura,       // a file could not be written or renamed
    Fornitura,       // the supply refused by the checker
    DatiRetributivi, // a payroll value the CU cannot be built from: the office corrects the payroll
    Archivio,        // the database refused a statement or could not be read (the CUs' store, the payroll)
    ConnessionePersa, // the database server was lost: repeat once it is reachable
    Configurazione,  // the installation or the agent's data lack what the run needs
    DatiMancanti,    // the run's data are incomplete (a supply not generated, mandatory fields)
    Interno,         // a broken promise of the program itself
};

struct TVelErrorContext
{
    TVelErrorContext(TVelErrorCode c = TVelErrorCode::Generico, QString f = QString(),
                     std::optional<TVelStage> s = std::nullopt, int d = 0)
        : code(c), file(std::move(f)), stage(s), detail(d)
    {
    }

    TVelErrorCode code = TVelErrorCode::Generico;
    QString file;                       // the file concerned, when there is one
    std::optional<TVelStage> stage;     // how far the payee had got
    int detail = 0;                     // the lower layer's own code (the PDF workspace's result...)
};

class EVelError : public EOvError
{
public:
    EVelError(QString message, TVelErrorContext context)
        : EOvError(std::move(message), int(context.code)), m_context(std::move(context))
    {
    }

    const TVelErrorContext &context() const { return m_context; }
    TVelErrorCode errorCode() const { return m_context.code; }

    // A run that stopped midway raises with its outcome as it stood: who was
    // done, who failed and why. Null when the run had none to give.
    const TVelRunOutcome *runOutcome() const { return m_outcome.get(); }
    EVelError &withOutcome(TVelRunOutcome outcome)
    {
        m_outcome = std::make_shared<const TVelRunOutcome>(std::move(outcome));
        return *this;
    }

    // Writes the error into a payee's outcome: failed, at the stage the error
    // names (or the one the payee had reached), with the text as the reason.
    void record(TVelPayeeOutcome &payee) const
    {
        payee.result = TVelResult::Errore;
        if (m_context.stage)
            payee.stage = *m_context.stage;
        payee.reason = message();
    }

private:
    TVelErrorContext m_context;
    std::shared_ptr<const TVelRunOutcome> m_outcome;
};
