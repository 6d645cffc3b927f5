// velcu-filetel: writes the record templates of records C, D, G and H
// ("Record_C.xml", "Record_D.xml", "Record_G.xml", "Record_H.xml") from the CU
// record model, so that every box the model holds reaches the supply with the
// field code of its section: section letters + row "001" + box on three digits
// (DA002005 = date of birth, DB001021 = IRPEF withheld, DC001004 = INPS taxable
// amount, AU001004 = gross amount). Records A, B and Z are hand-written data
// (data/USR/KZ2025/Res/filetel/). docs/telematic-templates.md explains the
// choices and lists the codes that do not follow the box number.
//
// Usage: velcu-filetel <code-table sources folder> <output folder>
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "velcu/VelFields.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <cstdio>

namespace {

struct Field
{
    QString number;
    QString description;
    int width = 16;
    QString format;
    QString info;
    QString fixed;
    QString cds;
    QString column;
    QString calc; // a value the engine works out (Calc), see VelFileTemplate.h
};

struct Section
{
    QString text;
    QString repeat = QStringLiteral("NO");
    QString cds; // family G only
    int firstRow = 1; // family G, repeated: the row number of its first row
    QList<Field> fields;
};

QString codeTablesDir;
QStringList notes; // what the tool had to decide, printed at the end
QSet<QString> placed; // "STRUCTURE.FIELD" of every model field given a place in a template

QString attr(const QString &v)
{
    QString s = v;
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    s.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    s.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    s.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return s;
}

// Every code of the table is made of digits.
bool numericTable(const QString &table)
{
    static QHash<QString, bool> cache;
    const QString key = table.toLower();
    if (cache.contains(key))
        return cache.value(key);
    QString stem = table;
    stem.chop(stem.endsWith(QLatin1String(".cds"), Qt::CaseInsensitive) ? 4 : 0);
    QDir dir(codeTablesDir);
    QString path;
    for (const QString &f : dir.entryList({QStringLiteral("*.tsv")}, QDir::Files))
        if (f.compare(stem + QStringLiteral(".tsv"), Qt::CaseInsensitive) == 0)
            path = dir.filePath(f);
    bool numeric = false;
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly)) {
        QTextStream in(&file);
        bool header = true;
        numeric = true;
        int rows = 0;
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty())
                continue;
            if (header) {
                header = false;
                continue;
            }
            const QString code = line.section(QLatin1Char('\t'), 0, 0).trimmed();
            ++rows;
            for (QChar c : code)
                numeric = numeric && c.isDigit();
        }
        numeric = numeric && rows > 0;
    }
    cache.insert(key, numeric);
    return numeric;
}

// The format comes from the field's kind and, where the kind does not say
// enough, from what the model says it measures; never from its label.
bool isYear(const VelFieldDesc &f)
{
    return f.measure == VelMeasure::Anno;
}

bool isCount(const VelFieldDesc &f)
{
    return f.measure == VelMeasure::Anni || f.measure == VelMeasure::Mesi || f.measure == VelMeasure::Numero;
}

// Format and value rule of a model field in a key-value slot.
void describe(const VelFieldDesc &f, Field *out)
{
    out->info = QStringLiteral("@@");
    switch (f.kind) {
    case VelFieldKind::Amount:
        if (isYear(f)) {
            // a year kept as an amount: its whole part
            out->format = QStringLiteral("DA");
            out->info = QStringLiteral("T@");
        } else {
            out->format = QStringLiteral("VP");
        }
        break;
    case VelFieldKind::Integer:
        out->format = isYear(f) ? QStringLiteral("DA") : QStringLiteral("NP");
        break;
    case VelFieldKind::Date:
        out->format = QStringLiteral("DT");
        break;
    case VelFieldKind::FlagX:
    case VelFieldKind::Flag1:
        out->format = QStringLiteral("CB");
        break;
    case VelFieldKind::Lookup:
        out->format = !f.table.isEmpty() && numericTable(f.table) ? QStringLiteral("NU") : QStringLiteral("AN");
        break;
    case VelFieldKind::List: {
        bool numeric = true;
        for (const VelListValue &v : f.values)
            for (QChar c : v.code)
                numeric = numeric && c.isDigit();
        out->format = numeric ? QStringLiteral("NU") : QStringLiteral("AN");
        break;
    }
    case VelFieldKind::Text:
    case VelFieldKind::Memo:
        if (f.measure == VelMeasure::CodiceFiscale)
            out->format = QStringLiteral("CF");
        else if (isYear(f))
            out->format = QStringLiteral("DA");
        else if (isCount(f))
            out->format = QStringLiteral("NP");
        else if (f.measure == VelMeasure::Provincia)
            out->format = QStringLiteral("PR");
        else
            out->format = QStringLiteral("AN");
        break;
    }
}

