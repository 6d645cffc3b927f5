// The bytes of a written supply where values that really occur used to come
// out wrong: month series with empty flags, an agent who is a person, the
// intermediary's commitment, check boxes on blank texts, zero counts, texts
// with trailing blanks, lower case, telephone numbers, letters outside the
// code page, the operation flag of every certification record, a
// certification at the border of two files, the software producer's code, the
// severance boxes with the boxes that hold a period as years and months, and
// the severance beside the boxes of the tax data that share its numbers.
// Each case writes the file and reads the bytes at their positions.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelFileText.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/telematic/VelTaxCode.h"

#include <QFile>
#include <QSettings>
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

QList<QByteArray> readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    QList<QByteArray> lines;
    for (qsizetype at = 0; at + 1900 <= all.size(); at += 1900)
        lines << all.mid(at, 1898);
    return lines;
}

QByteArray at(const QByteArray &line, int from, int to)
{
    return line.mid(from - 1, to - from + 1);
}

// Every value of a field code in a record, in order.
QList<QByteArray> slotsOf(const QByteArray &line, const char *code)
{
    QList<QByteArray> out;
    for (int p = 89; p + 24 <= 1889; p += 24)
        if (line.mid(p, 8) == code)
            out << line.mid(p + 8, 16);
    return out;
}

QByteArray slot(const QByteArray &line, const char *code)
{
    return slotsOf(line, code).value(0);
}

QByteArray lpad(const QByteArray &text, int width)
{
    return text.leftJustified(width, ' ');
}

QList<QByteArray> linesOf(const QList<QByteArray> &lines, char letter)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        if (l.startsWith(letter))
            out << l;
    return out;
}

const char *const kInpsMonths[] = {"LCUDGENNAIO", "LCUDFEBBRAIO", "LCUDMARZO",     "LCUDAPRILE",
                                   "LCUDMAGGIO",  "LCUDGIUGNO",   "LCUDLUGLIO",    "LCUDAGOSTO",
                                   "LCUDSETTEMBRE", "LCUDOTTOBRE", "LCUDNOVEMBRE", "LCUDDICEMBRE"};

// One school, one payee with tax data and an INPS row; `sost` adds to or
// replaces the agent's values.
void fill(VelFileWorkspace &ws, const Values &sost = {}, const Values &dip = {}, const Values &inps = {})
{
    ws.engine().setSoftwareProducer(QStringLiteral("01234567897"));
    addRow(ws.dataSet(QStringLiteral("cdsForn")), {{"SFORCODFIS", QStringLiteral("80012345676")}, {"STFOCODICE", QStringLiteral("1")}});
    Values agent = {{"SSOSCODFIS", QStringLiteral("80012345676")}, {"SSOSDENOM", QStringLiteral("ISTITUTO DANTE")},
                    {"SSOSFIRMACOM", QStringLiteral("LAURA BIANCO")}};
    agent << sost;
    addRow(ws.dataSet(QStringLiteral("cdsSost")), agent);
    Values payee = {{"IAFIID", 11}, {"SCUDCODFIS", QStringLiteral("RSSMRA80A01H501U")}, {"SCUDCOGNOME", QStringLiteral("ROSSI")},
                    {"SCUDNOME", QStringLiteral("MARIO")}, {"SCUDSEX", QStringLiteral("M")}, {"DCUDDATANAS", QDate(1980, 1, 1)},
                    {"SCUDCOMNAS", QStringLiteral("ROMA")}, {"fCudReddDetr", money("25000")}};
    payee << dip;
    addRow(ws.dataSet(QStringLiteral("cdsDip")), payee);
    Values row = {{"IAFIID", 11}, {"sCudMatrAzienda", QStringLiteral("7012345678")}, {"FCUDIMPONIBILE", money("20000")}};
    row << inps;
    addRow(ws.dataSet(QStringLiteral("cdsInps")), row);
}

QList<QByteArray> supply(VelFileWorkspace &ws, const QTemporaryDir &dir)
{
    ws.loadTemplates();
    ws.generate(ws.allRows());
    const QString path = dir.filePath(QStringLiteral("CUR26"));
    ws.writeSupply(path, [](const QString &) {});
    return readLines(path);
}

} // namespace

