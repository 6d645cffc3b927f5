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
#include "tools/codetables/CodeTableText.h"
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
            const int rows = CodeTableText::convert(src.filePath(name), QDir(args.at(2)).filePath(base + QStringLiteral(".cds")));
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