QString code(const QString &quadro, const QString &row, int box)
{
    return quadro + row + QString::number(box).rightJustified(3, QLatin1Char('0'));
}

Field modelField(const QString &number, const VelFieldDesc &f, const QString &cds)
{
    Field out;
    out.number = number;
    out.description = f.label.trimmed().isEmpty() ? f.name : f.label.trimmed();
    out.cds = cds;
    out.column = f.name;
    describe(f, &out);
    return out;
}

Field plain(const QString &number, const QString &description, const QString &format, const QString &info,
            const QString &cds, const QString &column)
{
    Field f;
    f.number = number;
    f.description = description;
    f.format = format;
    f.info = info;
    f.cds = cds;
    f.column = column;
    return f;
}

// The eleven positional fields every record C, D, G, H begins with.
Section head(QChar letter, const QString &text)
{
    const bool c = letter == QLatin1Char('C');
    const QString dip = c ? QString() : QStringLiteral("cdsDip");
    auto pos = [](int n, const QString &d, int w, const QString &fmt, const QString &info, const QString &fixed,
                  const QString &cds, const QString &column) {
        Field f;
        f.number = QString::number(n);
        f.description = d;
        f.width = w;
        f.format = fmt;
        f.info = info;
        f.fixed = fixed;
        f.cds = cds;
        f.column = column;
        return f;
    };
    Section s;
    s.text = text;
    s.fields = {
        pos(1, QStringLiteral("Tipo record"), 1, QStringLiteral("AN"), QStringLiteral("OF"), QString(letter), {}, {}),
        c ? pos(2, QStringLiteral("Codice fiscale del sostituto"), 16, QStringLiteral("CF"), QStringLiteral("O@"), {},
                QStringLiteral("cdsQuadroCT"), fld::SCTCODFIS.qs())
          : pos(2, QStringLiteral("Codice fiscale del sostituto"), 16, QStringLiteral("CF"), QStringLiteral("O@"), {},
                QStringLiteral("cdsSost"), fld::SSOSCODFIS.qs()),
        pos(3, QStringLiteral("Progressivo modulo"), 8, QStringLiteral("NF"), QStringLiteral("OF"), QStringLiteral("1"),
            {}, {}),
        c ? pos(4, QStringLiteral("Codice fiscale del percipiente"), 16, QStringLiteral("CF"), QStringLiteral("OF"), {},
                {}, {})
          : pos(4, QStringLiteral("Codice fiscale del percipiente"), 16, QStringLiteral("CF"), QStringLiteral("O@"), {},
                dip, fld::SCUDCODFIS.qs()),
        pos(5, QStringLiteral("Progressivo della certificazione"), 5, QStringLiteral("NF"), QStringLiteral("OF"),
            QStringLiteral("0"), {}, {}),
        c ? pos(6, QStringLiteral("Identificativo dell'invio da sostituire o annullare"), 17, QStringLiteral("NF"),
                QStringLiteral("OF"), {}, {}, {})
          : pos(6, QStringLiteral("Identificativo dell'invio da sostituire o annullare"), 17, QStringLiteral("NF"),
                QStringLiteral("O@"), {}, dip, fld::SCUDIDENTSERVTELE.qs()),
        c ? pos(7, QStringLiteral("Progressivo della certificazione da sostituire o annullare"), 6,
                QStringLiteral("NF"), QStringLiteral("OF"), {}, {}, {})
          : pos(7, QStringLiteral("Progressivo della certificazione da sostituire o annullare"), 6,
                QStringLiteral("NF"), QStringLiteral("O@"), {}, dip, fld::SCUDPROGRDICH.qs()),
        pos(8, QStringLiteral("Spazio a disposizione dell'utente"), 14, QStringLiteral("AN"), QStringLiteral("OF"), {},
            {}, {}),
        pos(9, QStringLiteral("Tipologia di operazione (A annullamento, S sostituzione)"), 1, QStringLiteral("AN"),
            QStringLiteral("OF"), {}, {}, {}),
        pos(10, QStringLiteral("Filler"), 4, QStringLiteral("AN"), QStringLiteral("OF"), {}, {}, {}),
        c ? pos(11, QStringLiteral("Flag conferma singola certificazione"), 1, QStringLiteral("CP"),
                QStringLiteral("OF"), QStringLiteral("0"), {}, {})
          : pos(11, QStringLiteral("Flag conferma singola certificazione"), 1, QStringLiteral("CP"),
                QStringLiteral("@1"), {}, dip, fld::LCUDCONFERMADICH.qs()),
    };
    // what the engine works out: the record type of the rows, the module
    // (C, G, H), the certification's progressive and the operation (D, G, H)
    const bool d = letter == QLatin1Char('D');
    s.fields[0].calc = QStringLiteral("tipo-record");
    if (!d)
        s.fields[2].calc = QStringLiteral("modulo");
    if (!c) {
        s.fields[4].calc = QStringLiteral("certificazione");
        s.fields[8].cds = dip;
        s.fields[8].calc = QStringLiteral("lettera:S=LCUDSOSTITUZIONE;A=LCUDANNULLAMENTO");
    }
    return s;
}

