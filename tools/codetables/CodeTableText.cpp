#include "tools/codetables/CodeTableText.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/TClientDataSet.h"

#include <QFile>
#include <QSet>
#include <QStringList>

namespace CodeTableText {

namespace {

[[noreturn]] void fail(const QString &file, int line, const QString &what)
{
    throw EOvError(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what));
}

} // namespace

int convert(const QString &source, const QString &target, bool requireDescriptions)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EOvError(QStringLiteral("%1: %2").arg(source, in.errorString()));
    const QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));

    QList<TFieldDef> defs;
    QList<QStringList> rows;
    QSet<QString> codes;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty())
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (defs.isEmpty()) {
            for (const QString &cell : cells) {
                TFieldDef d;
                const QStringList parts = cell.split(QLatin1Char(':'));
                d.name = parts.at(0).trimmed();
                if (d.name.isEmpty() || parts.size() > 2)
                    fail(source, i + 1, QStringLiteral("intestazione di colonna non valida \"%1\"").arg(cell));
                if (parts.size() == 2 && !fieldTypeFromName(parts.at(1).trimmed(), &d.type))
                    fail(source, i + 1, QStringLiteral("tipo sconosciuto \"%1\"").arg(parts.at(1)));
                defs.append(d);
            }
            if (defs.size() < 2 || defs.at(0).name != QLatin1String("Codice")
                || defs.at(1).name != QLatin1String("Descrizione"))
                fail(source, i + 1, QStringLiteral("le prime colonne devono essere Codice e Descrizione"));
            continue;
        }
        if (cells.size() != defs.size())
            fail(source, i + 1, QStringLiteral("attese %1 colonne, trovate %2").arg(defs.size()).arg(cells.size()));
        const QString code = cells.at(0);
        if (code.isEmpty() || code != code.trimmed())
            fail(source, i + 1, QStringLiteral("codice vuoto o con spazi"));
        if (codes.contains(code))
            fail(source, i + 1, QStringLiteral("codice ripetuto \"%1\"").arg(code));
        codes.insert(code);
        if (requireDescriptions && cells.at(1).trimmed().isEmpty())
            fail(source, i + 1, QStringLiteral("descrizione vuota per il codice \"%1\"").arg(code));
        rows.append(cells);
    }
    if (defs.isEmpty())
        fail(source, 1, QStringLiteral("intestazione mancante"));

    for (int c = 0; c < defs.size(); ++c) {
        if (defs[c].type != TFieldType::String)
            continue;
        int width = 1;
        for (const QStringList &r : std::as_const(rows))
            width = qMax(width, int(r.at(c).size()));
        defs[c].size = width;
    }

    TClientDataSet ds;
    ds.setFieldDefs(defs);
    ds.createDataSet();
    for (const QStringList &r : std::as_const(rows)) {
        QVariantList values;
        for (const QString &cell : r)
            values.append(cell.isEmpty() ? QVariant() : QVariant(cell));
        ds.appendRecord(values);
    }
    ds.mergeChangeLog();
    ds.saveToFile(target, TOvSafeFile::Access::Shared);
    return int(rows.size());
}

} // namespace CodeTableText
