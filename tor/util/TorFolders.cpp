#include "TorFolders.h"

#include "platform/core/OvFolders.h"
#include "platform/db/InstallRoot.h"
#include "tor/util/TorCampagna.h"


#include <QDir>
#include <QFileInfo>

namespace TorFolders {

namespace {
QString withSlash(const QString &p)
{
    const QString c = QDir::cleanPath(p);
    return c.endsWith(QLatin1Char('/')) ? c : c + QLatin1Char('/');
}
// The folders the program writes into: made when missing, their owner's only.
// A folder that cannot be made is left to the write that needs it, which
// names the cause.
QString made(const QString &dir)
{
    ovTryMakePath(dir);
    return dir;
}
} // namespace

QString mainDir() { return withSlash(InstallRoot::root()); }
QString programDir() { return withSlash(InstallRoot::binDir()); }
QString dataDir() { return withSlash(InstallRoot::dataRoot()); }
QString etcDir() { return withSlash(InstallRoot::etcDir()); }
QString usrDir() { return made(withSlash(InstallRoot::usrDir())); }
QString resDir() { return mainDir() + Campagna::cartellaRes(); }
QString tabelleDir() { return mainDir() + Campagna::cartellaTabelle(); }
QString ownResDir() { return dataDir() + Campagna::cartellaRes(); }
QString ownTabelleDir() { return dataDir() + Campagna::cartellaTabelle(); }
QString stpDir() { return made(dataDir() + Campagna::cartellaStampe()); }
QString dichCuDir() { return made(dataDir() + Campagna::cartellaFornitura()); }
QString kzDatiDir() { return made(dataDir() + Campagna::cartellaDatiTelematici()); }

QString yearFileDir()
{
    const QString own = ownResDir();
    return QFileInfo::exists(resolveFile(own, QStringLiteral("TCUA_ANNOFIN.cds")))
               || QFileInfo::exists(resolveFile(own, QStringLiteral("TCUA_ANNOFIN.cds.BAK")))
               ? own
               : resDir();
}
QString binDir() { return programDir(); }

QString resolveFile(const QString &dir, const QString &name)
{
    QString current = withSlash(dir);
    const QStringList parts = QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        QString found = part;
        if (!QFileInfo::exists(current + part)) {
            const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            for (const QString &e : entries) {
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    found = e;
                    break;
                }
            }
        }
        current += found;
        if (i + 1 < parts.size())
            current += QLatin1Char('/');
    }
    return current;
}

} // namespace TorFolders