// Boxes the record model numbers wrongly: the field and the box of the CU
// model it belongs to. The first instalment of the indemnity in the working
// relationship section stands in the model under the title's box (825), but
// it is box 826 of the CU, between the title and the second instalment (827),
// as in the two TFR sections (841/842/843, 863/864/865).
const QHash<QString, int> &boxCorrections()
{
    static const QHash<QString, int> fixes = {{QStringLiteral("TCUDT_TFR.FRL7RATE1"), 826}};
    return fixes;
}

bool isYears(const VelFieldDesc &f)
{
    return f.measure == VelMeasure::Anni;
}

bool isMonths(const VelFieldDesc &f)
{
    return f.measure == VelMeasure::Mesi;
}

// The fields of a structure's pages that carry box numbers, as key-value fields
// "<quadro><row><box>": one field code per box of the CU, as the layout has
// it. A box holding a period as years and months (two fields of the model)
// gives one value, years and months on two digits each (value rule "AM"). Any
// other box holding more than one field keeps its first field; the others are
// reported and reach the supply only through a computed field (`special`);
// the coverage test lists whatever is left without a place.
QList<Field> boxFields(const VelStructureDesc &st, const QStringList &pages, const QString &quadro, const QString &row,
                       const QString &cds, const QHash<QString, Field> &special = {})
{
    // the fields of each box, in the model's order of the boxes
    QList<int> order;
    QHash<int, QList<const VelFieldDesc *>> byBox;
    for (const VelFieldDesc &f : st.fields) {
        if (f.box.isEmpty() || !pages.contains(f.page))
            continue;
        bool ok = false;
        int box = f.box.toInt(&ok);
        if (!ok) {
            notes << QStringLiteral("%1.%2: casella \"%3\" non numerica, esclusa").arg(st.name, f.name, f.box);
            continue;
        }
        const QString key = st.name + QLatin1Char('.') + f.name;
        if (boxCorrections().contains(key)) {
            box = boxCorrections().value(key);
            notes << QStringLiteral("%1: casella %2 del modello, %3 della CU").arg(key, f.box).arg(box);
        }
        if (!byBox.contains(box))
            order << box;
        byBox[box] << &f;
    }

    QList<Field> out;
    for (int box : order) {
        const QList<const VelFieldDesc *> &fields = byBox.value(box);
        const QString number = code(quadro, row, box);
        if (special.contains(number)) {
            // a computed field stands for the whole box
            for (const VelFieldDesc *f : fields)
                placed.insert(st.name + QLatin1Char('.') + f->name);
            out.append(special.value(number));
            continue;
        }
        if (fields.size() == 2 && (isYears(*fields[0]) || isYears(*fields[1]))
            && (isMonths(*fields[0]) || isMonths(*fields[1]))) {
            const VelFieldDesc &years = isYears(*fields[0]) ? *fields[0] : *fields[1];
            const VelFieldDesc &months = isYears(*fields[0]) ? *fields[1] : *fields[0];
            Field f = plain(number, QStringLiteral("Periodo (anni e mesi)"), QStringLiteral("NU"), QStringLiteral("AM"),
                            cds, years.name + QLatin1Char(';') + months.name);
            placed.insert(st.name + QLatin1Char('.') + years.name);
            placed.insert(st.name + QLatin1Char('.') + months.name);
            out.append(f);
            continue;
        }
        placed.insert(st.name + QLatin1Char('.') + fields[0]->name);
        out.append(modelField(number, *fields[0], cds));
        for (qsizetype i = 1; i < fields.size(); ++i)
            notes << QStringLiteral("%1.%2: casella %3 condivisa con %4, nessun codice proprio")
                         .arg(st.name, fields[i]->name)
                         .arg(box)
                         .arg(fields[0]->name);
    }
    return out;
}

