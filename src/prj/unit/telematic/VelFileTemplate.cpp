#include "src/prj/unit/telematic/VelFileTemplate.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <optional>

namespace {

[[noreturn]] void fail(const QString &source, const QString &detail)
{
    throw EOvError(QStringLiteral("Tracciato record %1 non valido: %2").arg(source, detail));
}

[[noreturn]] void fieldFail(const QString &source, const TXMLCampoType &f, const QString &detail)
{
    fail(source, QStringLiteral("campo %1 (riga %2): %3").arg(f.Number).arg(f.line).arg(detail));
}

std::optional<TXMLInfo> parseInfo(const QString &info, int *cut)
{
    *cut = 0;
    static const QHash<QString, TXMLInfo> codes = {
        {QStringLiteral("OF"), TXMLInfo::Fixed},     {QStringLiteral("O@"), TXMLInfo::OrEmpty},
        {QStringLiteral("@@"), TXMLInfo::Column},    {QStringLiteral("@X"), TXMLInfo::ColumnX},
        {QStringLiteral("T@"), TXMLInfo::Truncate},  {QStringLiteral("TX"), TXMLInfo::Truncate},
        {QStringLiteral("A@"), TXMLInfo::Round},     {QStringLiteral("AX"), TXMLInfo::Round},
        {QStringLiteral("A1"), TXMLInfo::RoundA1},   {QStringLiteral("@1"), TXMLInfo::Check},
        {QStringLiteral("AM"), TXMLInfo::YearsMonths},
    };
    if (const auto it = codes.constFind(info); it != codes.constEnd())
        return it.value();
    static const QRegularExpression first(QStringLiteral("^(\\d+)/$"));
    static const QRegularExpression last(QStringLiteral("^/(\\d+)$"));
    if (const auto m = first.match(info); m.hasMatch()) {
        *cut = m.captured(1).toInt();
        return TXMLInfo::FirstChars;
    }
    if (const auto m = last.match(info); m.hasMatch()) {
        *cut = m.captured(1).toInt();
        return TXMLInfo::LastChars;
    }
    return std::nullopt;
}

// The records a rule of `Calc` belongs to: families, and for family E the
// letter of the file ('C' or 'D'; null: either).
constexpr unsigned bit(TXMLFamily f)
{
    return 1u << unsigned(f);
}
constexpr unsigned kA = bit(TXMLFamily::A), kB = bit(TXMLFamily::B), kE = bit(TXMLFamily::E), kG = bit(TXMLFamily::G),
                   kH = bit(TXMLFamily::H), kZ = bit(TXMLFamily::Z);

struct CalcRule
{
    const char *name;
    TXMLCalc calc;
    bool argument;
    unsigned families;
    char eLetter = 0;
};

const CalcRule kCalcRules[] = {
    {"tipo-record", TXMLCalc::RecordType, false, kE | kG | kH},
    {"codice-fornitura", TXMLCalc::SupplyCode, false, kA},
    {"invio", TXMLCalc::FileNumber, false, kA},
    {"invii", TXMLCalc::FileCount, false, kA},
    {"produttore", TXMLCalc::Producer, false, kB},
    {"quadro-ct", TXMLCalc::QuadroCT, false, kB},
    {"certificazioni", TXMLCalc::Certifications, false, kB},
    {"conteggio", TXMLCalc::RecordCount, true, kZ},
    {"se-persona", TXMLCalc::IfPerson, true, kB},
    {"se-ente", TXMLCalc::IfEntity, true, kB},
    {"se-compilato", TXMLCalc::IfFilled, true, kB},
    {"modulo", TXMLCalc::Module, false, kE | kG | kH, 'C'},
    {"certificazione", TXMLCalc::Certification, false, kE | kG | kH, 'D'},
    {"lettera", TXMLCalc::Letter, true, kE | kG | kH, 'D'},
    {"matricola-inps", TXMLCalc::InpsCompany, false, kG},
    {"mesi", TXMLCalc::MonthSeries, true, kG},
    {"carattere", TXMLCalc::Character, true, kG},
    {"mese-anno", TXMLCalc::MonthYear, true, kG},
    {"solo-C", TXMLCalc::OnlyC, false, kG},
    {"tranne-C", TXMLCalc::ExceptC, false, kG},
};

bool isColumnName(const QString &s)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return name.match(s).hasMatch();
}

