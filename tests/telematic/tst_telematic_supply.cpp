// The telematic supply end to end over datasets the test fills: the shipped
// templates load and lay out their records, the passes visit what they should
// (G modules, family rows, self-employment entries, cancellations), every line
// of the file is 1,900 bytes in Windows-1252 with the fixed fields where the
// published layout puts them, large supplies are split into numbered files,
// and bad templates or a failed write end with an error naming the file and
// without a half-written supply.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/check/VelSupplyCheckFields.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelFileText.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Values = QList<QPair<const char *, QVariant>>;

void addRow(TClientDataSet &ds, const Values &values)
{
    ds.append();
    for (const auto &[name, value] : values)
        ds.fieldByName(QLatin1String(name)).setValue(value);
    ds.post();
}

QVariant money(const char *text)
{
    return QVariant::fromValue(Currency::parse(QString::fromLatin1(text)).value());
}

// The supply's lines, each without its CR LF; fails when one is not 1,900 bytes.
QList<QByteArray> readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    QList<QByteArray> lines;
    if (all.size() % 1900 != 0)
        return {};
    for (qsizetype at = 0; at < all.size(); at += 1900) {
        const QByteArray line = all.mid(at, 1900);
        if (!line.endsWith("A\r\n"))
            return {};
        lines << line.left(1898);
    }
    return lines;
}

// Characters from..to (1-based, inclusive) of a line.
QByteArray at(const QByteArray &line, int from, int to)
{
    return line.mid(from - 1, to - from + 1);
}

// The value of a key-value field in a record, or a null array when absent.
QByteArray slot(const QByteArray &line, const char *code)
{
    for (int p = 89; p + 24 <= 1889; p += 24)
        if (line.mid(p, 8) == code)
            return line.mid(p + 8, 16);
    return QByteArray();
}

QByteArray lpad(const char *text, int width)
{
    return QByteArray(text).leftJustified(width, ' ');
}

QByteArray rpad(const char *text, int width)
{
    return QByteArray(text).rightJustified(width, ' ');
}