// The dependants' boxes by what they hold, whatever the record model's
// captions ("D", "P" for the children's fields): 2 the tax code, 3, 4, 8 and
// 10 numbers of months, 9 a year.
void dependantFormats(Section &s)
{
    for (Field &f : s.fields) {
        const int box = f.number.right(3).toInt();
        if (box == 2)
            f.format = QStringLiteral("CF");
        else if (box == 3 || box == 4 || box == 8 || box == 10)
            f.format = QStringLiteral("NP");
        else if (box == 9)
            f.format = QStringLiteral("DA");
    }
}

const VelFieldDesc &fieldOf(const VelStructureDesc &st, const char *name)
{
    const VelFieldDesc *f = st.field(QLatin1String(name));
    if (!f) {
        std::fprintf(stderr, "velcu-filetel: %s.%s non esiste nel modello\n", qPrintable(st.name), name);
        std::exit(1);
    }
    return *f;
}

Field named(const QString &number, const VelStructureDesc &st, const char *name, const QString &cds)
{
    placed.insert(st.name + QLatin1Char('.') + QLatin1String(name));
    return modelField(number, fieldOf(st, name), cds);
}

QStringList pagesWithQuadro(const VelStructureDesc &st, const QString &quadro)
{
    QStringList pages;
    for (const VelPageDesc &p : st.pages)
        if (p.quadro == quadro)
            pages << p.name;
    return pages;
}

