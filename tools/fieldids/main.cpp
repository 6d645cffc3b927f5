// velcu-fieldids MODEL.json OUT.h
//
// Writes the identifiers of the record model: for each structure a namespace
// rec::<structure> with its id and one typed id per field, and the flat
// namespace fld with every field name once (a name several structures share,
// the person's id and row among them, is one id there, with no structure).
// rec::all lists every field of every structure. The file is rewritten only
// when its text changes, so a build that runs the tool again recompiles
// nothing.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

#include <cstdio>

namespace {

struct Field
{
    QString name;
    QString kind;
    int size = 0;
    QString structure;
};

int fail(const QString &text)
{
    std::fprintf(stderr, "velcu-fieldids: %s\n", qPrintable(text));
    return 1;
}

QString kindEnum(const QString &kind)
{
    static const QMap<QString, QString> kinds = {
        {QStringLiteral("text"), QStringLiteral("Text")},       {QStringLiteral("memo"), QStringLiteral("Memo")},
        {QStringLiteral("amount"), QStringLiteral("Amount")},   {QStringLiteral("integer"), QStringLiteral("Integer")},
        {QStringLiteral("date"), QStringLiteral("Date")},       {QStringLiteral("flagX"), QStringLiteral("FlagX")},
        {QStringLiteral("flag1"), QStringLiteral("Flag1")},     {QStringLiteral("lookup"), QStringLiteral("Lookup")},
        {QStringLiteral("list"), QStringLiteral("List")}};
    return kinds.value(kind);
}

// C++ keywords and the macros of the headers it is read with that a field
// name could meet, and "id", each structure's own id: refused rather than
// compiled into a puzzling error.
bool reserved(const QString &name)
{
    static const QSet<QString> words = {
        QStringLiteral("and"),    QStringLiteral("auto"),   QStringLiteral("bool"),     QStringLiteral("case"),
        QStringLiteral("char"),   QStringLiteral("class"),  QStringLiteral("const"),    QStringLiteral("default"),
        QStringLiteral("delete"), QStringLiteral("do"),     QStringLiteral("double"),   QStringLiteral("else"),
        QStringLiteral("enum"),   QStringLiteral("false"),  QStringLiteral("float"),    QStringLiteral("for"),
        QStringLiteral("if"),     QStringLiteral("int"),    QStringLiteral("long"),     QStringLiteral("new"),
        QStringLiteral("not"),    QStringLiteral("or"),     QStringLiteral("private"),  QStringLiteral("public"),
        QStringLiteral("return"), QStringLiteral("short"),  QStringLiteral("signals"),  QStringLiteral("slots"),
        QStringLiteral("static"), QStringLiteral("struct"), QStringLiteral("switch"),   QStringLiteral("this"),
        QStringLiteral("true"),   QStringLiteral("union"),  QStringLiteral("unsigned"), QStringLiteral("void"),
        QStringLiteral("while"),  QStringLiteral("emit"),   QStringLiteral("id"),       QStringLiteral("NULL")};
    return words.contains(name);
}

QString idText(const Field &f)
{
    const QString structure = f.structure.isEmpty() ? QStringLiteral("nullptr")
                                                    : QStringLiteral("\"%1\"").arg(f.structure);
    const QString upper = f.name.toUpper();
    return QStringLiteral("inline constexpr VelField<VelFieldKind::%1> %2{{\"%2\", \"%3\", u\"%2\", u\"%3\", %4, %5, "
                          "VelFieldKind::%1, %6}};\n")
        .arg(kindEnum(f.kind), f.name, upper)
        .arg(f.name.size())
        .arg(f.size)
        .arg(structure);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("uso: velcu-fieldids recordmodel.json VelFields.h"));
    QFile in(args.at(1));
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(args.at(1), in.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &error);
    if (doc.isNull())
        return fail(QStringLiteral("%1: %2").arg(args.at(1), error.errorString()));

    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QString out;
    QTextStream text(&out);
    text << "#pragma once\n"
            "// Written by velcu-fieldids from recordmodel.json: do not edit.\n"
            "#include \"src/prj/unit/model/VelFieldId.h\"\n\n"
            "namespace rec {\n";
    QMap<QString, QList<Field>> byName;
    QSet<QString> structures;
    QStringList all; // "TCUD_DATICUD::SCUDCOGNOME", in the model's order
    for (const QJsonValue &sv : doc.object().value(QStringLiteral("structures")).toArray()) {
        const QJsonObject s = sv.toObject();
        const QString name = s.value(QStringLiteral("name")).toString();
        if (!identifier.match(name).hasMatch() || reserved(name) || structures.contains(name))
            return fail(QStringLiteral("nome di struttura non valido o ripetuto: \"%1\"").arg(name));
        structures.insert(name);
        text << "namespace " << name << " {\n"
             << QStringLiteral("inline constexpr VelStructureId id{\"%1\", u\"%1\", %2};\n").arg(name).arg(name.size());
        QSet<QString> upperNames;
        for (const QJsonValue &fv : s.value(QStringLiteral("fields")).toArray()) {
            const QJsonObject o = fv.toObject();
            Field f{o.value(QStringLiteral("name")).toString(), o.value(QStringLiteral("kind")).toString(),
                    o.value(QStringLiteral("size")).toInt(), name};
            if (!identifier.match(f.name).hasMatch() || reserved(f.name))
                return fail(QStringLiteral("%1: nome di campo non valido \"%2\"").arg(name, f.name));
            if (kindEnum(f.kind).isEmpty())
                return fail(QStringLiteral("%1.%2: tipo di campo sconosciuto \"%3\"").arg(name, f.name, f.kind));
            if (upperNames.contains(f.name.toUpper()))
                return fail(QStringLiteral("%1.%2: campo ripetuto").arg(name, f.name));
            upperNames.insert(f.name.toUpper());
            text << idText(f);
            byName[f.name.toUpper()].append(f);
            all << name + QStringLiteral("::") + f.name;
        }
        text << "} // namespace " << name << "\n";
    }
    // every field of every structure, for what walks the model as a whole
    text << "inline constexpr const VelFieldId *all[] = {\n";
    for (const QString &f : std::as_const(all))
        text << "    &" << f << ",\n";
    text << "};\n";
    text << "} // namespace rec\n\n"
            "namespace fld {\n";
    for (const QList<Field> &same : std::as_const(byName)) {
        const Field &first = same.first();
        if (same.size() == 1) {
            text << QStringLiteral("inline constexpr const auto &%1 = rec::%2::%1;\n").arg(first.name, first.structure);
            continue;
        }
        for (const Field &f : same)
            if (f.name != first.name || f.kind != first.kind || f.size != first.size)
                return fail(QStringLiteral("%1: il campo ha nome, tipo o larghezza diversi in %2 e in %3")
                                .arg(first.name, first.structure, f.structure));
        Field shared = first;
        shared.structure.clear();
        text << idText(shared);
    }
    text << "} // namespace fld\n";

    QFile old(args.at(2));
    if (old.open(QIODevice::ReadOnly) && old.readAll() == out.toUtf8())
        return 0;
    old.close();
    QSaveFile save(args.at(2));
    if (!save.open(QIODevice::WriteOnly) || save.write(out.toUtf8()) < 0 || !save.commit())
        return fail(QStringLiteral("%1: %2").arg(args.at(2), save.errorString()));
    return 0;
}
