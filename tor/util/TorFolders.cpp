#include "TorFolders.h"

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
} // namespace

QString mainDir() { return withSlash(InstallRoot::root()); }
QString programDir() { return withSlash(InstallRoot::binDir()); }
QString etcDir() { return withSlash(programDir() + QStringLiteral("../etc/rag")); }
QString usrDir()
{
    const QString d = withSlash(programDir() + QStringLiteral("../usr/rag"));
    QDir().mkpath(d);
    return d;
}
QString resDir() { return mainDir() + Campagna::cartellaRes(); }
QString tabelleDir() { return mainDir() + Campagna::cartellaTabelle(); }
QString stpDir() { return mainDir() + Campagna::cartellaStampe(); }
QString dichCuDir() { return mainDir() + Campagna::cartellaFornitura(); }
QString kzDatiDir() { return mainDir() + Campagna::cartellaDatiTelematici(); }
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
