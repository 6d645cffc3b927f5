#include "src/prj/unit/telematic/VelSupplyFiles.h"
#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"

#include <QDir>
#include <QFileInfo>

void TVelSupplyFiles::say(const QString &line) const
{
    if (m_say)
        m_say(line);
}

void TVelSupplyFiles::verify(const QStringList &staged, const QStringList &names, const QSet<QString> &confirmed) const
{
    // the files as the agency's control reads them, before they take the names
    // the office sends
    TVelSupplyCheck check;
    QList<TVelSupplyProblem> problems;
    for (const TVelSupplyProblem &p : check.run(staged)) {
        // a warning is the office's to confirm: said once, never a refusal
        if (!p.warning)
            problems << p;
        else if (!confirmed.contains(p.key()))
            say(p.text());
    }
    if (problems.isEmpty())
        return;
    QStringList lines;
    for (TVelSupplyProblem p : problems) {
        if (const qsizetype i = staged.indexOf(p.file); i >= 0)
            p.file = QFileInfo(names.at(i)).fileName();
        lines << p.text();
        if (lines.size() == 20) {
            lines << QStringLiteral("...");
            break;
        }
    }
    throw EVelError(QStringLiteral("Fornitura non scritta: il controllo dei file ha trovato %1 problemi "
                                   "(nessun file è stato salvato con il nome della fornitura):\n")
                            .arg(problems.size())
                        + lines.join(QLatin1Char('\n')),
                    {TVelErrorCode::Fornitura, names.value(0), TVelStage::Conferma});
}

TVelSupplyFiles::Written TVelSupplyFiles::write(const QString &fileName, int certifications,
                                                const QSet<QString> &confirmed) const
{
    Written out;
    TorFileSet::Replaced replaced;
    try {
        out.files = VelSupplyWriter::write(m_ws.recordTable(), m_ws.generator().supplyPlaces(), fileName,
                                           certifications, m_warn, &out.inFile,
                                           [this, &confirmed](const QStringList &staged, const QStringList &names) {
                                               verify(staged, names, confirmed);
                                           },
                                           &replaced);
    } catch (const EOvException &) {
        for (const QString &line : std::as_const(replaced.notices))
            say(line);
        throw;
    }
    for (const QString &line : std::as_const(replaced.notices))
        say(line);
    if (!replaced.aside.isEmpty() && !replaced.moved.isEmpty()) {
        QStringList moved;
        for (const QString &f : std::as_const(replaced.moved))
            moved << QFileInfo(f).fileName();
        out.asideLine = QStringLiteral("La fornitura precedente (%1) è stata spostata nella cartella %2.")
                            .arg(moved.join(QStringLiteral(", ")), QDir::toNativeSeparators(replaced.aside));
        say(out.asideLine);
    }
    return out;
}
