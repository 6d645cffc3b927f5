#include "src/prj/unit/telematic/VelFileTemplate.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

[[noreturn]] void fail(const QString &source, const QString &detail)
{
    throw EOvError(QStringLiteral("Tracciato record %1 non valido: %2").arg(source, detail));
}

TXMLInfo parseInfo(const QString &info, int *cut)
{
    *cut = 0;
    if (info == QLatin1String("OF"))
        return TXMLInfo::Fixed;
    if (info == QLatin1String("O@"))
        return TXMLInfo::OrEmpty;
    if (info == QLatin1String("@@"))
        return TXMLInfo::Column;
    if (info == QLatin1String("@X"))
        return TXMLInfo::ColumnX;
    if (info == QLatin1String("T@") || info == QLatin1String("TX"))
        return TXMLInfo::Truncate;
    if (info == QLatin1String("A@") || info == QLatin1String("AX"))
        return TXMLInfo::Round;
    if (info == QLatin1String("A1"))
        return TXMLInfo::RoundA1;
    if (info == QLatin1String("@1"))
        return TXMLInfo::Check;
    if (info == QLatin1String("AM"))
        return TXMLInfo::YearsMonths;
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
    return TXMLInfo::Other;
}

TXMLCampoType bindField(const QDomElement &e, TXMLFamily family, const QString &source)
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
    if (family != TXMLFamily::Z) {
        f.Cds = e.attribute(QStringLiteral("Cds")).trimmed();
        f.Field = e.attribute(QStringLiteral("Field")).trimmed();
    }
    f.number = f.Number.trimmed();
    f.keyValue = f.number.size() == 8;
    f.info = parseInfo(f.Info, &f.cut);
    f.isAmount = f.Format == QLatin1String("VP");
    static const QStringList computedCodes = {
        QStringLiteral("DC001001"), QStringLiteral("DB602001"), QStringLiteral("DBXXX001"), QStringLiteral("DB602A07"),
        QStringLiteral("DB602B07"), QStringLiteral("DC001008"), QStringLiteral("DC001050"), QStringLiteral("DC001062"),
        QStringLiteral("DC001072"), QStringLiteral("DC001038"), QStringLiteral("DC001040"), QStringLiteral("DC001044"),
        QStringLiteral("DC001076"), QStringLiteral("DC001077")};
    f.computed = family == TXMLFamily::G
                 && (computedCodes.contains(f.number)
                     || f.Field.compare(QLatin1String("SCUDGESASS_2"), Qt::CaseInsensitive) == 0);
    if (!f.keyValue) {
        bool isNumber = false;
        const int n = f.number.toInt(&isNumber);
        f.position = isNumber ? n : 0;
    }
    return f;
}

} // namespace

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
    for (QDomElement s = root.firstChildElement(); !s.isNull(); s = s.nextSiblingElement()) {
        if (s.tagName() != sectionName)
            fail(sourceName, QStringLiteral("elemento <%1> inatteso alla riga %2 (atteso <%3>)")
                                 .arg(s.tagName()).arg(s.lineNumber()).arg(sectionName));
        TXMLSectionType section;
        section.Text = s.attribute(QStringLiteral("Text"));
        if (family == TXMLFamily::E || family == TXMLFamily::G || family == TXMLFamily::H)
            section.Repeat = s.attribute(QStringLiteral("Repeat")).trimmed();
        if (family == TXMLFamily::G)
            section.Cds = s.attribute(QStringLiteral("Cds")).trimmed();
        for (QDomElement f = s.firstChildElement(); !f.isNull(); f = f.nextSiblingElement()) {
            if (f.tagName() != fieldName)
                fail(sourceName, QStringLiteral("elemento <%1> inatteso alla riga %2 (atteso <%3>)")
                                     .arg(f.tagName()).arg(f.lineNumber()).arg(fieldName));
            section.fields.append(bindField(f, family, sourceName));
        }
        section.readsOnly = family == TXMLFamily::G && !section.Cds.isEmpty();
        for (const TXMLCampoType &f : section.fields) {
            const bool reads = f.info == TXMLInfo::Column || f.info == TXMLInfo::ColumnX || f.info == TXMLInfo::Truncate
                               || f.info == TXMLInfo::Round || f.info == TXMLInfo::RoundA1
                               || f.info == TXMLInfo::YearsMonths || (f.info == TXMLInfo::Other && !f.Info.contains(QLatin1Char('/')));
            section.readsOnly = section.readsOnly && reads && !f.computed && f.keyValue;
        }
        record.sections.append(section);
    }
    if (family == TXMLFamily::Z && record.sections.size() != 1)
        fail(sourceName, QStringLiteral("<RecordZ> deve contenere una sola sezione, ne contiene %1")
                             .arg(record.sections.size()));
    static const QRegularExpression letter(QStringLiteral("^Record_(.)\\.xml$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (const auto m = letter.match(QFileInfo(sourceName).fileName()); m.hasMatch())
        record.recordLetter = m.captured(1).at(0).toUpper();
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
