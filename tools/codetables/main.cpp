// velcu-codetables SOURCE_DIR OUTPUT_DIR
//
// A table without rows stops the build, unless SOURCE_DIR/../pending.txt names
// it (one table a line): those still wait for their official codes and are
// reported at every build.
//
// Every SOURCE_DIR/<name>.tsv becomes OUTPUT_DIR/<name>.cds. A source is UTF-8
// text: lines beginning with "#" are comments, the first other line names the
// columns, separated by tabs, each as "Name" (a text column) or "Name:Type"
// with a type of the dataset file format ("Memo", "Integer"...); every further
// line is a row. The first column is the code: it must be present, unique and
// free of surrounding blanks. Text columns get the width of their longest value.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

[[noreturn]] void fail(const QString &file, int line, const QString &what)
{
    throw EOvError(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what));
}

// Returns the number of rows written.
int convert(const QString &source, const QString &target)
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

QSet<QString> pendingTables(const QDir &src)
{
    QSet<QString> names;
    QFile f(src.filePath(QStringLiteral("../pending.txt")));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return names;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString name = line.trimmed();
        if (!name.isEmpty() && !name.startsWith(QLatin1Char('#')))
            names.insert(name.toUpper());
    }
    return names;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "uso: velcu-codetables CARTELLA_SORGENTI CARTELLA_TABELLE\n");
        return 2;
    }
    try {
        const QDir src(args.at(1));
        if (!QDir().mkpath(args.at(2)))
            throw EOvError(QStringLiteral("Impossibile creare la cartella %1").arg(args.at(2)));
        const QStringList sources = src.entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
        if (sources.isEmpty())
            throw EOvError(QStringLiteral("Nessuna tabella in %1").arg(src.path()));
        const QSet<QString> pending = pendingTables(src);
        QStringList empty;
        for (const QString &name : sources) {
            const QString base = QFileInfo(name).completeBaseName();
            const int rows = convert(src.filePath(name), QDir(args.at(2)).filePath(base + QStringLiteral(".cds")));
            if (rows > 0)
                continue;
            if (pending.contains(base.toUpper()))
                std::fprintf(stderr, "velcu-codetables: attenzione, la tabella %s non ha ancora codici\n", qPrintable(base));
            else
                empty << base;
        }
        if (!empty.isEmpty())
            throw EOvError(QStringLiteral("Tabelle senza codici: %1").arg(empty.join(QStringLiteral(", "))));
        return 0;
    } catch (const EOvException &e) {
        std::fprintf(stderr, "velcu-codetables: %s\n", e.what());
        return 1;
    }
}