bool writeTemplate(const QString &path, const QString &family, const QString &comment, const QList<Section> &sections)
{
    QByteArray bytes;
    QTextStream out(&bytes, QIODevice::WriteOnly);
    out.setEncoding(QStringConverter::Utf8);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- " << comment << " -->\n";
    out << "<!-- Scritto da velcu-filetel dal modello dei dati della CU: non modificare a mano. -->\n";
    out << "<Record" << family << ">\n";
    for (const Section &s : sections) {
        out << "  <Section" << family << " Text=\"" << attr(s.text) << "\" Repeat=\"" << s.repeat << "\"";
        if (family == QLatin1String("G"))
            out << " Cds=\"" << attr(s.cds) << "\"";
        if (s.firstRow != 1)
            out << " FirstRow=\"" << s.firstRow << "\"";
        out << ">\n";
        for (const Field &f : s.fields) {
            out << "    <Campo" << family << " Number=\"" << attr(f.number) << "\" Description=\""
                << attr(f.description) << "\" Width=\"" << f.width << "\" Format=\"" << f.format << "\" Info=\""
                << f.info << "\" Fixed=\"" << attr(f.fixed) << "\" Cds=\"" << attr(f.cds) << "\" Field=\""
                << attr(f.column) << "\"";
            if (!f.calc.isEmpty())
                out << " Calc=\"" << attr(f.calc) << "\"";
            out << "/>\n";
        }
        out << "  </Section" << family << ">\n";
    }
    out << "</Record" << family << ">\n";
    out.flush();
    try {
        TOvSafeFile::writeFile(path, bytes, TOvSafeFile::Access::Shared);
    } catch (const EOvException &e) {
        std::fprintf(stderr, "velcu-filetel: %s\n", qPrintable(e.message()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "uso: velcu-filetel <cartella sorgenti tabelle> <cartella di uscita>\n");
        return 2;
    }
    codeTablesDir = QString::fromLocal8Bit(argv[1]);
    const QDir outDir(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(outDir.path());

    const VelRecordModel &m = VelRecordModel::instance();
    const VelStructureDesc &cud = m.structure(rec::TCUD_DATICUD::id.qs());
    const VelStructureDesc &sost = m.structure(rec::TCUS_DATISOST::id.qs());
    const VelStructureDesc &ct = m.structure(rec::TCUCT_DATICT::id.qs());
    const VelStructureDesc &inps = m.structure(rec::TCUDI_INPS::id.qs());
    const VelStructureDesc &inpdap = m.structure(rec::TCUDN_INPDAP::id.qs());
    const VelStructureDesc &inail = m.structure(rec::TCUIN_INAIL::id.qs());
    const VelStructureDesc &altri = m.structure(rec::TCUDAE_ALTRIENTI::id.qs());
    const VelStructureDesc &coop = m.structure(rec::TCUDCA_COOPART::id.qs());
    const VelStructureDesc &tfr = m.structure(rec::TCUDT_TFR::id.qs());
    const VelStructureDesc &fam = m.structure(rec::TCUDC_CONFAMCARICO::id.qs());
    const VelStructureDesc &notesSt = m.structure(rec::TCUDA_ANNOTAZIONI::id.qs());
    const VelStructureDesc &aut = m.structure(rec::TASE_AUTSOMMEEROGATE::id.qs());
    const QString sostCds = QStringLiteral("cdsSost");
    const QString dipCds = QStringLiteral("cdsDip");

    bool ok = true;

    // ---- record C: the Quadro CT of the withholding agent
    {
        const QString q = QStringLiteral("cdsQuadroCT");
        Section body;
        body.text = QStringLiteral("Quadro CT - ricezione in via telematica dei dati dei modelli 730-4");
        const char *columns[] = {fld::LCTFISCONLINE.name, fld::LCTSRVENTRATEL.name, fld::SCTSEDEENT.name, fld::SCTCELL.name, fld::SCTEMAIL.name,
                                 fld::SCTCODFISINTERM.name, fld::SCTSEDEENTINTERM.name, fld::SCTCELLINTERM.name, fld::SCTEMAILINTERM.name, fld::SCTFIRMA.name};
        int n = 1;
        for (const char *c : columns) {
            body.fields << named(code(QStringLiteral("CT"), QStringLiteral("001"), n++), ct, c, q);
            if (QLatin1String(c).startsWith(fld::SCTCELL.l1()))
                body.fields.last().format = QStringLiteral("TL"); // digits only
        }
        // the signature is ticked, not written out
        body.fields.last().format = QStringLiteral("CB");
        body.fields.last().info = QStringLiteral("@1");
        ok = writeTemplate(outDir.filePath(QStringLiteral("Record_C.xml")), QStringLiteral("E"),
                           QStringLiteral("Record C: Quadro CT"), {head(u'C', QStringLiteral("intestazione record")), body})
             && ok;
    }

    // ---- record D: withholding agent and payee personal data
    {
        Section agent;
        agent.text = QStringLiteral("Dati relativi al datore di lavoro, ente pensionistico o altro sostituto d'imposta");
        const char *columns[] = {fld::SSOSCODFIS.name, fld::SSOSDENOM.name,  fld::SSOSNOME.name,      fld::SSOSCOMUNE.name,
                                 fld::SSOSPROV.name,   fld::SSOSCAP.name,    fld::SSOSINDIRIZZO.name, fld::SSOSTELFAX.name,
                                 fld::SSOSEMAIL.name,  fld::SSOSCODATTIVITA.name, fld::SSOSCODSEDE.name, fld::SSOSCODFISSOSSUB.name};
        int n = 1;
        for (const char *c : columns) {
            Field f = named(code(QStringLiteral("DA"), QStringLiteral("001"), n++), sost, c, sostCds);
            if (QLatin1String(c) == fld::SSOSCAP.l1() || QLatin1String(c) == fld::SSOSCODSEDE.l1())
                f.format = QStringLiteral("NU");
            if (QLatin1String(c) == fld::SSOSPROV.l1())
                f.format = QStringLiteral("PR");
            if (QLatin1String(c) == fld::SSOSTELFAX.l1())
                f.format = QStringLiteral("TL"); // digits only
            agent.fields << f;
        }

        Section payee;
        payee.text = QStringLiteral("Dati relativi al dipendente, pensionato o altro percettore delle somme");
        payee.fields = boxFields(cud, {QStringLiteral("Dati Anagrafici")}, QStringLiteral("DA"), QStringLiteral("002"),
                                 dipCds);
        // the municipalities merged since: boxes 23 and 27, no box number in the model
        payee.fields << named(QStringLiteral("DA002023"), cud, fld::SCUDFUSCOMPREC.name, dipCds)
                     << named(QStringLiteral("DA002027"), cud, fld::SCUDFUSCOM.name, dipCds);
        std::sort(payee.fields.begin(), payee.fields.end(),
                  [](const Field &a, const Field &b) { return a.number < b.number; });

        Section sign;
        sign.text = QStringLiteral("Data e firma");
        sign.fields << named(QStringLiteral("DA003001"), cud, fld::DCUDDATIANADATA.name, dipCds)
                    << plain(QStringLiteral("DA003002"), QStringLiteral("Firma del sostituto d'imposta"),
                             QStringLiteral("CB"), QStringLiteral("@1"), sostCds, fld::SSOSFIRMACOM.qs());
        // the agent signs every certification: the box is ticked from the
        // agent's signature, which the supply requires (record B 411); the
        // CU's own copy of it is the printed CU's
        placed.insert(cud.name + QStringLiteral(".SCUDDATIANAFIRMA"));
        ok = writeTemplate(outDir.filePath(QStringLiteral("Record_D.xml")), QStringLiteral("E"),
                           QStringLiteral("Record D: dati anagrafici del sostituto e del percipiente"),
                           {head(u'D', QStringLiteral("intestazione record")), agent, payee, sign})
             && ok;
    }

    // ---- record G: tax data, dependants, social-security sections
    {
        QList<Section> sections;
        sections << head(u'G', QStringLiteral("intestazione record"));

        // tax data, one section per page of the CU
        for (const VelPageDesc &p : cud.pages) {
            if (p.quadro != QLatin1String("DB"))
                continue;
            Section s;
            s.text = p.caption.isEmpty() ? p.name : p.caption;
            s.cds = dipCds;
            s.fields = boxFields(cud, {p.name}, QStringLiteral("DB"), QStringLiteral("001"), dipCds);
            sections << s;
        }

        // dependants: spouse (row 601), first child (602), other children (603, 604, ...)
        const QString famCds = QStringLiteral("cdsConFamCar");
        Section spouse;
        spouse.text = QStringLiteral("Dati relativi al coniuge e ai familiari a carico - CONIUGE");
        spouse.cds = famCds;
        spouse.fields << named(QStringLiteral("DB601001"), fam, fld::LCUDRELPARCON.name, famCds)
                      << named(QStringLiteral("DB601002"), fam, fld::SCUDCODFISCON.name, famCds)
                      << named(QStringLiteral("DB601003"), fam, fld::SCUDMESICARCON.name, famCds)
                      << named(QStringLiteral("DB601009"), fam, fld::SCUDDTANNOCONIUGE.name, famCds);
        dependantFormats(spouse);
        sections << spouse;

        Section first;
        first.text = QStringLiteral("Dati relativi al coniuge e ai familiari a carico - PRIMO FIGLIO");
        first.cds = famCds;
        Field rel = plain(QStringLiteral("DB602001"), QStringLiteral("Relazione di parentela (F primo figlio, D disabile)"),
                          QStringLiteral("AN"), QStringLiteral("@@"), famCds, fld::LCUDRELPARPRIFIGL.qs());
        rel.calc = QStringLiteral("lettera:F=LCUDRELPARPRIFIGL;D=LCUDRELPARPRIFIGLDIS");
        // Box 7 holds the deduction percentage, or "C" when the first child takes
        // the spouse's deduction: one code for both, as every code names one box.
        Field pct = named(QStringLiteral("DB602007"), fam, fld::SCUDDETRSPETTPRIFIGL.name, famCds);
        pct.description = QStringLiteral("Percentuale di detrazione spettante (C in mancanza del coniuge)");
        pct.format = QStringLiteral("VC");
        first.fields << rel << named(QStringLiteral("DB602002"), fam, fld::SCUDCODFISPRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602003"), fam, fld::SCUDMESICARPRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602004"), fam, fld::SCUDMINTREANNPRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602005"), fam, fld::LCUDDET100X100PRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602006"), fam, fld::LCUDDET100AFFPRIFIGL.name, famCds) << pct
                     << named(QStringLiteral("DB602008"), fam, fld::SCUDMESIDETRM21PRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602010"), fam, fld::SCUDMESIDETRGFPRIFIGL.name, famCds)
                     << named(QStringLiteral("DB602009"), fam, fld::SCUDDTANNOPRIFIGL.name, famCds);
        dependantFormats(first);
        sections << first;

        Section others;
        others.text = QStringLiteral("Dati relativi al coniuge e ai familiari a carico - ALTRI FIGLI");
        others.repeat = QStringLiteral("YES");
        others.firstRow = 603;
        others.cds = famCds;
        Field relOther = plain(QStringLiteral("DBXXX001"),
                               QStringLiteral("Relazione di parentela (F figlio, D disabile, G, P)"),
                               QStringLiteral("AN"), QStringLiteral("O@"), famCds, fld::LCUDRELPARFIGL.qs());
        relOther.calc = QStringLiteral("lettera:F=LCUDRELPARFIGL;D=LCUDRELPARFIGLDIS;G=LCUDRELPARFIGLALTRFAM;"
                                       "P=LCUDRELPARNONASCEND");
        Field pctOther = named(QStringLiteral("DBXXX007"), fam, fld::FCUDDETRSPETTFIGL.name, famCds);
        pctOther.description = QStringLiteral("Percentuale di detrazione spettante");
        others.fields << relOther << named(QStringLiteral("DBXXX002"), fam, fld::SCUDCODFISFIGL.name, famCds)
                      << named(QStringLiteral("DBXXX003"), fam, fld::SCUDMESICARFIGL.name, famCds)
                      << named(QStringLiteral("DBXXX004"), fam, fld::SCUDMINTREANNFIGL.name, famCds)
                      << named(QStringLiteral("DBXXX005"), fam, fld::LCUDDET100X100FIGL.name, famCds) << pctOther
                      << named(QStringLiteral("DBXXX008"), fam, fld::SCUDMESIDETRM21FIGL.name, famCds)
                      << named(QStringLiteral("DBXXX010"), fam, fld::SCUDMESIDETRGFFIGL.name, famCds)
                      << named(QStringLiteral("DBXXX009"), fam, fld::SCUDDTANNOFIGL.name, famCds);
        dependantFormats(others);
        sections << others;

        // INPS: the company number and the month series are computed by the engine
        const QString inpsCds = QStringLiteral("cdsInps");
        auto series = [&](const QString &number, const VelStructureDesc &st, const char *first, const QString &cds,
                          const QString &what) {
            Field f = named(number, st, first, cds);
            f.description = what;
            f.format = QStringLiteral("AN");
            f.calc = QStringLiteral("mesi:") + QLatin1String(first).toString().replace(QLatin1String("GENNAIO"), QLatin1String("*"));
            return f;
        };
        QHash<QString, Field> inpsSpecial;
        Field company = plain(QStringLiteral("DC001001"), QStringLiteral("Matricola azienda"), QStringLiteral("AN"),
                              QStringLiteral("@@"), inpsCds, fld::sCudMatrAzienda.qsUpper());
        company.calc = QStringLiteral("matricola-inps");
        inpsSpecial.insert(QStringLiteral("DC001001"), company);
        inpsSpecial.insert(QStringLiteral("DC001008"),
                           series(QStringLiteral("DC001008"), inps, fld::lCudGennaio.upper, inpsCds,
                                  QStringLiteral("Mesi per i quali non è stata presentata la contribuzione")));
        inpsSpecial.insert(QStringLiteral("DC001050"),
                           series(QStringLiteral("DC001050"), inps, fld::lCudGennaio_C.upper, inpsCds,
                                  QStringLiteral("Mesi per i quali non è stata presentata la contribuzione (sezione 3)")));
        inpsSpecial.insert(QStringLiteral("DC001062"),
                           series(QStringLiteral("DC001062"), inps, fld::lCud3bGennaio_C.upper, inpsCds,
                                  QStringLiteral("Mesi per i quali non è stata presentata la contribuzione (parasubordinati sportivi)")));
        inpsSpecial.insert(QStringLiteral("DC001072"),
                           series(QStringLiteral("DC001072"), inps, fld::lCud3tGennaio_C.upper, inpsCds,
                                  QStringLiteral("Mesi per i quali non è stata presentata la contribuzione (magistrati onorari)")));
        for (const VelPageDesc &p : inps.pages) {
            Section s;
            s.text = QStringLiteral("Dati previdenziali - ") + p.caption;
            s.cds = inpsCds;
            s.fields = boxFields(inps, {p.name}, QStringLiteral("DC"), QStringLiteral("001"), inpsCds, inpsSpecial);
            sections << s;
        }

        const QString inpdapCds = QStringLiteral("cdsInpdap");
        QHash<QString, Field> inpdapSpecial;
        Field prev = named(QStringLiteral("DC001013"), inpdap, fld::SCUDGESASS_2.name, inpdapCds);
        prev.description = QStringLiteral("Gestione previdenziale");
        prev.format = QStringLiteral("AN");
        prev.calc = QStringLiteral("carattere:1"); // the first character of the column
        inpdapSpecial.insert(QStringLiteral("DC001013"), prev);
        inpdapSpecial.insert(QStringLiteral("DC001038"),
                             series(QStringLiteral("DC001038"), inpdap, fld::LINPDAPGENNAIO.name, inpdapCds,
                                    QStringLiteral("Mesi per i quali non è stata presentata la contribuzione")));
        inpdapSpecial.insert(QStringLiteral("DC001040"),
                             series(QStringLiteral("DC001040"), inpdap, fld::LINPDAPPRSDGENNAIO.name, inpdapCds,
                                    QStringLiteral("Mesi del soggetto che ha presentato la denuncia")));
        inpdapSpecial.insert(QStringLiteral("DC001044"),
                             series(QStringLiteral("DC001044"), inpdap, fld::LINPDAPPRDGENNAIO.name, inpdapCds,
                                    QStringLiteral("Mesi del soggetto che presenta la denuncia")));
        Section sInpdap;
        sInpdap.text = QStringLiteral("Dati previdenziali - gestione dipendenti pubblici");
        sInpdap.cds = inpdapCds;
        sInpdap.fields = boxFields(inpdap, pagesWithQuadro(inpdap, QStringLiteral("DC")), QStringLiteral("DC"),
                                   QStringLiteral("001"), inpdapCds, inpdapSpecial);
        sections << sInpdap;

        Section sInail;
        sInail.text = QStringLiteral("Dati previdenziali - INAIL");
        sInail.cds = QStringLiteral("cdsInail");
        sInail.fields = boxFields(inail, pagesWithQuadro(inail, QStringLiteral("DC")), QStringLiteral("DC"),
                                  QStringLiteral("001"), sInail.cds);
        sections << sInail;

        Section sAltri;
        sAltri.text = QStringLiteral("Dati previdenziali - altri enti previdenziali");
        sAltri.cds = QStringLiteral("cdsAltriEnti");
        sAltri.fields = boxFields(altri, pagesWithQuadro(altri, QStringLiteral("DC")), QStringLiteral("DC"),
                                  QStringLiteral("001"), sAltri.cds);
        sections << sAltri;

        const QString coopCds = QStringLiteral("cdsCoopArt");
        QHash<QString, Field> coopSpecial;
        Field from = named(QStringLiteral("DC001076"), coop, fld::ICUDCAMESEDAL.name, coopCds);
        from.description = QStringLiteral("Periodo dal (mese e anno)");
        from.format = QStringLiteral("AN");
        Field to = named(QStringLiteral("DC001077"), coop, fld::ICUDCAMESEAL.name, coopCds);
        to.description = QStringLiteral("Periodo al (mese e anno)");
        to.format = QStringLiteral("AN");
        from.calc = QStringLiteral("mese-anno:ICUDCAMESEDAL;ICUDCAANNODAL");
        to.calc = QStringLiteral("mese-anno:ICUDCAMESEAL;ICUDCAANNOAL");
        coopSpecial.insert(from.number, from);
        coopSpecial.insert(to.number, to);
        Section sCoop;
        sCoop.text = QStringLiteral("Dati previdenziali - soci di cooperative artigiane");
        sCoop.cds = coopCds;
        sCoop.fields = boxFields(coop, pagesWithQuadro(coop, QStringLiteral("DC")), QStringLiteral("DC"),
                                 QStringLiteral("001"), coopCds, coopSpecial);
        sections << sCoop;

        // The severance (boxes 801-920) with the tax data's codes, DB001 + box:
        // one of the datasets whose rows make further modules. Boxes 801-805 of
        // the single allowance's third child share their numbers with the
        // severance's first boxes; the generator keeps the two in different
        // modules whenever the tax data write one of them.
        Section sTfr;
        sTfr.text = QStringLiteral("Trattamento di fine rapporto, indennità equipollenti, altre indennità");
        sTfr.cds = QStringLiteral("cdsTfr");
        sTfr.fields = boxFields(tfr, pagesWithQuadro(tfr, QStringLiteral("DB")), QStringLiteral("DB"),
                                QStringLiteral("001"), sTfr.cds);
        sections << sTfr;

        // The annotations have no field code in the published layout: they
        // stay on the printed CU and are not written into the supply.
        notes << QStringLiteral("%1: annotazioni senza codice nel tracciato pubblicato, solo sulla CU stampata")
                     .arg(notesSt.name);

        ok = writeTemplate(outDir.filePath(QStringLiteral("Record_G.xml")), QStringLiteral("G"),
                           QStringLiteral("Record G: dati fiscali, familiari a carico, dati previdenziali"), sections)
             && ok;
    }

    // ---- record H: one self-employment entry
    {
        Section s;
        s.text = QStringLiteral("Certificazione lavoro autonomo, provvigioni e redditi diversi");
        s.fields = boxFields(aut, pagesWithQuadro(aut, QStringLiteral("AU")), QStringLiteral("AU"),
                             QStringLiteral("001"), QStringLiteral("cdsAutSe"));
        ok = writeTemplate(outDir.filePath(QStringLiteral("Record_H.xml")), QStringLiteral("H"),
                           QStringLiteral("Record H: lavoro autonomo, provvigioni e redditi diversi"),
                           {head(u'H', QStringLiteral("intestazione record")), s})
             && ok;
    }

    // no field of the model with a box of its own is left out without a word
    for (const VelStructureDesc *st : {&cud, &inps, &inpdap, &inail, &altri, &coop, &tfr, &fam, &aut, &ct, &sost})
        for (const VelFieldDesc &f : st->fields)
            if (!f.box.isEmpty() && !placed.contains(st->name + QLatin1Char('.') + f.name))
                notes << QStringLiteral("%1.%2 (casella %3, pagina \"%4\"): non scritto nella fornitura")
                             .arg(st->name, f.name, f.box, f.page);

    for (const QString &n : notes)
        std::printf("velcu-filetel: %s\n", qPrintable(n));
    return ok ? 0 : 1;
}
