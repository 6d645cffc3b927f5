// velcu-cli controlla --coerenza: the coherence check of the year's CUs in
// the store, one finding a line on standard output; status 1 when there are
// errors, 3 when only warnings remain (or a part could not be checked).
#include "src/prj/unit/cli/VelCliCommon.h"

#include "src/prj/unit/check/VelCoherence.h"
#include "tor/query/torCQueryText.h"

namespace VelCli::detail {

int coerenza(Command &c, LazySession &db)
{
    if (!c.p.positionalArguments().isEmpty())
        throw UsageError{s("Con --coerenza si controllano i CU in archivio: argomento non previsto \"%1\".")
                             .arg(c.p.positionalArguments().first())};
    Session &session = db.get();
    TVelCoherence check(*session.store);
    check.setPayroll(session.workgroup(), QueryText());
    c.err << s("Controllo di coerenza dei CU...\n");
    c.err.flush();
    const TVelCoherenceResult r = check.run();
    for (const QString &line : r.lines())
        c.out << line << '\n';
    const int errors = r.errors();
    c.out << s("CU controllati: %1. Errori: %2. Avvisi: %3.\n")
                 .arg(r.certifications)
                 .arg(errors)
                 .arg(r.findings.size() - errors);
    if (errors > 0)
        return Errors;
    return r.findings.isEmpty() && r.payrollNote.isEmpty() ? Ok : Warnings;
}

} // namespace VelCli::detail