// Reads the `Calc` attribute into the field; `letter` is the record letter of
// the file (family E: 'C' or 'D').
void bindCalc(TXMLCampoType &f, TXMLFamily family, QChar letter, const QString &source)
{
    const QString text = f.Calc.trimmed();
    if (text.isEmpty())
        return;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? text : text.left(colon);
    const QString arg = colon < 0 ? QString() : text.mid(colon + 1).trimmed();
    const CalcRule *rule = nullptr;
    for (const CalcRule &r : kCalcRules)
        if (name == QLatin1String(r.name))
            rule = &r;
    if (!rule)
        fieldFail(source, f, QStringLiteral("regola Calc sconosciuta \"%1\"").arg(name));
    if (rule->argument == arg.isEmpty())
        fieldFail(source, f, rule->argument ? QStringLiteral("la regola Calc \"%1\" vuole un argomento dopo \":\"").arg(name)
                                            : QStringLiteral("la regola Calc \"%1\" non vuole argomenti").arg(name));
    bool ofFamily = (rule->families & bit(family)) != 0;
    if (ofFamily && family == TXMLFamily::E && rule->eLetter && !letter.isNull() && letter != QLatin1Char(rule->eLetter))
        ofFamily = false;
    if (!ofFamily)
        fieldFail(source, f, QStringLiteral("la regola Calc \"%1\" non è di questo record").arg(name));
    f.calc = rule->calc;
    auto malformed = [&]() { fieldFail(source, f, QStringLiteral("argomento non valido della regola Calc: \"%1\"").arg(text)); };
    switch (f.calc) {
    case TXMLCalc::RecordCount:
        if (arg.size() != 1 || !QStringLiteral("CDGH").contains(arg))
            malformed();
        f.calcText = arg;
        break;
    case TXMLCalc::IfPerson:
    case TXMLCalc::IfEntity:
        if (!isColumnName(arg))
            malformed();
        f.calcColumns = {arg};
        break;
    case TXMLCalc::IfFilled:
        f.calcText = arg;
        break;
    case TXMLCalc::Letter:
        for (const QString &pair : arg.split(QLatin1Char(';'))) {
            const QStringList lc = pair.split(QLatin1Char('='));
            if (lc.size() != 2 || lc[0].trimmed().size() != 1 || !isColumnName(lc[1].trimmed()))
                malformed();
            f.calcLetters += lc[0].trimmed();
            f.calcColumns << lc[1].trimmed();
        }
        break;
    case TXMLCalc::MonthSeries:
        if (arg.count(QLatin1Char('*')) != 1 || !isColumnName(QString(arg).remove(QLatin1Char('*'))))
            malformed();
        f.calcText = arg;
        break;
    case TXMLCalc::Character: {
        bool ok = false;
        f.calcIndex = arg.toInt(&ok) - 1;
        if (!ok || f.calcIndex < 0)
            malformed();
        break;
    }
    case TXMLCalc::MonthYear: {
        const QStringList columns = arg.split(QLatin1Char(';'));
        if (columns.size() != 2 || !isColumnName(columns[0].trimmed()) || !isColumnName(columns[1].trimmed()))
            malformed();
        f.calcColumns = {columns[0].trimmed(), columns[1].trimmed()};
        break;
    }
    default:
        break;
    }
    f.computed = family == TXMLFamily::G;
}

TXMLCampoType bindField(const QDomElement &e, TXMLFamily family, QChar letter, const QString &source)
{
    TXMLCampoType f;
    f.line = e.lineNumber();
    const QString where = QStringLiteral("riga %1").arg(f.line);
    if (!e.hasAttribute(QStringLiteral("Number")))
        fail(source, QStringLiteral("campo senza Number (%1)").arg(where));
    f.Number = e.attribute(QStringLiteral("Number"));
    f.Description = e.attribute(QStringLiteral("Description"));
    bool ok = false;
    const QString width = e.attribute(QStringLiteral("Width")).trimmed();
    f.Width = width.toInt(&ok);
    if (!ok || f.Width < 0)
        fail(source, QStringLiteral("il campo %1 ha una Width non valida \"%2\" (%3)").arg(f.Number, width, where));
    f.Format = e.attribute(QStringLiteral("Format"));
    f.Info = e.attribute(QStringLiteral("Info"));
    f.Fixed = e.attribute(QStringLiteral("Fixed"));
    f.Calc = e.attribute(QStringLiteral("Calc"));
    if (family != TXMLFamily::Z) {
        f.Cds = e.attribute(QStringLiteral("Cds")).trimmed();
        f.Field = e.attribute(QStringLiteral("Field")).trimmed();
    }
    f.number = f.Number.trimmed();
    f.keyValue = f.number.size() == 8;
    const std::optional<TXMLInfo> info = parseInfo(f.Info, &f.cut);
    if (!info)
        fieldFail(source, f, QStringLiteral("regola Info sconosciuta \"%1\"").arg(f.Info));
    f.info = *info;
    if (!parseFieldFormat(f.Format, &f.format, &f.formatDigits))
        fieldFail(source, f, QStringLiteral("formato sconosciuto \"%1\"").arg(f.Format));
    f.isAmount = f.format == TXMLFormat::VP;
    bindCalc(f, family, letter, source);
    return f;
}

} // namespace

