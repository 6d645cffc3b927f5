// velcu-cli: the CU campaign from the command line (import, supply, prints,
// the supply check, the state of the year). It never opens a window and
// needs no display; see src/prj/unit/cli/VelCli.h for the commands.
#include "platform/core/OvItalian.h"
#include "src/prj/unit/cli/VelCli.h"
#include "tor/util/TorCampagna.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ovInstallItalian(app);
    QCoreApplication::setApplicationName(QStringLiteral("velcu-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELCU_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2 && (args.at(1) == QLatin1String("--version") || args.at(1) == QLatin1String("-v"))) {
        out << "velcu-cli " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    return VelCli::run(QCoreApplication::arguments(), out, err);
}
