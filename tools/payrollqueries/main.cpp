// velcu-payrollqueries CATALOGUE.xml SQL-FOLDER OUT.h
//
// Writes what each SELECT of the query catalogue reads: the rows it declares
// (its `righe`: the tables' lookups only, one relationship's rows, one
// person's rows) and the tables its texts name, found among the tables the
// set-up scripts of SQL-FOLDER create. A server's local copy of the payroll
// answers a query from these, without reading its text at run time.
//
// Refused, with the line: a `righe` of a statement that is not a SELECT, an
// unknown `righe`, a relationship's query whose text has no :IACOMID, a
// person's query whose text has no :IANAID, the texts of one name declaring
// different rows. The file is rewritten only when its text changes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>
#include <QXmlStreamReader>

#include <cstdio>

namespace {

int fail(const QString &text)
{
    std::fprintf(stderr, "velcu-payrollqueries: %s\n", qPrintable(text));
    return 1;
}

struct Query
{
    QString righe;        // "", "rapporto" or "persona"
    QSet<QString> tables;
    qint64 line = 0;
};

// The tables the set-up scripts create, lower case.
QStringList schemaTables(const QString &folder, QString &error)
{
    static const QRegularExpression create(
        QStringLiteral("\\bCREATE\\s+TABLE\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?([A-Za-z_][A-Za-z0-9_]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> names;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("%1: %2").arg(f.fileName(), f.errorString());
            return {};
        }
        const QString text = QString::fromUtf8(f.readAll());
        for (auto it = create.globalMatch(text); it.hasNext();)
            names.insert(it.next().captured(1).toLower());
    }
    if (names.isEmpty())
        error = QStringLiteral("%1: nessuna tabella creata dagli script").arg(folder);
    QStringList sorted(names.cbegin(), names.cend());
    sorted.sort();
    return sorted;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return fail(QStringLiteral("uso: velcu-payrollqueries CATALOGO.xml CARTELLA-SQL USCITA.h"));

    QString error;
    const QStringList tables = schemaTables(args.at(2), error);
    if (!error.isEmpty())
        return fail(error);
    QHash<QString, int> tableIndex;
    for (int i = 0; i < tables.size(); ++i)
        tableIndex.insert(tables.at(i), i);

    QFile in(args.at(1));
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(args.at(1), in.errorString()));
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    static const QRegularExpression relationshipKey(QStringLiteral(":IACOMID\\b"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression personKey(QStringLiteral(":IANAID\\b"), QRegularExpression::CaseInsensitiveOption);
    QMap<QString, Query> queries;
    QXmlStreamReader xml(&in);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("statement"))
            continue;
        const qint64 line = xml.lineNumber();
        const QXmlStreamAttributes a = xml.attributes();
        const QString name = a.value(QLatin1String("name")).toString().trimmed();
        const QString kind = a.value(QLatin1String("kind")).toString().trimmed();
        const bool declared = a.hasAttribute(QLatin1String("righe"));
        const QString righe = a.value(QLatin1String("righe")).toString().trimmed();
        const QString text = xml.readElementText();
        const QString where = QStringLiteral("%1, riga %2, %3").arg(args.at(1)).arg(line).arg(name);
        if (kind != QLatin1String("SELECT")) {
            if (declared)
                return fail(QStringLiteral("%1: righe dichiarate su un'istruzione %2 (solo SELECT)").arg(where, kind));
            continue;
        }
        if (declared && righe != QLatin1String("rapporto") && righe != QLatin1String("persona"))
            return fail(QStringLiteral("%1: righe \"%2\" sconosciute (rapporto o persona)").arg(where, righe));
        if (righe == QLatin1String("rapporto") && !relationshipKey.match(text).hasMatch())
            return fail(QStringLiteral("%1: righe di un rapporto senza il parametro :IACOMID").arg(where));
        if (righe == QLatin1String("persona") && !personKey.match(text).hasMatch())
            return fail(QStringLiteral("%1: righe di una persona senza il parametro :IANAID").arg(where));
        const bool known = queries.contains(name);
        Query &q = queries[name];
        if (known && q.righe != righe)
            return fail(QStringLiteral("%1: righe diverse da quelle del testo alla riga %2").arg(where).arg(q.line));
        q.righe = righe;
        q.line = line;
        for (auto it = word.globalMatch(text); it.hasNext();) {
            const QString w = it.next().captured(0).toLower();
            if (tableIndex.contains(w))
                q.tables.insert(w);
        }
    }
    if (xml.hasError())
        return fail(QStringLiteral("%1, riga %2: XML non valido: %3")
                        .arg(args.at(1)).arg(xml.lineNumber()).arg(xml.errorString()));
    if (queries.isEmpty())
        return fail(QStringLiteral("%1: nessuna istruzione SELECT").arg(args.at(1)));

