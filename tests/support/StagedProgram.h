#pragma once
// One of the staged installation's programs (velcu-cli, velcu-db) run to its
// end, as an office runs it: its exit status and what it printed.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace StagedProgram {

struct Run
{
    int status = -1; // -1 when it crashed
    QString out, err;
};

inline Run run(const QString &name, const QStringList &args, int timeoutMs = 900000)
{
    QProcess p;
    p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/") + name, args);
    if (!p.waitForFinished(timeoutMs))
        qFatal("%s did not end", qPrintable(name));
    return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
               QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace StagedProgram
