#include "src/prj/unit/telematic/VelProduttore.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"
#include "platform/db/InstallRoot.h"
#include "src/prj/unit/model/VelCodFis.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace VelProduttore {

namespace {
const QString kKey = QStringLiteral("FileTelematico/CodiceFiscaleProduttore");
const QString kDemo = QStringLiteral("FileTelematico/Dimostrativo");
} // namespace

QString installedFile()
{
    return InstallRoot::shippedOrOwn(QStringLiteral("etc/rag/") + QLatin1String(FileName));
}

Setting current(const QString &programIni)
{
    Setting s;
    if (!programIni.isEmpty() && QFileInfo::exists(programIni)) {
        QSettings ini(programIni, QSettings::IniFormat);
        if (ini.contains(kKey)) {
            s.code = ini.value(kKey).toString().trimmed();
            s.file = programIni;
            s.fromProgramIni = true;
            return s;
        }
    }
    s.file = installedFile();
    if (QFileInfo::exists(s.file)) {
        QSettings ini(s.file, QSettings::IniFormat);
        s.code = ini.value(kKey).toString().trimmed();
        s.demo = ini.value(kDemo).toString().trimmed() == QLatin1String("1");
    }
    return s;
}

QString problem(const QString &code)
{
    const QString c = code.trimmed();
    if (c.isEmpty())
        return QStringLiteral("Codice fiscale del produttore del software mancante.");
    if (!VelCodFis::isValidNumeric(c))
        return QStringLiteral("Codice fiscale del produttore del software non valido (\"%1\"): servono 11 cifre "
                              "con il carattere di controllo esatto.")
            .arg(c);
    return QString();
}

void save(const QString &code)
{
    const QString c = code.trimmed();
    if (const QString why = problem(c); !why.isEmpty())
        throw EOvError(why);
    const Setting before = current(QString());
    const bool demo = before.demo && before.code == c;
    QByteArray text = "; Produttore del software che scrive la fornitura telematica (record B).\n"
                      "; Scritto dalla costruzione del programma (opzione VELCU_CF_PRODUTTORE),\n"
                      "; modificabile in \"Parametri\".\n";
    if (demo)
        text += "; VALORE DIMOSTRATIVO: una distribuzione indica il proprio.\n";
    text += "[FileTelematico]\nCodiceFiscaleProduttore=" + c.toLatin1() + "\n";
    if (demo)
        text += "Dimostrativo=1\n";
    // an installed package's file stays as shipped: the office's copy goes
    // into its data folder and is read from then on
    const QString target = InstallRoot::ownCopy(QStringLiteral("etc/rag/") + QLatin1String(FileName));
    ovMakePath(QFileInfo(target).absolutePath());
    TOvSafeFile::writeFile(target, text, TOvSafeFile::Access::Shared);
}

} // namespace VelProduttore