// A school with five payees:
//  1 ROSSI NICOLÒ: tax data, two INPS rows, one public-pension row, spouse and two children;
//  2 BIANCHI: self-employed only, two entries;
//  3 VERDI: cancellation of an earlier certification, no data;
//  4 NERI: a dependant only;
//  5 GIALLI: nothing at all.
void fillSchool(VelFileWorkspace &ws)
{
    ws.engine().setSoftwareProducer(QStringLiteral("01234567897"));
    addRow(ws.dataSet(QStringLiteral("cdsForn")), {{"SFORCODFIS", QStringLiteral("80012345676")}, {"STFOCODICE", QStringLiteral("1")}});
    addRow(ws.dataSet(QStringLiteral("cdsSost")),
           {{"SSOSCODFIS", QStringLiteral("80012345676")},
            {"SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO GIOSUÈ CARDUCCI")},
            {"SSOSEMAIL", QStringLiteral("SEGRETERIA@SCUOLA.IT")},
            {"SSOSCFRAPPR", QStringLiteral("BNCLRA60A41H501Z")},
            {"SCARCODICE", QStringLiteral("1")},
            {"SSOSCOGNRAPPR", QStringLiteral("BIANCO")},
            {"SSOSNOMERAPPR", QStringLiteral("LAURA")},
            {"SSOSFIRMACOM", QStringLiteral("LAURA BIANCO")},
            {"SSOSCOMUNE", QStringLiteral("ROMA")},
            {"SSOSPROV", QStringLiteral("RM")}});
    addRow(ws.dataSet(QStringLiteral("cdsQuadroCT")),
           {{"SCTCODFIS", QStringLiteral("80012345676")}, {"SCTCELL", QStringLiteral("3331234567")}});

    TClientDataSet &dip = ws.dataSet(QStringLiteral("cdsDip"));
    addRow(dip, {{"IAFIID", 11}, {"SCUDCODFIS", QStringLiteral("RSSNCL80A01H501D")}, {"SCUDCOGNOME", QStringLiteral("ROSSI")},
                 {"SCUDNOME", QStringLiteral("NICOLÒ")}, {"SCUDSEX", QStringLiteral("M")}, {"DCUDDATANAS", QDate(1980, 1, 1)},
                 {"fCudReddDetr", money("25000.50")}, {"fCudRitIrpef", money("4321.0049")},
                 {"DCUDDATIANADATA", QDate(2026, 3, 2)}, {"SCUDDATIANAFIRMA", QStringLiteral("LAURA BIANCO")}});
    addRow(dip, {{"IAFIID", 12}, {"SCUDCODFIS", QStringLiteral("BNCGNN75B02F205D")}, {"SCUDCOGNOME", QStringLiteral("BIANCHI")},
                 {"SCUDNOME", QStringLiteral("GIOVANNI")}});
    addRow(dip, {{"IAFIID", 13}, {"SCUDCODFIS", QStringLiteral("VRDLGU70C03L219R")}, {"SCUDCOGNOME", QStringLiteral("VERDI")},
                 {"SCUDNOME", QStringLiteral("LUIGI")}, {"LCUDANNULLAMENTO", QStringLiteral("1")},
                 {"SCUDIDENTSERVTELE", QStringLiteral("25012312345678901")}, {"SCUDPROGRDICH", QStringLiteral("42")}});
    addRow(dip, {{"IAFIID", 14}, {"SCUDCODFIS", QStringLiteral("NREMRA85D44F839C")}, {"SCUDCOGNOME", QStringLiteral("NERI")},
                 {"SCUDNOME", QStringLiteral("MARA")}});
    addRow(dip, {{"IAFIID", 15}, {"SCUDCODFIS", QStringLiteral("GLLPLA90E05A944W")}, {"SCUDCOGNOME", QStringLiteral("GIALLI")},
                 {"SCUDNOME", QStringLiteral("PAOLO")}});

    TClientDataSet &inps = ws.dataSet(QStringLiteral("cdsInps"));
    addRow(inps, {{"IAFIID", 11}, {"sCudMatrAzienda", QStringLiteral("7012345678")}, {"FCUDIMPONIBILE", money("20000")}});
    addRow(inps, {{"IAFIID", 11}, {"FCUDIMPONIBILE", money("1500.75")}});
    addRow(ws.dataSet(QStringLiteral("cdsInpdap")), {{"IAFIID", 11}, {"SCUDCODFISAMMNE", QStringLiteral("80012345676")},
                                                     {"FCUD_DMA_IMPPENS", money("3000")}});
    TClientDataSet &fam = ws.dataSet(QStringLiteral("cdsConFamCar"));
    addRow(fam, {{"IAFIID", 11}, {"LCUDRELPARCON", QStringLiteral("1")}, {"SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501G")},
                 {"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("RSSLCU10A01H501R")}});
    addRow(fam, {{"IAFIID", 11}, {"LCUDRELPARFIGLDIS", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("RSSANN12A41H501U")}});
    addRow(fam, {{"IAFIID", 14}, {"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("NRELCA15A01F839M")}});

    TClientDataSet &aut = ws.dataSet(QStringLiteral("cdsAutSe"));
    addRow(aut, {{"IAFIID", 12}, {"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("1000")}});
    addRow(aut, {{"IAFIID", 12}, {"SCAUCODICE", QStringLiteral("M")}, {"FDSE7AMMLORDO", money("250")}});
}

QList<QByteArray> linesOf(const QList<QByteArray> &lines, char letter)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        if (l.at(0) == letter)
            out << l;
    return out;
}

} // namespace

class TstTelematicSupply : public QObject
{
    Q_OBJECT
private slots:
    void shippedTemplatesLoadAndCarryTheModel()
    {
        VelFileWorkspace ws;
        ws.loadTemplates(); // each one's layout is checked while loading
        const VelRecordModel &m = VelRecordModel::instance();
        // every box of the payee's personal data and of the self-employment entry has its slot
        QSet<QString> dCodes, hCodes;
        for (const TXMLSectionType &s : ws.generator().recordTemplate(u'D').sections)
            for (const TXMLCampoType &f : s.fields)
                dCodes.insert(f.number);
        for (const TXMLSectionType &s : ws.generator().recordTemplate(u'H').sections)
            for (const TXMLCampoType &f : s.fields)
                hCodes.insert(f.number);
        for (const VelFieldDesc &f : m.structure(QStringLiteral("TCUD_DATICUD")).fields)
            if (f.page == QLatin1String("Dati Anagrafici") && !f.box.isEmpty())
                QVERIFY2(dCodes.contains(QStringLiteral("DA002%1").arg(f.box.toInt(), 3, 10, QLatin1Char('0'))), qPrintable(f.name));
        for (const VelFieldDesc &f : m.structure(QStringLiteral("TASE_AUTSOMMEEROGATE")).fields)
            if (!f.box.isEmpty())
                QVERIFY2(hCodes.contains(QStringLiteral("AU001%1").arg(f.box.toInt(), 3, 10, QLatin1Char('0'))), qPrintable(f.name));
        // record G: the sections the passes look for, and every section's codes unique
        const TXMLRecordType &g = ws.generator().recordTemplate(u'G');
        QStringList texts;
        for (const TXMLSectionType &s : g.sections) {
            texts << s.Text;
            QSet<QString> codes;
            for (const TXMLCampoType &f : s.fields) {
                QVERIFY2(!codes.contains(f.number), qPrintable(s.Text + QStringLiteral(": ") + f.number));
                codes.insert(f.number);
            }
        }
        // the head first, in a section of its own; the other children numbered from 603
        QVERIFY(g.sections.first().head);
        QCOMPARE(g.sections.first().fields.size(), qsizetype(TVelFileUtil::HeadFields));
        QVERIFY(std::any_of(g.sections.cbegin(), g.sections.cend(), [](const TXMLSectionType &s) { return s.FirstRow == 603; }));
        QVERIFY(g.fieldCount() > 600);
    }

    void supplyEndToEnd()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        ws.engine().setDefaultInpsMatricola(QStringLiteral("9999999999"));
        QStringList log;
        ws.generator().setLog([&](const QString &l) { log << l; });
        ws.generate(ws.allRows());
        QCOMPARE(log, QStringList({QStringLiteral("Generazione del Record C..."), QStringLiteral("Generazione del Record D..."),
                                   QStringLiteral("Percipiente: ROSSI NICOLÒ"), QStringLiteral("Percipiente: BIANCHI GIOVANNI"),
                                   QStringLiteral("Percipiente: VERDI LUIGI"), QStringLiteral("Percipiente: NERI MARA"),
                                   QStringLiteral("Generazione del Record G..."), QStringLiteral("Percipiente: ROSSI NICOLÒ"),
                                   QStringLiteral("Percipiente: NERI MARA"), QStringLiteral("Generazione del Record H..."),
                                   QStringLiteral("Autonomo: BIANCHI GIOVANNI")}));
        QCOMPARE(ws.generator().skippedCertifications(), 3);
        // every certification once, the cancellation included: as the D records
        QCOMPARE(ws.generator().certificationsInSupply(), 4);

        // the field rows go through their file, as between "Crea" and "Salva"
        const QString fieldFile = dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS"));
        VelFileTables::saveTable(ws.fieldTable(), fieldFile);
        const int fieldRows = ws.fieldTable().recordCount();
        ws.fieldTable().emptyDataSet();
        VelFileTables::loadFieldTable(ws.fieldTable(), fieldFile);
        QCOMPARE(ws.fieldTable().recordCount(), fieldRows);

        const QString path = dir.filePath(QStringLiteral("CUR26"));
        QCOMPARE(ws.writeSupply(path), QStringList({path}));
        const QList<QByteArray> lines = readLines(path);
        QVERIFY2(!lines.isEmpty(), "every line 1,900 bytes ending A CR LF");
        QByteArray kinds;
        for (const QByteArray &l : lines)
            kinds += l.at(0);
        // A, B, the Quadro CT, then per certification D, G, H together
        QCOMPARE(kinds, QByteArray("ABCDGGDHHDDGZ"));

        const QByteArray &a = lines[0];
        QCOMPARE(at(a, 16, 20), QByteArray("CUR26"));
        QCOMPARE(at(a, 21, 22), QByteArray("01"));
        QCOMPARE(at(a, 23, 38), lpad("80012345676", 16));
        QCOMPARE(at(a, 522, 529), QByteArray("00000000"));

        const QByteArray &b = lines[1];
        QCOMPARE(at(b, 2, 17), lpad("80012345676", 16));
        QCOMPARE(at(b, 18, 25), QByteArray("00000001"));
        QCOMPARE(at(b, 74, 89), lpad("01234567897", 16));
        QCOMPARE(at(b, 91, 92), QByteArray("00"));
        QCOMPARE(at(b, 137, 196), lpad("ISTITUTO COMPRENSIVO GIOSU\xC8 CARDUCCI", 60));
        QCOMPARE(at(b, 309, 310), QByteArray("00"));
        QCOMPARE(at(b, 311, 326), lpad("BNCLRA60A41H501Z", 16));
        QCOMPARE(at(b, 327, 328), QByteArray("01"));
        QCOMPARE(at(b, 373, 383), QByteArray("00000000000"));
        QCOMPARE(at(b, 402, 409), QByteArray("00000004"));
        QCOMPARE(at(b, 410, 411), QByteArray("11")); // Quadro CT, signed
        QCOMPARE(at(b, 429, 436), QByteArray("00000000"));

        const QByteArray &c = lines[2];
        QCOMPARE(at(c, 2, 17), lpad("80012345676", 16));
        QCOMPARE(slot(c, "CT001004"), lpad("3331234567", 16));

        // ROSSI: personal data, the accented letter one byte
        const QByteArray &d1 = lines[3];
        QCOMPARE(at(d1, 26, 41), QByteArray("RSSNCL80A01H501D"));
        QCOMPARE(at(d1, 42, 46), QByteArray("00001"));
        QCOMPARE(at(d1, 84, 84), QByteArray(" "));
        QCOMPARE(slot(d1, "DA001001"), lpad("80012345676", 16));
        QCOMPARE(slot(d1, "DA002003"), lpad("NICOL\xD2", 16));
        QCOMPARE(slot(d1, "DA002005"), rpad("01011980", 16));
        QCOMPARE(slot(d1, "DA003001"), rpad("02032026", 16));
        QCOMPARE(slot(d1, "DA003002"), rpad("1", 16));
        // the agent's long name goes on in a second slot
        QCOMPARE(slot(d1, "DA001002"), QByteArray("ISTITUTO COMPREN"));

        // two G modules for two INPS rows; the second without the public-pension section
        const QList<QByteArray> g = linesOf(lines, 'G');
        QCOMPARE(at(g[0], 18, 25), QByteArray("00000001"));
        QCOMPARE(at(g[1], 18, 25), QByteArray("00000002"));
        QCOMPARE(slot(g[0], "DB001001"), rpad("25000,50", 16));
        QCOMPARE(slot(g[0], "DB001021"), rpad("4321,00", 16));
        QCOMPARE(slot(g[0], "DC001001"), lpad("7012345678", 16));
        QCOMPARE(slot(g[0], "DC001004"), rpad("20000,00", 16));
        QCOMPARE(slot(g[0], "DC001009"), lpad("80012345676", 16));
        QCOMPARE(slot(g[0], "DB601001"), rpad("1", 16));
        QCOMPARE(slot(g[0], "DB603001"), lpad("F", 16));
        QCOMPARE(slot(g[0], "DB604001"), lpad("D", 16));
        QCOMPARE(slot(g[0], "DB604002"), lpad("RSSANN12A41H501U", 16));
        QCOMPARE(slot(g[1], "DB001001"), QByteArray());
        QCOMPARE(slot(g[1], "DC001004"), rpad("1500,75", 16));
        QCOMPARE(slot(g[1], "DC001001"), lpad("9999999999", 16));
        QCOMPARE(slot(g[1], "DC001009"), QByteArray());
        QCOMPARE(slot(g[1], "DB603001"), QByteArray());
        // NERI: a dependant only, one module
        QCOMPARE(at(g[2], 26, 41), QByteArray("NREMRA85D44F839C"));
        QCOMPARE(slot(g[2], "DB603001"), lpad("F", 16));

        // BIANCHI: two self-employment entries, numbered, with the certification's number
        const QList<QByteArray> h = linesOf(lines, 'H');
        QCOMPARE(at(h[0], 18, 25), QByteArray("00000001"));
        QCOMPARE(at(h[1], 18, 25), QByteArray("00000002"));
        QCOMPARE(at(h[0], 42, 46), QByteArray("00002"));
        QCOMPARE(at(h[1], 42, 46), QByteArray("00002"));
        QCOMPARE(slot(h[0], "AU001001"), lpad("A", 16));
        QCOMPARE(slot(h[1], "AU001004"), rpad("250,00", 16));

        // VERDI: the cancellation of an earlier certification
        const QByteArray &d3 = linesOf(lines, 'D')[2];
        QCOMPARE(at(d3, 42, 46), QByteArray("00003"));
        QCOMPARE(at(d3, 47, 63), QByteArray("25012312345678901"));
        QCOMPARE(at(d3, 64, 69), QByteArray("000042"));
        QCOMPARE(at(d3, 84, 84), QByteArray("A"));

        const QByteArray &z = lines.last();
        QCOMPARE(at(z, 16, 24), QByteArray("000000001"));
        QCOMPARE(at(z, 25, 60), QByteArray("000000001000000004000000003000000002"));
        QCOMPARE(at(z, 61, 69), QByteArray("000000000"));
    }

    void laterModulesDoNotRepeatAnExhaustedDataset()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        TClientDataSet &inps = ws.dataSet(QStringLiteral("cdsInps"));
        inps.last();
        inps.deleteRecord(); // ROSSI: one INPS row ...
        addRow(ws.dataSet(QStringLiteral("cdsInpdap")), {{"IAFIID", 11}, {"SCUDCODFISAMMNE", QStringLiteral("97012345678")}});
        ws.generate({1}); // ... and two public-pension rows
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        ws.writeSupply(path);
        const QList<QByteArray> g = linesOf(readLines(path), 'G');
        QCOMPARE(g.size(), 2);
        QCOMPARE(slot(g[0], "DC001004"), rpad("20000,00", 16));
        QCOMPARE(slot(g[1], "DC001009"), lpad("97012345678", 16));
        // the INPS row is not certified a second time
        QCOMPARE(slot(g[1], "DC001004"), QByteArray());
        QCOMPARE(slot(g[1], "DC001001"), QByteArray());
    }

    void thePreparationRebuildsAnnotationsPerCertification()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        TClientDataSet &notes = ws.dataSet(QStringLiteral("cdsAnnotazioni"));
        TClientDataSet *realInps = &ws.dataSet(QStringLiteral("cdsInps"));
        QList<qint64> prepared;
        ws.generator().setPreparation([&](TClientDataSet &dip) {
            // as the wizard does: the certification's rows rebuilt in the dataset itself
            const qint64 person = dip.fieldByName(QStringLiteral("IAFIID")).asInteger();
            prepared << person;
            notes.setFiltered(false);
            notes.emptyDataSet();
            if (person == 11 || person == 15)
                addRow(notes, {{"IAFIID", person}, {"SANN701", QStringLiteral("AA")}, {"SANN702", QStringLiteral("BD")}});
            // the section datasets already show this certification only
            QCOMPARE(ws.dataSet(QStringLiteral("cdsInps")).recordCount(), person == 11 ? 2 : 0);
        });
        ws.generate(ws.allRows());
        QCOMPARE(prepared, QList<qint64>({11, 12, 13, 14, 15, 11, 12, 13, 14, 15}));
        // the datasets are the wizard's own again
        QCOMPARE(&ws.dataSet(QStringLiteral("cdsInps")), realInps);
        QCOMPARE(realInps->recordCount(), 2);
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        ws.writeSupply(path);
        // the annotations have no field code in the published layout: they stay
        // on the printed CU, and make neither a certification (GIALLI has
        // nothing else) nor a G module
        const QList<QByteArray> lines = readLines(path);
        for (const QByteArray &l : lines)
            QVERIFY2(!l.contains("AN0017"), l.left(46).constData());
        QCOMPARE(linesOf(lines, 'G').size(), 3);
        QCOMPARE(linesOf(lines, 'D').size(), 4);
    }

    void workingTables()
    {
        QTemporaryDir dir;
        TClientDataSet fields;
        const QStringList columns{QStringLiteral("SFIFICODREC"), QStringLiteral("SFIFIPROGRE"), QStringLiteral("SFIFIRECORD")};
        // a new generation starts from the table's own columns, in their
        // order, with no rows, whatever the last file holds: the rows are
        // written into the columns by position, and a file of an older
        // layout (columns in another order) must not send a record's letter
        // into its progressive
        const QString path = dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS"));
        {
            TClientDataSet old;
            old.setFieldDefs({{columns.at(1), TFieldType::String, 18},
                              {columns.at(0), TFieldType::String, 1},
                              {columns.at(2), TFieldType::String, 0}});
            old.createDataSet();
            old.appendRecord({QStringLiteral("000000000000000001"), QStringLiteral("D"), QStringLiteral("AU001001")});
            old.saveToFile(path);
        }
        VelFileTables::openFieldTableForGeneration(fields);
        QCOMPARE(fields.fieldNames(), columns);
        QCOMPARE(fields.recordCount(), 0);
        fields.appendTexts({u"D", u"000000000000000002", u"AU001001"});
        QCOMPARE(fields.fieldByName(columns.at(0)).asString(), QStringLiteral("D"));
        // a damaged working table is no matter for a new generation ...
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a dataset");
        }
        VelFileTables::openFieldTableForGeneration(fields);
        QCOMPARE(fields.fieldNames(), columns);
        // ... but saving a supply needs the rows of the last generation
        QVERIFY_THROWS_EXCEPTION(EOvError, VelFileTables::loadFieldTable(fields, path));
        QFile::remove(path);
        try {
            VelFileTables::loadFieldTable(fields, path);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("TFIFI_FIELDSFILE.CDS")), qPrintable(e.message()));
        }
        TClientDataSet recs;
        VelFileTables::openRecordTableForGeneration(recs);
        QCOMPARE(recs.indexFieldNames(), QStringLiteral("IFILEPROGRE;SFILECODREC"));
    }

    void noneVisitedStillWritesTheFrame()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        ws.dataSet(QStringLiteral("cdsQuadroCT")).emptyDataSet();
        ws.generate({});
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        ws.writeSupply(path);
        const QList<QByteArray> lines = readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(at(lines[1], 402, 410), QByteArray("000000000"));
        QCOMPARE(at(lines[2], 25, 60), QByteArray(36, '0'));
    }

    void aLargeSupplyIsSplitIntoNumberedFiles()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        ws.generator().assemble(); // A, B, Z only: the field table is empty
        TClientDataSet &t = ws.recordTable();
        const QString body = QStringLiteral("D") + QString(1896, u' ') + QStringLiteral("A");
        t.disableControls();
        // the Quadro CT, then the certifications
        t.appendRecord({QStringLiteral("C"), QString::number(1).rightJustified(18, u'0'),
                        QStringLiteral("C") + QString(1896, u' ') + QStringLiteral("A"), 0});
        for (int i = 1; i <= VelSupplyWriter::MaxBodyRecords; ++i)
            t.appendRecord({QStringLiteral("D"), QString::number(i).rightJustified(18, u'0'), body, i});
        t.enableControls();
        QStringList warnings;
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        const QStringList files = VelSupplyWriter::write(t, ws.generator().supplyPlaces(), path, 8276, [&](const QString &w) { warnings << w; });
        QCOMPARE(files, QStringList({path, path + QStringLiteral("_2")}));
        QCOMPARE(warnings, QStringList({QStringLiteral("ATTENZIONE. La fornitura supera il limite previsto,\n\rVerranno generati più file telematici.")}));
        const QList<QByteArray> first = readLines(files[0]);
        const QList<QByteArray> second = readLines(files[1]);
        QCOMPARE(first.size(), 8275 + 3);
        QCOMPARE(second.size(), 1 + 3);
        QCOMPARE(at(first[0], 522, 529), QByteArray("00010002"));
        QCOMPARE(at(second[0], 522, 529), QByteArray("00020002"));
        // every file's B counts the whole supply, every file's Z only its own
        // records; the Quadro CT is declared (410) where its C record is
        QCOMPARE(at(first[1], 402, 409), QByteArray("00008276"));
        QCOMPARE(at(second[1], 402, 409), QByteArray("00008276"));
        QCOMPARE(at(first[1], 410, 410), QByteArray("1"));
        QCOMPARE(at(second[1], 410, 410), QByteArray("0"));
        QCOMPARE(at(first.last(), 25, 42), QByteArray("000000001000008274"));
        QCOMPARE(at(second.last(), 25, 42), QByteArray("000000000000000001"));

        // one record fewer, into the same folder: one file, no numbering, and
        // both parts of the earlier supply moved aside together, none left
        // under a supply's name
        t.last();
        t.deleteRecord();
        warnings.clear();
        TorFileSet::Replaced aside;
        QCOMPARE(VelSupplyWriter::write(t, ws.generator().supplyPlaces(), path, 8275, [&](const QString &w) { warnings << w; },
                                        nullptr, {}, &aside),
                 QStringList({path}));
        QVERIFY(warnings.isEmpty());
        QVERIFY(!QFile::exists(path + QStringLiteral("_2")));
        QVERIFY2(QFileInfo(aside.aside).fileName().startsWith(QStringLiteral("CUR26-precedente-")), qPrintable(aside.aside));
        QCOMPARE(QDir(aside.aside).entryList(QDir::Files), QStringList({QStringLiteral("CUR26"), QStringLiteral("CUR26_2")}));
        QCOMPARE(at(readLines(QDir(aside.aside).filePath(QStringLiteral("CUR26")))[0], 522, 529), QByteArray("00010002"));
        QCOMPARE(readLines(QDir(aside.aside).filePath(QStringLiteral("CUR26_2"))).size(), 1 + 3);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("CUR26")}));
        QCOMPARE(at(readLines(path)[0], 522, 529), QByteArray("00000000"));
        QCOMPARE(at(readLines(path)[1], 410, 410), QByteArray("1"));
    }

    void badTemplatesEndTheGenerationNamingTheFile()
    {
        QTemporaryDir dir;
        const QDir stage(QDir(QStringLiteral(VELCU_STAGE_DIR)).filePath(QStringLiteral("USR/KZ2025/Res/filetel")));
        for (const QString &f : stage.entryList({QStringLiteral("Record_*.xml")}, QDir::Files))
            QVERIFY(QFile::copy(stage.filePath(f), dir.filePath(f)));
        auto failsWith = [&](const QStringList &parts) {
            VelFileWorkspace ws;
            try {
                ws.loadTemplates(dir.path());
            } catch (const EOvError &e) {
                for (const QString &p : parts)
                    if (!e.message().contains(p))
                        return QStringLiteral("\"%1\" lacks \"%2\"").arg(e.message(), p);
                return QString();
            }
            return QStringLiteral("no error");
        };
        auto rewrite = [&](const char *name, const std::function<void(QByteArray &)> &change) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray xml = f.readAll();
            change(xml);
            f.resize(0);
            f.write(xml);
        };

        const QByteArray h = [&] { QFile f(dir.filePath(QStringLiteral("Record_H.xml"))); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        rewrite("Record_H.xml", [](QByteArray &x) { x.replace("</RecordH>", "</RecordX>"); });
        QCOMPARE(failsWith({QStringLiteral("Record_H.xml"), QStringLiteral("riga")}), QString());
        rewrite("Record_H.xml", [&](QByteArray &x) { x = h; x.replace("<SectionH", "<SectionG"); x.replace("</SectionH", "</SectionG"); });
        QCOMPARE(failsWith({QStringLiteral("Record_H.xml"), QStringLiteral("SectionG")}), QString());
        rewrite("Record_H.xml", [&](QByteArray &x) { x = h; x.replace("Width=\"16\"", "Width=\"sedici\""); });
        QCOMPARE(failsWith({QStringLiteral("Record_H.xml"), QStringLiteral("sedici")}), QString());
        rewrite("Record_H.xml", [&](QByteArray &x) { x = h; });
        {
            VelFileWorkspace ws;
            ws.loadTemplates(dir.path()); // sound again
        }

        // a record A whose fields do not add up to the record
        rewrite("Record_A.xml", [](QByteArray &x) { x.replace("Width=\"483\"", "Width=\"482\""); });
        QCOMPARE(failsWith({QStringLiteral("Record_A.xml"), QStringLiteral("1897")}), QString());
        rewrite("Record_A.xml", [](QByteArray &x) { x.replace("Width=\"482\"", "Width=\"483\""); });

        // the writer's places come from the templates: one missing is refused
        rewrite("Record_B.xml", [](QByteArray &x) { x.replace(" Calc=\"certificazioni\"", ""); });
        QCOMPARE(failsWith({QStringLiteral("Record_B.xml"), QStringLiteral("Calc=\"certificazioni\"")}), QString());
        rewrite("Record_B.xml", [](QByteArray &x) { x.replace("Field=\"\"/>", "Field=\"\" Calc=\"certificazioni\"/>"); });
        QCOMPARE(failsWith({QStringLiteral("Record_B.xml"), QStringLiteral("Calc=\"certificazioni\"")}), QString());

        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("Record_G.xml"))));
        QCOMPARE(failsWith({QStringLiteral("Record_G.xml")}), QString());
    }

    void anUnknownSectionEndsTheGeneration()
    {
        QTemporaryDir dir;
        const QDir stage(QDir(QStringLiteral(VELCU_STAGE_DIR)).filePath(QStringLiteral("USR/KZ2025/Res/filetel")));
        for (const QString &f : stage.entryList({QStringLiteral("Record_*.xml")}, QDir::Files))
            QVERIFY(QFile::copy(stage.filePath(f), dir.filePath(f)));
        QFile g(dir.filePath(QStringLiteral("Record_G.xml")));
        QVERIFY(g.open(QIODevice::ReadWrite));
        QByteArray xml = g.readAll();
        xml.replace("Cds=\"cdsInail\"", "Cds=\"cdsInailX\"");
        g.resize(0);
        g.write(xml);
        g.close();

        VelFileWorkspace ws;
        ws.loadTemplates(dir.path());
        fillSchool(ws);
        try {
            ws.generate(ws.allRows());
            QFAIL("no error");
        } catch (const EAssertionFailed &e) {
            QCOMPARE(e.message(), QStringLiteral("Sezione non trovata cdsInailX"));
        }
    }

    void aFailedWriteLeavesTheOldFileAlone()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        ws.generate(ws.allRows());
        ws.generator().assemble();
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("supply of yesterday");
        }
        // a body record that is not a whole record
        ws.recordTable().appendRecord({QStringLiteral("H"), QStringLiteral("000000000000000099"), QStringLiteral("H corto"), 99});
        try {
            VelSupplyWriter::write(ws.recordTable(), ws.generator().supplyPlaces(), path, 3);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("CUR26")), qPrintable(e.message()));
        }
        // whole files that their check refuses never take the name either
        ws.recordTable().last();
        ws.recordTable().deleteRecord();
        QStringList checked;
        try {
            VelSupplyWriter::write(ws.recordTable(), ws.generator().supplyPlaces(), path, 3, {}, nullptr,
                                   [&](const QStringList &staged, const QStringList &names) {
                                       QCOMPARE(names, QStringList({path}));
                                       QCOMPARE(staged.size(), 1);
                                       QCOMPARE(QFileInfo(staged[0]).size(), qint64(1900) * 13);
                                       checked = staged;
                                       throw EOvError(QStringLiteral("controllo non superato"));
                                   });
            QFAIL("no error");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("controllo non superato"));
        }
        QCOMPARE(checked.size(), 1);
        QVERIFY(!QFile::exists(checked[0]));
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("supply of yesterday"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("CUR26")}));
    }

    void everySlotSuitsItsFieldAndEachCertificationCountsOnce()
    {
        // The school with BIANCHI also employed (a teacher also paid as a
        // professional) and NERI also self-employed, dependants with months
        // and years: every slot of the file is read and its value checked
        // against its field's kind in the layout's table; record B counts
        // each certification once (its D record), as the checker does.
        QTemporaryDir dir;
        VelFileWorkspace ws;
        ws.loadTemplates();
        fillSchool(ws);
        TClientDataSet &dip = ws.dataSet(QStringLiteral("cdsDip"));
        for (dip.first(); !dip.eof(); dip.next()) {
            dip.edit();
            const qint64 id = dip.fieldByName(QStringLiteral("IAFIID")).asInteger();
            dip.fieldByName(QStringLiteral("SCUDSEX")).setAsString(QStringLiteral("F"));
            dip.fieldByName(QStringLiteral("DCUDDATANAS")).setValue(QDate(1980, 1, 1));
            dip.fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("ROMA"));
            dip.fieldByName(QStringLiteral("SCUDPROVNAS")).setAsString(id == 14 ? QStringLiteral("EE") : QStringLiteral("RM"));
            if (id == 12)
                dip.fieldByName(QStringLiteral("fCudReddDetr")).setValue(money("18000"));
            dip.post();
        }
        addRow(ws.dataSet(QStringLiteral("cdsAutSe")), {{"IAFIID", 14}, {"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("400")}});
        TClientDataSet &fam = ws.dataSet(QStringLiteral("cdsConFamCar"));
        fam.first();
        fam.edit();
        fam.fieldByName(QStringLiteral("SCUDMESICARCON")).setAsString(QStringLiteral("12"));
        fam.fieldByName(QStringLiteral("SCUDMESICARFIGL")).setAsString(QStringLiteral("7"));
        fam.fieldByName(QStringLiteral("SCUDMINTREANNFIGL")).setAsString(QStringLiteral("00"));
        fam.fieldByName(QStringLiteral("SCUDDTANNOFIGL")).setAsString(QStringLiteral("2025"));
        fam.fieldByName(QStringLiteral("FCUDDETRSPETTFIGL")).setValue(50.0);
        fam.post();
        ws.generate(ws.allRows());
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        QCOMPARE(ws.writeSupply(path), QStringList({path}));
        const QList<QByteArray> lines = readLines(path);
        QVERIFY(!lines.isEmpty());
        int seen = 0;
        for (const QByteArray &l : lines) {
            if (!QByteArray("CDGH").contains(l.at(0)))
                continue;
            for (int p = 89; p + 24 <= 1889 && l.mid(p, 8) != QByteArray(8, ' '); p += 24) {
                const QByteArray code = l.mid(p, 8), value = l.mid(p + 8, 16);
                ++seen;
                if (value.startsWith('+'))
                    continue; // a text's continuation
                const QString why = VelSupplyFields::valueProblem(code, value);
                QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1 \"%2\": %3").arg(QString::fromLatin1(code), QString::fromLatin1(value), why)));
            }
        }
        QVERIFY(seen > 60);
        const QList<QByteArray> g = linesOf(lines, 'G');
        QCOMPARE(slot(g[0], "DB603003"), rpad("7", 16));
        QCOMPARE(slot(g[0], "DB603009"), rpad("2025", 16));
        QCOMPARE(slot(g[0], "DB603004"), QByteArray()); // zero months: not written
        QCOMPARE(slot(linesOf(lines, 'D')[3], "DA002007"), lpad("EE", 16));
        // four certifications, two of them with both kinds: four, as the D records
        QCOMPARE(linesOf(lines, 'D').size(), 4);
        QCOMPARE(at(lines[1], 402, 409), QByteArray("00000004"));
        TVelSupplyCheck check;
        // every payee made a woman born on 1/1/1980: the codes say otherwise,
        // which the check says as warnings only
        QStringList shown;
        int warnings = 0;
        for (const TVelSupplyProblem &p : check.run({path})) {
            if (p.warning)
                ++warnings;
            else
                shown << p.text();
        }
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QLatin1Char('\n'))));
        QVERIFY(warnings > 0);
        QCOMPARE(check.certifications(), 4);
    }
};

QTEST_MAIN(TstTelematicSupply)
#include "tst_telematic_supply.moc"
