// velcu-catalogue: turns the query catalogue's XML source into the dataset
// file the program loads (rag_QueryText.cds) and its certificate
// (rag_QueryText.unxc), written into the given folder.
//
//   velcu-catalogue SOURCE.xml OUTPUT-FOLDER
#include "platform/core/OvExceptions.h"
#include "tor/query/torCQueryText.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "Uso: velcu-catalogue SORGENTE.xml CARTELLA-DI-USCITA\n";
        return 2;
    }
    try {
        const QDir out(args[2]);
        if (!out.exists() && !QDir().mkpath(out.absolutePath()))
            throw EOvError(QStringLiteral("Impossibile creare la cartella \"%1\".").arg(out.absolutePath()));
        TTorQueryText catalogue;
        catalogue.loadFromXml(args[1]);
        if (catalogue.requiredVersion(QStringLiteral("VER_VELCU")).isEmpty())
            throw EOvError(QStringLiteral("Catalogo delle query \"%1\": manca la riga VER_VELCU con la versione "
                                          "minima del programma.").arg(args[1]));
        const QString cds = out.filePath(QStringLiteral("rag_QueryText.cds"));
        catalogue.saveCatalogue(cds);
        QTextStream(stdout) << "Catalogo delle query: " << catalogue.recordCount() << " righe in " << cds << "\n";
    } catch (const EOvException &e) {
        err << e.message() << "\n";
        return 1;
    }
    return 0;
}