namespace {
const QHash<QString, TXMLFormat> &formatCodes()
{
    static const QHash<QString, TXMLFormat> codes = {
        {QStringLiteral("AN"), TXMLFormat::AN},     {QStringLiteral("CF"), TXMLFormat::CF},
        {QStringLiteral("TL"), TXMLFormat::TL},     {QStringLiteral("AX"), TXMLFormat::AX},
        {QStringLiteral("PR"), TXMLFormat::PR},     {QStringLiteral("CB"), TXMLFormat::CB},
        {QStringLiteral("CP"), TXMLFormat::CP},     {QStringLiteral("CB12"), TXMLFormat::CB12},
        {QStringLiteral("CN"), TXMLFormat::CN},     {QStringLiteral("DT"), TXMLFormat::DT},
        {QStringLiteral("DP"), TXMLFormat::DP},     {QStringLiteral("D4"), TXMLFormat::D4},
        {QStringLiteral("NF"), TXMLFormat::NF},     {QStringLiteral("N2"), TXMLFormat::N2},
        {QStringLiteral("ND"), TXMLFormat::ND},     {QStringLiteral("VP"), TXMLFormat::VP},
        {QStringLiteral("VC"), TXMLFormat::VC},     {QStringLiteral("NP"), TXMLFormat::NP},
        {QStringLiteral("DA"), TXMLFormat::DA},     {QStringLiteral("D6"), TXMLFormat::D6},
        {QStringLiteral("NU"), TXMLFormat::NU},     {QStringLiteral("PC"), TXMLFormat::PC},
        {QStringLiteral("QU"), TXMLFormat::QU},
        {QStringLiteral("N1"), TXMLFormat::NZ},     {QStringLiteral("N3"), TXMLFormat::NZ},
        {QStringLiteral("N5"), TXMLFormat::NZ},     {QStringLiteral("N6"), TXMLFormat::NZ},
        {QStringLiteral("N10"), TXMLFormat::NZ},    {QStringLiteral("N11"), TXMLFormat::NZ},
    };
    return codes;
}
} // namespace

QString fieldFormatName(TXMLFormat format, int digits)
{
    if (format == TXMLFormat::NZ)
        return QLatin1Char('N') + QString::number(digits);
    return formatCodes().key(format);
}

bool parseFieldFormat(const QString &code, TXMLFormat *format, int *digits)
{
    const QHash<QString, TXMLFormat> &codes = formatCodes();
    const auto it = codes.constFind(code);
    if (it == codes.constEnd())
        return false;
    *format = it.value();
    *digits = it.value() == TXMLFormat::NZ ? code.mid(1).toInt() : 0;
    return true;
}

QString xmlFamilyName(TXMLFamily family)
{
    switch (family) {
    case TXMLFamily::A: return QStringLiteral("A");
    case TXMLFamily::B: return QStringLiteral("B");
    case TXMLFamily::E: return QStringLiteral("E");
    case TXMLFamily::G: return QStringLiteral("G");
    case TXMLFamily::H: return QStringLiteral("H");
    case TXMLFamily::Z: return QStringLiteral("Z");
    }
    return QString();
}

int TXMLRecordType::fieldCount() const
{
    int n = 0;
    for (const TXMLSectionType &s : sections)
        n += int(s.fields.size());
    return n;
}

QString recordTemplateDir()
{
    return TorFolders::resDir() + QStringLiteral("filetel/");
}