    const int words = int((tables.size() + 63) / 64);
    QString out;
    QTextStream text(&out);
    text << "// Generated by velcu-payrollqueries from " << QFileInfo(args.at(1)).fileName()
         << " and the payroll's set-up scripts: do not edit.\n"
            "#pragma once\n\n"
            "#include <cstdint>\n"
            "#include <string_view>\n\n"
            "namespace paghe {\n\n"
            "// Every table the set-up scripts create, by name.\n"
            "enum class Tabella : std::uint16_t {\n";
    for (const QString &t : tables)
        text << "    " << t << ",\n";
    text << "};\n"
            "inline constexpr int kTabelle = " << tables.size() << ";\n"
            "inline constexpr int kParole = " << words << ";   // words of a set of tables\n"
            "inline constexpr std::string_view kNomi[kTabelle] = {\n";
    for (const QString &t : tables)
        text << "    \"" << t << "\",\n";
    text << "};\n"
            "constexpr std::string_view nome(Tabella t) { return kNomi[int(t)]; }\n\n"
            "// The rows a query reads, as the catalogue declares them: tables only\n"
            "// (no declaration), one relationship's (:IACOMID), one person's (:IANAID).\n"
            "enum class Righe : std::uint8_t { Tabelle, Rapporto, Persona };\n\n"
            "struct Query\n"
            "{\n"
            "    std::string_view nome;\n"
            "    Righe righe;\n"
            "    std::uint64_t tabelle[kParole];   // bit t: a text of the query names table t\n"
            "\n"
            "    constexpr bool nomina(Tabella t) const { return (tabelle[int(t) / 64] >> (int(t) % 64)) & 1u; }\n"
            "};\n\n"
            "// The catalogue's SELECT statements, in name order.\n"
            "inline constexpr Query kQuery[] = {\n";
    for (auto it = queries.cbegin(); it != queries.cend(); ++it) {
        QList<quint64> bits(words, 0);
        for (const QString &t : it->tables) {
            const int i = tableIndex.value(t);
            bits[i / 64] |= quint64(1) << (i % 64);
        }
        QStringList hex;
        for (quint64 b : bits)
            hex << QStringLiteral("0x%1u").arg(b, 16, 16, QLatin1Char('0'));
        const QString righe = it->righe == QLatin1String("rapporto") ? QStringLiteral("Rapporto")
                              : it->righe == QLatin1String("persona") ? QStringLiteral("Persona")
                                                                       : QStringLiteral("Tabelle");
        QStringList named(it->tables.cbegin(), it->tables.cend());
        named.sort();
        text << "    {\"" << it.key() << "\", Righe::" << righe << ", {" << hex.join(QStringLiteral(", "))
             << "}},   // " << named.join(QLatin1Char(' ')) << "\n";
    }
    text << "};\n\n"
            "} // namespace paghe\n";
    text.flush();

    QFile old(args.at(3));
    if (old.open(QIODevice::ReadOnly) && old.readAll() == out.toUtf8())
        return 0;
    old.close();
    QDir().mkpath(QFileInfo(args.at(3)).absolutePath());
    QSaveFile save(args.at(3));
    if (!save.open(QIODevice::WriteOnly) || save.write(out.toUtf8()) < 0 || !save.commit())
        return fail(QStringLiteral("%1: %2").arg(args.at(3), save.errorString()));
    return 0;
}
