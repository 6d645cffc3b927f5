#include "VelImportReport.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QFile>
#include <QFileInfo>

namespace VelImportReport {

namespace {

void addSection(QStringList &lines, const QString &title, const QStringList &items)
{
    if (items.isEmpty())
        return;
    if (!lines.isEmpty())
        lines << QString();
    lines << QStringLiteral("--- ") + title;
    for (const QString &item : items)
        lines << QStringLiteral("- ") + item;
}

} // namespace

QStringList sections(const TVelRunOutcome &outcome, const QStringList &log)
{
    QStringList lines = log;
    addSection(lines, QStringLiteral("Dipendenti non importati"), outcome.problemLines());
    addSection(lines, QStringLiteral("CU mantenute"), outcome.keptLines());
    addSection(lines, QStringLiteral("Pagati nell'anno e non in elenco"), outcome.warningLines());
    return lines;
}

QString remedyNoTaxCode()
{
    return QStringLiteral("Inserire il codice fiscale nell'anagrafica del dipendente nella procedura compensi, poi "
                          "importarlo di nuovo.");
}

QString remedyMixedSources()
{
    return QStringLiteral("Nella procedura compensi le liquidazioni dell'anno del dipendente sono in parte inviate a "
                          "NoiPA e in parte no: correggere l'indicazione di invio a NoiPA delle liquidazioni sbagliate, "
                          "poi importarlo di nuovo. Se quelle inviate a NoiPA sono certificate da NoiPA, importarlo "
                          "senza \"Importa dati fiscali anche per le liquidazioni inviate a NoiPa\".");
}

QString remedyPrinted(const QString &codFis)
{
    return QStringLiteral("Per importarla di nuovo spuntare \"Forza l'importazione dei modelli già stampati\" "
                          "(velcu-cli import --forza-stampati --sovrascrivi sempre --cf %1); se è già stata inviata, "
                          "la correzione si invia poi come sostituzione (velcu-cli correzione).")
        .arg(codFis);
}

QString remedyNotOverwritten(const QString &codFis)
{
    return QStringLiteral("Per importarla di nuovo scegliere \"Sovrascrivi sempre\" (velcu-cli import --sovrascrivi "
                          "sempre --cf %1).")
        .arg(codFis);
}

QString file()
{
    return TorFolders::dataDir() + QStringLiteral("USR/%1/Rapporto-importazione.txt").arg(Campagna::cartellaAnno());
}

void save(const QStringList &lines, int year, const QDateTime &when)
{
    QStringList all{QStringLiteral("Importazione del %1 alle %2, anno finanziario %3")
                        .arg(when.toString(QStringLiteral("dd/MM/yyyy")), when.toString(QStringLiteral("HH:mm")))
                        .arg(year),
                    QString()};
    all << lines;
    ovMakePath(QFileInfo(file()).absolutePath());
    // one text line a line: a message's own line breaks included
    QString text = all.join(QLatin1Char('\n')) + QLatin1Char('\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    TOvSafeFile::writeFile(file(), text.toUtf8());
}

QStringList load()
{
    QFile f(file());
    if (!f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere il rapporto dell'importazione %1: %2")
                           .arg(f.fileName(), f.errorString()));
    QString text = QString::fromUtf8(f.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QString noneYet()
{
    return QStringLiteral("Nessun rapporto di importazione per quest'anno: il rapporto è scritto alla fine di ogni "
                          "importazione e resta disponibile fino alla successiva.");
}

} // namespace VelImportReport
