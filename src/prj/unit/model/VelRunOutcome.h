#pragma once
// What a run (import, supply, print) did, payee by payee. Each payee the run
// was asked to handle gets one entry: the stage it reached, the result and,
// when it was not done, the reason. An entry says "done" only once what it
// wrote was committed (the store's transaction, or the file renamed to its
// final name); counters, the window's end log, the command line's summary and
// its exit status are all drawn from here, never from what was shown.
#include <QList>
#include <QString>
#include <QStringList>

// How far a payee got.
enum class TVelStage {
    Lettura,      // reading the payroll or the store
    Decisione,    // deciding new, replaced or kept
    Costruzione,  // building the values
    Scrittura,    // writing to the store or the file
    Conferma,     // committing, or renaming the file
};

enum class TVelResult {
    Fatto,        // committed
    Mantenuto,    // left as it was, on purpose (printed, not to be replaced)
    Scartato,     // nothing to do for it (no tax code, no data)
    Errore,       // failed: nothing of it remains
    NonEseguito,  // not reached: the run stopped or was cancelled before it
};

// What kind of warning a run ended with: what a caller (the command line's
// exit status) acts on, never the wording.
enum class TVelWarningCode {
    PagatoFuoriElenco,     // import: paid in the year, not among the payees imported
    ControlloNonEseguito,  // a check the run could not make (the payroll unreadable...)
    DatiMancanti,          // supply: written with data missing, on the office's word (--forza)
    Coerenza,              // supply: the coherence check's findings to look at
    AnnotazioniNonSalvate, // supply: annotations rebuilt but not saved in the store
    AnnotazioniDaControllare, // print: annotations that could not be read, to check in the CU
};

struct TVelRunWarning
{
    TVelWarningCode code = TVelWarningCode::ControlloNonEseguito;
    QString text; // Italian, said at the end
};

struct TVelPayeeOutcome
{
    QString codFis;
    QString nome;     // surname and name, as shown to the office
    QString mese;     // the CU's month, where there is one
    TVelStage stage = TVelStage::Lettura;
    TVelResult result = TVelResult::NonEseguito;
    QString reason;   // Italian, for every result but Fatto
    QString remedy;   // Italian, what the office does about it, where the run knows
};

class [[nodiscard]] TVelRunOutcome
{
public:
    QList<TVelPayeeOutcome> payees;
    QList<TVelRunWarning> warnings; // said at the end, they do not make the run fail
    QString fatal;             // the run as a whole stopped: why
    bool cancelled = false;    // stopped by the user

    void warn(TVelWarningCode code, const QString &text) { warnings.append({code, text}); }
    QStringList warningLines() const
    {
        QStringList lines;
        for (const TVelRunWarning &w : warnings)
            lines << w.text;
        return lines;
    }
    // Done, but with warnings to look at (the command line's status 3).
    bool conAvvisi() const { return riuscito() && !warnings.isEmpty(); }

    TVelPayeeOutcome &add(const TVelPayeeOutcome &p)
    {
        payees.append(p);
        return payees.last();
    }
    int count(TVelResult r) const
    {
        int n = 0;
        for (const TVelPayeeOutcome &p : payees)
            n += p.result == r ? 1 : 0;
        return n;
    }
    // No payee failed, none left undone, the run was not stopped.
    bool riuscito() const
    {
        return fatal.isEmpty() && !cancelled && count(TVelResult::Errore) == 0
               && count(TVelResult::NonEseguito) == 0;
    }
    // "COGNOME NOME (CF): reason remedy", one line per payee not done or failed.
    QStringList problemLines() const { return linesOf(false); }
    // The same for the payees left as they were on purpose.
    QStringList keptLines() const { return linesOf(true); }

private:
    QStringList linesOf(bool kept) const
    {
        QStringList lines;
        for (const TVelPayeeOutcome &p : payees) {
            if (p.result == TVelResult::Fatto || (p.result == TVelResult::Mantenuto) != kept)
                continue;
            QString who = p.nome.trimmed();
            if (!p.codFis.isEmpty())
                who += who.isEmpty() ? p.codFis : QStringLiteral(" (%1)").arg(p.codFis);
            QString line = QStringLiteral("%1: %2").arg(who, p.reason);
            if (!p.remedy.isEmpty())
                line += (line.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) + p.remedy;
            lines << line;
        }
        return lines;
    }
};