TXMLRecordType LoadRecordTemplateFromBytes(TXMLFamily family, const QByteArray &xml, const QString &sourceName)
{
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(xml, &message, &line, &column))
        fail(sourceName, QStringLiteral("XML malformato alla riga %1, colonna %2: %3").arg(line).arg(column).arg(message));

    const QString fam = xmlFamilyName(family);
    const QString rootName = QStringLiteral("Record") + fam;
    const QString sectionName = QStringLiteral("Section") + fam;
    const QString fieldName = QStringLiteral("Campo") + fam;

    const QDomElement root = doc.documentElement();
    if (root.tagName() != rootName)
        fail(sourceName, QStringLiteral("l'elemento principale è <%1> invece di <%2>").arg(root.tagName(), rootName));

    TXMLRecordType record;
    record.family = family;
    record.fileName = sourceName;
    static const QRegularExpression letter(QStringLiteral("^Record_(.)\\.xml$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (const auto m = letter.match(QFileInfo(sourceName).fileName()); m.hasMatch())
        record.recordLetter = m.captured(1).at(0).toUpper();
    for (QDomElement s = root.firstChildElement(); !s.isNull(); s = s.nextSiblingElement()) {
        if (s.tagName() != sectionName)
            fail(sourceName, QStringLiteral("elemento <%1> inatteso alla riga %2 (atteso <%3>)")
                                 .arg(s.tagName()).arg(s.lineNumber()).arg(sectionName));
        TXMLSectionType section;
        section.Text = s.attribute(QStringLiteral("Text"));
        if (family == TXMLFamily::E || family == TXMLFamily::G || family == TXMLFamily::H)
            section.Repeat = s.attribute(QStringLiteral("Repeat")).trimmed();
        if (family == TXMLFamily::G) {
            section.Cds = s.attribute(QStringLiteral("Cds")).trimmed();
            if (s.hasAttribute(QStringLiteral("FirstRow"))) {
                bool ok = false;
                section.FirstRow = s.attribute(QStringLiteral("FirstRow")).trimmed().toInt(&ok);
                if (!ok || section.FirstRow < 1 || section.FirstRow > 999)
                    fail(sourceName, QStringLiteral("FirstRow non valido \"%1\" alla riga %2 (atteso un numero da 1 a 999)")
                                         .arg(s.attribute(QStringLiteral("FirstRow")))
                                         .arg(s.lineNumber()));
            }
        }
        for (QDomElement f = s.firstChildElement(); !f.isNull(); f = f.nextSiblingElement()) {
            if (f.tagName() != fieldName)
                fail(sourceName, QStringLiteral("elemento <%1> inatteso alla riga %2 (atteso <%3>)")
                                     .arg(f.tagName()).arg(f.lineNumber()).arg(fieldName));
            section.fields.append(bindField(f, family, record.recordLetter, sourceName));
        }
        section.readsOnly = family == TXMLFamily::G && !section.Cds.isEmpty();
        section.head = !section.fields.isEmpty();
        for (const TXMLCampoType &f : section.fields) {
            const bool reads = f.info == TXMLInfo::Column || f.info == TXMLInfo::ColumnX || f.info == TXMLInfo::Truncate
                               || f.info == TXMLInfo::Round || f.info == TXMLInfo::RoundA1
                               || f.info == TXMLInfo::YearsMonths;
            section.readsOnly = section.readsOnly && reads && !f.computed && f.keyValue;
            section.head = section.head && !f.keyValue;
        }
        record.sections.append(section);
    }
    if (family == TXMLFamily::Z && record.sections.size() != 1)
        fail(sourceName, QStringLiteral("<RecordZ> deve contenere una sola sezione, ne contiene %1")
                             .arg(record.sections.size()));
    return record;
}

TXMLRecordType LoadRecordTemplate(TXMLFamily family, const QString &fileName)
{
    const QString path = QFileInfo(fileName).isAbsolute()
                             ? fileName
                             : TorFolders::resolveFile(recordTemplateDir(), fileName);
    QFile file(path);
    if (!file.exists())
        throw EOvError(QStringLiteral("Tracciato record %1 non trovato: %2").arg(QFileInfo(fileName).fileName(), path));
    if (!file.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere il tracciato record %1: %2")
                           .arg(QFileInfo(fileName).fileName(), file.errorString()));
    TXMLRecordType record = LoadRecordTemplateFromBytes(family, file.readAll(), QFileInfo(path).fileName());
    record.fileName = QFileInfo(fileName).fileName();
    record.path = path;
    return record;
}
