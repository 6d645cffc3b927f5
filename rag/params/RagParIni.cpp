#include "RagParIni.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "tor/util/TorFolders.h"

#include <QSettings>

namespace RagParIni {

QString fileName() { return TorFolders::usrDir() + QStringLiteral("RagPar.ini"); }

QString section(int year) { return QStringLiteral("LIQ_CORRENTE%1").arg(year); }

TRagLiqCorrente read(int year, const QString &file)
{
    QSettings ini(file, QSettings::IniFormat);
    ini.beginGroup(section(year));
    TRagLiqCorrente r;
    r.gruppo = ini.value(QStringLiteral("GRUPPO"), 0).toInt();
    r.id = ini.value(QStringLiteral("ID"), 0).toInt();
    r.mese = ini.value(QStringLiteral("MESE"), 0).toInt();
    return r;
}

void write(int year, const TRagLiqCorrente &run, const QString &file)
{
    ovUpdateIniFile(file, [&](QSettings &ini) {
        ini.beginGroup(section(year));
        ini.setValue(QStringLiteral("GRUPPO"), run.gruppo);
        ini.setValue(QStringLiteral("ID"), run.id);
        ini.setValue(QStringLiteral("MESE"), run.mese);
        ini.endGroup();
    });
}

} // namespace RagParIni
