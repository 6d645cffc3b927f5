#include "src/prj/unit/telematic/VelAnnotationCodes.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/util/TorFolders.h"

namespace VelAnnotationCodes {

QStringList codesOf(const QString &notes, const QSet<QString> &known)
{
    QStringList codes;
    QString text = notes;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line == QLatin1String("BO)"))
            continue;
        const qsizetype close = line.indexOf(QLatin1Char(')'));
        if (close < 1)
            continue;
        const QString code = line.left(close).trimmed().toUpper();
        if (known.contains(code))
            codes.append(code);
    }
    return codes;
}

QSet<QString> readNoteTable()
{
    TClientDataSet notes;
    notes.loadFromFile(TorFolders::resolveFile(TorFolders::tabelleDir(), QStringLiteral("TNOT_NOTE.cds")));
    const int code = notes.fieldIndex(QStringLiteral("CODICE"));
    if (code < 0)
        throw EOvError(QStringLiteral("La tabella delle note TNOT_NOTE non ha la colonna CODICE"));
    QSet<QString> codes;
    for (int r = 0; r < notes.recordCount(); ++r)
        codes.insert(notes.valueAt(r, code).toString().trimmed().toUpper());
    return codes;
}

QString column(int n)
{
    return QStringLiteral("SANN7%1").arg(n + 1, 2, 10, QLatin1Char('0'));
}

} // namespace VelAnnotationCodes
