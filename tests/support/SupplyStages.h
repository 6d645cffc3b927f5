#pragma once
// The supply's stages as the tests walk them: the pre-check, then the
// generation, as the wizard's "Crea File telematico" does.
#include "src/prj/unit/telematic/TdmVelFile.h"

namespace SupplyStages {

// Pre-checked and generated; a pre-check that refused gives no supply and
// says so in the outcome.
inline TVelSupplyGeneration generate(const TVelSupplyOpened &opened, const QList<int> &rows)
{
    if (const std::optional<TVelSupplyChecked> checked = opened.preCheck(rows))
        return checked->generate();
    TVelSupplyGeneration refused;
    refused.outcome.fatal = QStringLiteral("controllo preliminare non superato");
    return refused;
}

} // namespace SupplyStages