class TstTelematicBytes : public QObject
{
    Q_OBJECT

private slots:
    void monthSeriesKeepEveryMonthInItsPlace()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        Values months;
        // "" and "X" alternating, December never set (null)
        for (int i = 0; i < 11; ++i)
            months.append({kInpsMonths[i], i % 2 ? QStringLiteral("X") : QString()});
        // the _C series: "1" and "0" with a null in the middle
        months.append({"LCUDGENNAIO_C", QStringLiteral("1")});
        months.append({"LCUDFEBBRAIO_C", QStringLiteral("0")});
        months.append({"LCUDDICEMBRE_C", QStringLiteral("x")});
        fill(ws, {}, {}, months);
        const QList<QByteArray> g = linesOf(supply(ws, dir), 'G');
        QCOMPARE(g.size(), 1);
        QCOMPARE(slot(g[0], "DC001008"), lpad("010101010100", 16));
        QCOMPARE(slot(g[0], "DC001050"), lpad("100000000001", 16));
        // a series with no month ticked is not written
        QCOMPARE(slot(g[0], "DC001062"), QByteArray());
    }

    void anAgentWhoIsAPersonHasSurnameAndNameInTheirPlaces()
    {
        {
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws, {{"SSOSDENOM", QStringLiteral("Verdi")}, {"SSOSNOME", QStringLiteral("Giuseppe")}});
            const QByteArray b = linesOf(supply(ws, dir), 'B').value(0);
            QCOMPARE(at(b, 93, 116), lpad("VERDI", 24));
            QCOMPARE(at(b, 117, 136), lpad("GIUSEPPE", 20));
            QCOMPARE(at(b, 137, 196), QByteArray(60, ' '));
        }
        {
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws);
            const QByteArray b = linesOf(supply(ws, dir), 'B').value(0);
            QCOMPARE(at(b, 93, 136), QByteArray(44, ' '));
            QCOMPARE(at(b, 137, 196), lpad("ISTITUTO DANTE", 60));
        }
    }

    void theCommitmentFollowsTheIntermediary()
    {
        {
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws, {{"SSOSCODFISINTERM", QStringLiteral("01234567897")}, {"DSOSDTIMPEGNO", QDate(2026, 3, 10)},
                      {"LSOSDICHCONTRIB", QStringLiteral("0")}});
            const QByteArray b = linesOf(supply(ws, dir), 'B').value(0);
            QCOMPARE(at(b, 412, 427), lpad("01234567897", 16));
            QCOMPARE(at(b, 428, 428), QByteArray("2"));
            QCOMPARE(at(b, 429, 436), QByteArray("10032026"));
        }
        {
            // no intermediary: no commitment, whatever the flag column says
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws, {{"LSOSDICHCONTRIB", QStringLiteral("1")}});
            const QByteArray b = linesOf(supply(ws, dir), 'B').value(0);
            QCOMPARE(at(b, 412, 428), QByteArray(17, ' '));
        }
    }

    void aBlankTextTicksNoBox()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        fill(ws, {{"SSOSFIRMACOM", QStringLiteral("   ")}, {"LSOSANNULLAMENTO", QString()}, {"LSOSCASIPARTICOLARI", QStringLiteral(" ")}});
        const QByteArray b = linesOf(supply(ws, dir), 'B').value(0);
        QCOMPARE(at(b, 91, 91), QByteArray("0"));
        QCOMPARE(at(b, 411, 411), QByteArray("0"));
        QCOMPARE(at(b, 527, 527), QByteArray("0"));
    }

    void zeroCountsAndYearsAreNotWritten()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        fill(ws, {}, {{"iCudPeriodoLav", 0}, {"ICUDGGPENSIONE", 365}, {"ICUDCRAPANNOAPSUCC", 0}, {"ICUDRBSNST51TANNO", 2024}});
        const QByteArray g = linesOf(supply(ws, dir), 'G').value(0);
        QCOMPARE(slot(g, "DB001006"), QByteArray());
        QCOMPARE(slot(g, "DB001007"), QByteArray(16 - 3, ' ') + "365");
        QCOMPARE(slot(g, "DB001519"), QByteArray());
        QCOMPARE(slot(g, "DB001701"), QByteArray(12, ' ') + "2024");
    }

    void textsAreTrimmedUpperCasedAndMadeOfLayoutCharacters()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        fill(ws, {{"SSOSDENOM", QStringLiteral("Scuola Media    ")}, {"SSOSTELFAX", QStringLiteral("0544/1234-56")}},
             {{"SCUDCOGNOME", QStringLiteral("  Łukasiewicz         ")}, {"SCUDNOME", QStringLiteral("Nicolò")}});
        const QList<QByteArray> lines = supply(ws, dir);
        const QByteArray b = linesOf(lines, 'B').value(0);
        QCOMPARE(at(b, 137, 196), lpad("SCUOLA MEDIA", 60));
        QCOMPARE(at(b, 297, 308), lpad("0544123456", 12));
        const QByteArray d = linesOf(lines, 'D').value(0);
        // trailing blanks make no further "+" slot
        QCOMPARE(slotsOf(d, "DA001002"), QList<QByteArray>({lpad("SCUOLA MEDIA", 16)}));
        QCOMPARE(slotsOf(d, "DA002002"), QList<QByteArray>({lpad("LUKASIEWICZ", 16)}));
        QCOMPARE(slot(d, "DA002003"), lpad("NICOL\xD2", 16));
        QCOMPARE(slot(d, "DA001008"), lpad("0544123456", 16));
    }

    // Names from other alphabets reach the supply in Latin letters, one byte a
    // character; a line break typed in a name is a blank.
    void foreignNamesAreSpelledInLatinLetters()
    {
        QCOMPARE(VelFileText::supplyText(QStringLiteral("ШЕВЧЕНКО Олена")), QStringLiteral("SHEVCHENKO Olena"));
        QCOMPARE(VelFileText::supplyText(QStringLiteral("Nguyễn\nThị")), QStringLiteral("Nguyên Thi"));
        QCOMPARE(VelFileText::supplyText(QStringLiteral("Nicolo\u0300")), QStringLiteral("Nicol\u00F2"));
        const QString odd = VelFileText::supplyText(QStringLiteral("王 Anna"));
        QCOMPARE(odd, QStringLiteral("? Anna"));
        QCOMPARE(VelFileText::toWin1252(odd).size(), odd.size());
    }

    void theOperationFlagIsInTheHeadOfEveryCertificationRecord()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        fill(ws, {}, {{"LCUDSOSTITUZIONE", QStringLiteral("1")}, {"SCUDIDENTSERVTELE", QStringLiteral("25012312345678901")},
                      {"SCUDPROGRDICH", QStringLiteral("7")}});
        addRow(ws.dataSet(QStringLiteral("cdsAutSe")), {{"IAFIID", 11}, {"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("100")}});
        const QList<QByteArray> lines = supply(ws, dir);
        for (char letter : {'D', 'G', 'H'}) {
            const QByteArray l = linesOf(lines, letter).value(0);
            QVERIFY2(!l.isEmpty(), &letter);
            QCOMPARE(at(l, 84, 84), QByteArray("S"));
        }
    }

    void aCertificationIsNeverSplitAcrossTwoFiles()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        fill(ws);
        ws.loadTemplates();
        ws.generator().assemble(); // A, B, Z
        TClientDataSet &t = ws.recordTable();
        auto record = [](char letter) { return QString(QLatin1Char(letter)) + QString(1896, u' ') + QStringLiteral("A"); };
        // 4,138 certifications of a D and a G record each: 8,276 body records
        t.disableControls();
        for (int i = 1; i <= 4138; ++i) {
            const QString prog = QString::number(i).rightJustified(18, u'0');
            t.appendRecord({QStringLiteral("D"), prog, record('D'), i});
            t.appendRecord({QStringLiteral("G"), prog, record('G'), i});
        }
        t.enableControls();
        const QString path = dir.filePath(QStringLiteral("CUR26"));
        const QStringList files = VelSupplyWriter::write(t, ws.generator().supplyPlaces(), path, 4138, [](const QString &) {});
        QCOMPARE(files.size(), 2);
        const QList<QByteArray> first = readLines(files[0]);
        const QList<QByteArray> second = readLines(files[1]);
        QCOMPARE(first.size(), 8274 + 3); // certification 4,138 does not fit whole: it goes on
        QCOMPARE(second.size(), 2 + 3);
        QVERIFY(first[first.size() - 2].startsWith('G'));
        QVERIFY(second[2].startsWith('D'));
        QVERIFY(second[3].startsWith('G'));
        QCOMPARE(at(first.last(), 34, 51), QByteArray("000004137000004137"));
        QCOMPARE(at(second.last(), 34, 51), QByteArray("000000001000000001"));
        QCOMPARE(at(first[0], 522, 529), QByteArray("00010002"));
        QCOMPARE(at(second[0], 522, 529), QByteArray("00020002"));
    }

    void severanceBoxesAndPeriodsHaveOneCodeEach()
    {
        QTemporaryDir dir;
        VelFileWorkspace ws;
        // box 489 of the tax data holds a period as years and months
        fill(ws, {}, {{"ICUDRARTIPERPARANNI", 2}, {"ICUDRARTIPERPARMESI", 6}});
        addRow(ws.dataSet(QStringLiteral("cdsTfr")),
               {{"IAFIID", 11},
                {"FRL7INDENANNO", money("12345.675")},
                {"DRL7DTFINERAPLAV", QDate(2025, 8, 31)},
                {"SRL7INDANNICOMMIS", QStringLiteral("12")},
                {"SRL7INDMESICOMMIS", QStringLiteral(" 3")},
                {"SRL7INDMESICONVENZ", QStringLiteral("5")}, // months alone, the years left empty
                {"SRL7INDEQTITOLO", QStringLiteral("A")},
                {"FRL7RATE1", QStringLiteral("2")},
                {"ITFR007ANNIPARZ", 0},
                {"ITFR007MESIPARZ", 0},
                {"FRIEP7ALIQUOTA1", money("23")},
                {"FRIEP7IMPSOSRIVTFR", money("10")}});
        const QList<QByteArray> lines = supply(ws, dir);
        // the severance in the certification's record G, with the tax data
        const QList<QByteArray> g = linesOf(lines, 'G');
        QCOMPARE(g.size(), 1);
        QCOMPARE(linesOf(lines, 'H').size(), 0);
        const QByteArray &r = g[0];
        QCOMPARE(slot(r, "DB001489"), QByteArray(12, ' ') + "0206");
        QCOMPARE(slot(r, "DB001801"), QByteArray(8, ' ') + "12345,68");
        QCOMPARE(slot(r, "DB001815"), QByteArray(8, ' ') + "31082025");
        QCOMPARE(slot(r, "DB001820"), QByteArray(12, ' ') + "1203");
        QCOMPARE(slot(r, "DB001821"), QByteArray(12, ' ') + "0005");
        QCOMPARE(slot(r, "DB001825"), lpad("A", 16));
        QCOMPARE(slot(r, "DB001826"), QByteArray(15, ' ') + "2");
        QCOMPARE(slot(r, "DB001837"), QByteArray()); // a period of zero years and zero months
        QCOMPARE(slot(r, "DB001896"), QByteArray(11, ' ') + "23,00");
        QCOMPARE(slot(r, "DB001920"), QByteArray(11, ' ') + "10,00");
        // no second field code for a box, no code that is not of row 001
        for (int p = 89; p + 24 <= 1889; p += 24) {
            const QByteArray code = r.mid(p, 8);
            QVERIFY2(code.trimmed().isEmpty() || code.mid(2, 3) == "001", code.constData());
        }

        // a period that does not fit two digits stops the generation naming the field
        QTemporaryDir dir2;
        VelFileWorkspace bad;
        fill(bad);
        addRow(bad.dataSet(QStringLiteral("cdsTfr")), {{"IAFIID", 11}, {"ITFR007ANNICOMM", 120}});
        try {
            supply(bad, dir2);
            QFAIL("a period of 120 years was written");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QLatin1String("DB001835")), qPrintable(e.message()));
        }
    }

    void severanceNeverSharesARecordWithTheThirdChildsAllowance()
    {
        // Boxes 801-805 are the third child's single allowance in the tax data
        // and the severance's first boxes: one record G never carries both.
        const Values child = {{"SCUDASSUCFFIGLIO3", QStringLiteral("VRDLCU20A01H501S")}, {"ICUDASSUM1003", 12}};
        auto severance = [](VelFileWorkspace &ws, const char *amount, const char *advances) {
            addRow(ws.dataSet(QStringLiteral("cdsTfr")),
                   {{"IAFIID", 11}, {"FRL7INDENANNO", money(amount)}, {"FRL7ACCANNIPREC", money(advances)}});
        };
        auto codesOnce = [](const QByteArray &record) {
            QSet<QByteArray> seen;
            for (int p = 89; p + 24 <= 1889; p += 24) {
                const QByteArray code = record.mid(p, 8);
                if (code.trimmed().isEmpty() || record.at(p + 8) == '+')
                    continue;
                if (seen.contains(code))
                    return false;
                seen.insert(code);
            }
            return true;
        };
        auto checked = [](const QTemporaryDir &dir) {
            TVelSupplyCheck check;
            QStringList problems;
            for (const TVelSupplyProblem &p : check.run({dir.filePath(QStringLiteral("CUR26"))}))
                problems << p.text();
            return problems.join(QLatin1Char('\n'));
        };

        {
            // the child's boxes and one severance row: the severance in module 2
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws, {}, child);
            severance(ws, "8000", "100");
            const QList<QByteArray> lines = supply(ws, dir);
            const QList<QByteArray> g = linesOf(lines, 'G');
            QCOMPARE(g.size(), 2);
            QCOMPARE(at(g[0], 18, 25), QByteArray("00000001"));
            QCOMPARE(at(g[1], 18, 25), QByteArray("00000002"));
            QCOMPARE(at(g[1], 26, 46), at(g[0], 26, 46)); // the same payee and certification
            QCOMPARE(slotsOf(g[0], "DB001801"), QList<QByteArray>{lpad("VRDLCU20A01H501S", 16)});
            QCOMPARE(slot(g[0], "DB001803"), QByteArray(14, ' ') + "12");
            QCOMPARE(slot(g[0], "DB001802"), QByteArray());
            QCOMPARE(slot(g[0], "DB001001"), QByteArray(8, ' ') + "25000,00");
            QCOMPARE(slot(g[0], "DC001001"), lpad("7012345678", 16));
            QCOMPARE(slotsOf(g[1], "DB001801"), QList<QByteArray>{QByteArray(9, ' ') + "8000,00"});
            QCOMPARE(slot(g[1], "DB001802"), QByteArray(10, ' ') + "100,00");
            // the second module: head and severance only
            QCOMPARE(slot(g[1], "DB001803"), QByteArray());
            QCOMPARE(slot(g[1], "DB001001"), QByteArray());
            QCOMPARE(slot(g[1], "DC001001"), QByteArray());
            QCOMPARE(linesOf(lines, 'H').size(), 0);
            QCOMPARE(at(linesOf(lines, 'B')[0], 402, 409), QByteArray("00000001"));
            QCOMPARE(at(linesOf(lines, 'Z')[0], 43, 60), QByteArray("000000002000000000"));
            const QString problems = checked(dir);
            QVERIFY2(problems.isEmpty(), qPrintable(problems));
        }
        {
            // two INPS rows and two severance rows beside the child's boxes:
            // the severance one module behind the INPS rows
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws, {}, child);
            addRow(ws.dataSet(QStringLiteral("cdsInps")),
                   {{"IAFIID", 11}, {"sCudMatrAzienda", QStringLiteral("7099999999")}, {"FCUDIMPONIBILE", money("500")}});
            severance(ws, "8000", "100");
            severance(ws, "300", "0");
            const QList<QByteArray> g = linesOf(supply(ws, dir), 'G');
            QCOMPARE(g.size(), 3);
            QCOMPARE(at(g[2], 18, 25), QByteArray("00000003"));
            QCOMPARE(slot(g[0], "DB001801"), lpad("VRDLCU20A01H501S", 16));
            QCOMPARE(slot(g[1], "DC001001"), lpad("7099999999", 16));
            QCOMPARE(slot(g[1], "DB001801"), QByteArray(9, ' ') + "8000,00");
            QCOMPARE(slot(g[2], "DC001001"), QByteArray());
            QCOMPARE(slot(g[2], "DB001801"), QByteArray(10, ' ') + "300,00");
            QCOMPARE(slot(g[2], "DB001802"), QByteArray());
            for (const QByteArray &r : g)
                QVERIFY(codesOnce(r));
            const QString problems = checked(dir);
            QVERIFY2(problems.isEmpty(), qPrintable(problems));
        }
        {
            // no such boxes: the severance in module 1, its second row beside
            // the second INPS row
            QTemporaryDir dir;
            VelFileWorkspace ws;
            fill(ws);
            addRow(ws.dataSet(QStringLiteral("cdsInps")),
                   {{"IAFIID", 11}, {"sCudMatrAzienda", QStringLiteral("7099999999")}, {"FCUDIMPONIBILE", money("500")}});
            severance(ws, "8000", "100");
            severance(ws, "300", "0");
            const QList<QByteArray> g = linesOf(supply(ws, dir), 'G');
            QCOMPARE(g.size(), 2);
            QCOMPARE(slot(g[0], "DB001001"), QByteArray(8, ' ') + "25000,00");
            QCOMPARE(slot(g[0], "DB001801"), QByteArray(9, ' ') + "8000,00");
            QCOMPARE(slot(g[0], "DB001802"), QByteArray(10, ' ') + "100,00");
            QCOMPARE(slot(g[1], "DC001001"), lpad("7099999999", 16));
            QCOMPARE(slot(g[1], "DB001801"), QByteArray(10, ' ') + "300,00");
            const QString problems = checked(dir);
            QVERIFY2(problems.isEmpty(), qPrintable(problems));
        }
    }

    void theSoftwareProducerIsASettingCheckedBeforeTheSupply()
    {
        // the program's one check of a tax code, also the editors' (VelCodFis::problem)
        QVERIFY(VelCodFis::isValidNumeric(QStringLiteral("01234567897")));
        QVERIFY(!VelCodFis::isValidNumeric(QStringLiteral("00000000001")));
        QVERIFY(!VelCodFis::isValidNumeric(QStringLiteral("00000000000"))); // the old placeholder
        QCOMPARE(VelCodFis::problem(QStringLiteral("00000000000")), QStringLiteral("Codice numerico non valido"));
        QVERIFY(!VelCodFis::isValidNumeric(QStringLiteral("0123456789")));
        QVERIFY(VelCodFis::isValidPersonal(QStringLiteral("RSSMRA80A01H501U")));
        QVERIFY(!VelCodFis::isValidPersonal(QStringLiteral("RSSMRA80A01H501A")));
        QVERIFY(!VelCodFis::isValidPersonal(QStringLiteral("RSSMRA80A01H50")));
        // a code with a letter where a digit belongs is no personal code, whatever its check letter
        QVERIFY(!VelCodFis::isValidPersonal(QStringLiteral("RSSMRA8AA01H501U")));
        QCOMPARE(VelCodFis::problem(QStringLiteral("RSSMRA8AA01H501U")), QStringLiteral("Caratteri non validi"));

        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("velcu.ini"));
        auto message = [&]() {
            try {
                VelTaxCode::checkedSoftwareProducer(ini);
            } catch (const EOvError &e) {
                return e.message();
            }
            return QString();
        };
        {
            QSettings s(ini, QSettings::IniFormat);
            s.setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"), QString());
        }
        QVERIFY(message().startsWith(QStringLiteral("Codice fiscale del produttore del software mancante")));
        {
            QSettings s(ini, QSettings::IniFormat);
            s.setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"), QStringLiteral("00000000000 "));
        }
        QVERIFY(message().contains(QStringLiteral("non valido")));
        {
            QSettings s(ini, QSettings::IniFormat);
            s.setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"), QStringLiteral(" 01234567897"));
        }
        QCOMPARE(message(), QString());
        QCOMPARE(VelTaxCode::checkedSoftwareProducer(ini), QStringLiteral("01234567897"));

        // no supply is assembled without it, nor with an invalid agent or supplier
        VelFileWorkspace ws;
        fill(ws);
        ws.loadTemplates();
        ws.engine().setSoftwareProducer(QString());
        QVERIFY_THROWS_EXCEPTION(EOvError, ws.generator().assemble());
        ws.engine().setSoftwareProducer(QStringLiteral("01234567897"));
        TClientDataSet &sost = ws.dataSet(QStringLiteral("cdsSost"));
        sost.edit();
        sost.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(QStringLiteral("80012345678"));
        sost.post();
        QVERIFY_THROWS_EXCEPTION(EOvError, ws.generator().assemble());
        sost.edit();
        sost.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
        sost.post();
        ws.generator().assemble();
        QCOMPARE(ws.recordTable().recordCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TstTelematicBytes)
#include "tst_telematic_bytes.moc"
