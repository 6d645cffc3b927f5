// velcu: the CU program of the school office.
//
// Until the main window of the program lands, this starts the framework's MDI
// window as a preview of the platform layer and says so in its status bar.
#include "platform/framework/OvMessages.h"
#include "platform/framework/TfmOvMDIMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Modello CU 2025"));
    QApplication::setApplicationVersion(QStringLiteral(VELCU_VERSION));

    QCommandLineParser cli;
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption shot(QStringLiteral("screenshot"),
                            QStringLiteral("Salva un'immagine della finestra nel file indicato ed esce."),
                            QStringLiteral("file"));
    cli.addOption(shot);
    cli.process(app);

    TfmOvMDIMain main;
    main.setWindowTitle(QStringLiteral("CU 2026"));
    main.setStatusText(0, QStringLiteral("Anteprima: velcu è in costruzione; la finestra principale "
                                         "con i comandi arriva con la prossima versione."));
    main.resize(1000, 640);
    main.show();

    if (cli.isSet(shot)) {
        QTimer::singleShot(0, &main, [&] {
            const bool ok = main.grab().save(cli.value(shot));
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
