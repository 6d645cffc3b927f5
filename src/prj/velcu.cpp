// velcu: the CU program of the school office.
//
// Database options come from velcu.ini (beside the program on a stage, in the
// user's data folder when installed), the environment and the command line
// (see OvDbConfig.h); --help lists them. With none of them and no demo
// database yet, the first start asks which database to use.
#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"
#include "platform/db/OvDbConfig.h"
#include "platform/ui/framework/OvApplication.h"
#include "platform/ui/framework/OvIcons.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/shell/TfmVelPrimoAvvio.h"
#include "src/prj/unit/shell/VelSchemaUpdate.h"
#include "src/prj/unit/shell/VelStartup.h"

#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char **argv)
{
    TOvApplication app(argc, argv);   // an error no window caught is shown, not fatal
    QApplication::setApplicationName(Campagna::titoloApplicazione());
    QApplication::setApplicationVersion(QStringLiteral(VELCU_VERSION));
    QApplication::setWindowIcon(ovMakeIcon(OvGlyph::Letter, OvColors::Blue, QStringLiteral("CU")));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Certificazione Unica dei percipienti dell'istituto."));
    // Qt's own help option has no Italian text: ours says the same.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Mostra questo aiuto."));
    cli.addOption(help);
    cli.addVersionOption();
    TOvDbOptions::addTo(cli);
    cli.process(app);
    if (cli.isSet(help)) {
        std::fputs(qPrintable(cli.helpText()), stdout);
        return 0;
    }

    TVelStartup::Options options;
    try {
        options.db = TOvDbOptions::resolve(&cli);
        // a workstation with no database yet: the demo school or the server
        if (!TfmVelPrimoAvvio::ensureDatabase(options.db))
            return 1;
        options.db = TOvDbOptions::resolve(&cli);
        // a newer version on the workstation's own database: said once
        const QString updated = VelSchemaUpdate::bringUpToDate(options.db);
        if (!updated.isEmpty())
            OvMessageBox(updated, MB_OK | MB_ICONINFORMATION);
    } catch (const EOvException &e) {
        OvMessageBox(e.message(), MB_OK | MB_ICONERROR);
        return 2;
    }

    TVelStartup startup(options);
    if (const int code = startup.start())
        return code;
    return app.exec();
}
