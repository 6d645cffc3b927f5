// velcu-pdfmodels OUTPUT_DIR
//
// Writes into OUTPUT_DIR (the staged USR/KZ2025/Res) the PDF models the prints
// copy and the layouts that place the values on them: "CU2026_mod.pdf" with
// "StpCUD.xml", "CU2026_mod_ord.pdf" with "StpCUD_Ord.xml", "StpSost.xml" and
// "StpQuadroCT.xml", "firme.pdf" with "stpStampe.xml", "CU_2026_istruz.pdf",
// and the Help menu's "News.pdf", "invio_telematico.pdf", "Provvedimento.pdf".
// Boxes and labels come from the CU record model.
#include "Models.h"

#include "platform/core/OvExceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QHashFunctions>
#include <cstdio>

int main(int argc, char **argv)
{
    // Attributes are written in hash order: a fixed seed keeps the layouts the
    // same from one build to the next.
    QHashSeed::setDeterministicGlobalSeed();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "uso: velcu-pdfmodels CARTELLA_RES\n");
        return 2;
    }
    const QString dir = args.at(1);
    try {
        if (!QDir().mkpath(dir))
            throw EOvError(QStringLiteral("Impossibile creare la cartella %1").arg(dir));
        buildSummaryCu(dir);
        buildOrdinaryCu(dir);
        buildSignatureList(dir);
        buildInstructions(dir);
        buildHelpDocuments(dir);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velcu-pdfmodels: %s\n", e.what());
        return 1;
    }
    return 0;
}
