// The record engine of the telematic supply, piece by piece: the format codes,
// the value rules of each template family, the long-value split, the field
// rows with their skip rules and field codes, and the assembly of the field
// rows into 1,898-character records (head repeated when a certification does
// not fit in one record, nothing for a certification without rows).
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "src/prj/unit/telematic/VelFileText.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"
#include "tor/util/TorImporti.h"

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

QString enc(const QString &value, int width, const char *format, const char *info = "@@")
{
    return TVelFileUtil::EncodeField(value, width, QLatin1String(format), QLatin1String(info));
}

QString ph(int n)
{
    return QString(n, QChar(VelFileText::Placeholder));
}

// A template from text, with the file name that gives its record letter.
TXMLRecordType tpl(TXMLFamily family, const char *name, const QString &body)
{
    const QString f = xmlFamilyName(family);
    const QString xml = QStringLiteral("<Record%1>%2</Record%1>").arg(f, body);
    return LoadRecordTemplateFromBytes(family, xml.toUtf8(), QLatin1String(name));
}

QString campo(TXMLFamily family, const QString &number, int width, const char *format, const char *info,
              const QString &cds = {}, const QString &field = {}, const QString &fixed = {},
              const QString &calc = {})
{
    return QStringLiteral("<Campo%1 Number=\"%2\" Width=\"%3\" Format=\"%4\" Info=\"%5\" Cds=\"%6\" Field=\"%7\" "
                          "Fixed=\"%8\" Calc=\"%9\"/>")
        .arg(xmlFamilyName(family), number)
        .arg(width)
        .arg(QLatin1String(format), QLatin1String(info), cds, field, fixed, calc);
}

// The eleven head fields of a C/D/G/H record (89 characters), with what the
// engine works out as the shipped templates have it.
QString headFields(TXMLFamily family, const char *letter)
{
    const bool c = QLatin1String(letter) == QLatin1String("C");
    const bool d = QLatin1String(letter) == QLatin1String("D");
    QString s;
    s += campo(family, QStringLiteral("1"), 1, "AN", "OF", {}, {}, QLatin1String(letter), QStringLiteral("tipo-record"));
    s += campo(family, QStringLiteral("2"), 16, "CF", "O@", QStringLiteral("cdsSost"), QStringLiteral("SSOSCODFIS"));
    s += campo(family, QStringLiteral("3"), 8, "NF", "OF", {}, {}, QStringLiteral("1"), d ? QString() : QStringLiteral("modulo"));
    s += campo(family, QStringLiteral("4"), 16, "CF", "O@", QStringLiteral("cdsDip"), QStringLiteral("SCUDCODFIS"));
    s += campo(family, QStringLiteral("5"), 5, "NF", "OF", {}, {}, QStringLiteral("0"), c ? QString() : QStringLiteral("certificazione"));
    s += campo(family, QStringLiteral("6"), 17, "NF", "OF");
    s += campo(family, QStringLiteral("7"), 6, "NF", "OF");
    s += campo(family, QStringLiteral("8"), 14, "AN", "OF");
    s += campo(family, QStringLiteral("9"), 1, "AN", "OF", c ? QString() : QStringLiteral("cdsDip"), {}, {},
               c ? QString() : QStringLiteral("lettera:S=LCUDSOSTITUZIONE;A=LCUDANNULLAMENTO"));
    s += campo(family, QStringLiteral("10"), 4, "AN", "OF");
    s += campo(family, QStringLiteral("11"), 1, "CP", "OF", {}, {}, QStringLiteral("0"));
    return s;
}

QStringList fieldRows(VelFileWorkspace &ws)
{
    QStringList out;
    TClientDataSet &t = ws.fieldTable();
    for (int r = 0; r < t.recordCount(); ++r)
        out << t.valueAt(r, 2).toString();
    return out;
}

QStringList records(VelFileWorkspace &ws, QChar letter)
{
    QStringList out;
    TClientDataSet &t = ws.recordTable();
    for (int r = 0; r < t.recordCount(); ++r)
        if (t.valueAt(r, 0).toString() == QString(letter))
            out << t.valueAt(r, 2).toString();
    return out;
}

} // namespace

class TstTelematicEngine : public QObject
{
    Q_OBJECT
private slots:
    // ---------------------------------------------------------------- EncodeField
    void textCodesPadWithThePlaceholder()
    {
        QCOMPARE(enc(QStringLiteral("ABC"), 16, "AN"), QStringLiteral("ABC") + ph(13));
        QCOMPARE(enc(QStringLiteral("ABC   "), 6, "CF"), QStringLiteral("ABC") + ph(3)); // trailing blanks trimmed
        QCOMPARE(enc(QStringLiteral("  AB"), 6, "AN"), QStringLiteral("  AB") + ph(2)); // leading kept
        QCOMPARE(enc(QStringLiteral("RM "), 4, "PR"), QStringLiteral("RM ") + ph(1)); // not trimmed
        QCOMPARE(enc(QStringLiteral("X"), 3, "AX"), QStringLiteral("X") + ph(2));
        QCOMPARE(enc(QStringLiteral("0"), 3, "AX"), QString());
        // a name longer than its place is refused, never cut; a province of three letters too
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("ABCDEFGHIJ"), 4, "AN"));
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("RAV"), 2, "PR"));
        QCOMPARE(enc(QStringLiteral("ABCD    "), 4, "AN"), QStringLiteral("ABCD")); // trailing blanks are no text
    }

    void dateCodes()
    {
        QCOMPARE(enc(QStringLiteral("05/03/1970"), 16, "DT"), QString(8, u' ') + QStringLiteral("05031970"));
        QCOMPARE(enc(QStringLiteral("0.00.00"), 16, "DT"), QString());
        QCOMPARE(enc(QString(), 8, "DP"), QStringLiteral("00000000"));
        QCOMPARE(enc(QStringLiteral("0.00.00"), 16, "DP"), QStringLiteral("00000000")); // whatever the width
        QCOMPARE(enc(QStringLiteral("05/03/1970"), 10, "DP"), QStringLiteral("0005031970"));
        QCOMPARE(enc(QStringLiteral("05/03/1970"), 6, "D4"), QStringLiteral("  0503"));
        QCOMPARE(enc(QStringLiteral("1970"), 6, "D4"), QStringLiteral("  1970"));
        QCOMPARE(enc(QStringLiteral("0.00.00"), 6, "D4"), QString());
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("1970-03-05"), 16, "DT"));
    }

    void checkBoxCodes()
    {
        QCOMPARE(enc(QStringLiteral("0"), 16, "CB"), QString());
        QCOMPARE(enc(QStringLiteral("1"), 16, "CB"), QString(15, u' ') + QStringLiteral("1"));
        QCOMPARE(enc(QStringLiteral("X"), 4, "CB"), QStringLiteral("   1"));
        QCOMPARE(enc(QString(), 4, "CB"), QString()); // an empty box is not ticked
        QCOMPARE(enc(QStringLiteral("1"), 5, "CP"), QStringLiteral("00001"));
        QCOMPARE(enc(QStringLiteral("0"), 5, "CP"), QStringLiteral("00000"));
        QCOMPARE(enc(QString(), 5, "CP"), QStringLiteral("00000"));
        QCOMPARE(enc(QStringLiteral("000000000000"), 12, "CB12"), QString(12, u' '));
        QCOMPARE(enc(QStringLiteral("1"), 12, "CB12"), QString(11, u' ') + QStringLiteral("1"));
    }

    void percentageOrLetterC()
    {
        // the first child's box 7: a percentage as an amount, or the letter "C" as a text
        QCOMPARE(enc(QStringLiteral("50.00"), 16, "VC"), QString(11, u' ') + QStringLiteral("50,00"));
        QCOMPARE(enc(QStringLiteral("100"), 8, "VC"), QStringLiteral("  100,00"));
        QCOMPARE(enc(QStringLiteral("C"), 16, "VC"), QStringLiteral("C") + ph(15));
        QCOMPARE(enc(QStringLiteral(" c "), 4, "VC"), QStringLiteral("C") + ph(3));
        QCOMPARE(enc(QString(), 16, "VC"), QString());
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("CC"), 16, "VC"));
    }

    void numberCodes()
    {
        QCOMPARE(enc(QString(), 11, "CN", "O@"), QString(11, u'0'));
        QCOMPARE(enc(QString(), 11, "CN", "@@"), ph(11));
        QCOMPARE(enc(QStringLiteral("80012345678"), 11, "CN", "O@"), QStringLiteral("80012345678"));
        QCOMPARE(enc(QStringLiteral("42"), 5, "NF"), QStringLiteral("00042"));
        QCOMPARE(enc(QStringLiteral("42"), 6, "NP"), QStringLiteral("    42"));
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("42"), 6, "ZZ")); // an unknown code is no right-alignment
        QCOMPARE(enc(QStringLiteral("7"), 6, "N3"), QStringLiteral("   007"));
        QCOMPARE(enc(QString(), 6, "N3"), QString());
        QCOMPARE(enc(QStringLiteral("7"), 16, "N11"), QStringLiteral("     00000000007"));
        QCOMPARE(enc(QString(), 2, "N2"), QStringLiteral("00"));
        QCOMPARE(enc(QStringLiteral("1"), 4, "N2"), QStringLiteral("  01"));
        QCOMPARE(enc(QStringLiteral("  "), 3, "ND"), QStringLiteral("  0"));
        QCOMPARE(enc(QStringLiteral("12"), 3, "ND"), QStringLiteral(" 12"));
        // a number that does not fit is refused rather than cut
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("123456"), 5, "NF"));
    }

    void amountsGetTwoDecimalsAndAComma()
    {
        QCOMPARE(enc(QStringLiteral("1234.5000"), 16, "VP"), QString(9, u' ') + QStringLiteral("1234,50"));
        QCOMPARE(enc(QStringLiteral("0.0050"), 8, "VP"), QStringLiteral("    0,01"));
        QCOMPARE(enc(QStringLiteral("-12.3450"), 8, "VP"), QStringLiteral("  -12,35"));
        QCOMPARE(enc(QStringLiteral("0.0000"), 8, "VP"), QString()); // zero is not written
        QCOMPARE(enc(QStringLiteral("0.0040"), 8, "VP"), QString());
        QVERIFY_THROWS_EXCEPTION(EOvError, enc(QStringLiteral("dodici"), 8, "VP"));
        // the amount's text is the program's amount text with two decimals, halves and signs included
        for (const qint64 units : {qint64(0), qint64(49), qint64(50), qint64(-50), qint64(-49), qint64(12345000),
                                   qint64(-12345), qint64(99995), qint64(-99995), qint64(1), qint64(-1),
                                   std::numeric_limits<qint64>::max() / 2, -(std::numeric_limits<qint64>::max() / 2)}) {
            const Currency c = Currency::fromUnits(units);
            QCOMPARE(VelFileText::amountText(c), TorImporti::testo(c, 2, TorImporti::Migliaia::Nessuno));
        }
    }

    // ---------------------------------------------------------------- one byte per character
    void supplyTextKeepsOneBytePerCharacter()
    {
        using VelFileText::supplyText;
        QCOMPARE(supplyText(QStringLiteral("NICOLÒ DANNA")), QStringLiteral("NICOLÒ DANNA")); // Windows-1252 has it
        // typographic quotes and dashes: the plain ones; the code page's other
        // signs, which the layout does not allow: blanks; the placeholder: an apostrophe
        QCOMPARE(supplyText(QStringLiteral("D’ANNA – “VIA” N° 3 € D`ORIA")), QStringLiteral("D'ANNA - \"VIA\" N. 3   D'ORIA"));
        QCOMPARE(supplyText(QStringLiteral("NICOLO\u0300")), QStringLiteral("NICOLÒ"));      // decomposed → one letter
        QCOMPARE(supplyText(QStringLiteral("ŐRSÉG")), QStringLiteral("ORSÉG"));              // unaccented form
        QCOMPARE(supplyText(QStringLiteral("ŁUKASZ")), QStringLiteral("LUKASZ"));            // a stroke letter: its plain letter
        QCOMPARE(supplyText(QStringLiteral("ROSSI\r\nMARIO\t")), QStringLiteral("ROSSI  MARIO "));
        QCOMPARE(supplyText(QString::fromUcs4(U"A\U0001F600B", 3)), QStringLiteral("A?B")); // outside the BMP
        const QByteArray bytes = VelFileText::toWin1252(QStringLiteral("NICOLÒ D’ANNA €"));
        QCOMPARE(bytes, QByteArray("NICOL\xD2 D\x92"
                                   "ANNA \x80"));
    }

    // ---------------------------------------------------------------- values
    void fixedValuesAndTheNumberOverrides()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsDip")), {{"SCUDCODFIS", QStringLiteral("RSSMRA70C05H501X")},
                                                      {"LCUDANNULLAMENTO", QStringLiteral("1")}});
        const TXMLRecordType a = tpl(TXMLFamily::A, "Record_A.xml",
                                     QStringLiteral("<SectionA>%1</SectionA>")
                                         .arg(campo(TXMLFamily::A, QStringLiteral("3"), 5, "AN", "OF", {}, {}, {},
                                                    QStringLiteral("codice-fornitura"))));
        QCOMPARE(e.ResolveFieldValue(a.sections[0].fields[0], a), QStringLiteral("CUR26"));

        const TXMLRecordType d = tpl(TXMLFamily::E, "Record_D.xml", QStringLiteral("<SectionE>%1</SectionE>").arg(headFields(TXMLFamily::E, "D")));
        const auto &f = d.sections[0].fields;
        e.setCertification(42);
        e.setModuleCounter(7);
        QCOMPARE(e.ResolveFieldValue(f[0], d), QStringLiteral("D"));
        QCOMPARE(e.recordType(), QStringLiteral("D"));
        QCOMPARE(e.ResolveFieldValue(f[2], d), QStringLiteral("1")); // D: no module counter
        QCOMPARE(e.ResolveFieldValue(f[4], d), QStringLiteral("42"));
        QCOMPARE(e.ResolveFieldValue(f[8], d), QStringLiteral("A")); // cancellation
        ws.dataSet(QStringLiteral("cdsDip")).edit();
        ws.dataSet(QStringLiteral("cdsDip")).fieldByName(QStringLiteral("LCUDSOSTITUZIONE")).setValue(QStringLiteral("1"));
        ws.dataSet(QStringLiteral("cdsDip")).post();
        QCOMPARE(e.ResolveFieldValue(f[8], d), QStringLiteral("S")); // substitution wins

        const TXMLRecordType c = tpl(TXMLFamily::E, "Record_C.xml", QStringLiteral("<SectionE>%1</SectionE>").arg(headFields(TXMLFamily::E, "C")));
        QCOMPARE(e.ResolveFieldValue(c.sections[0].fields[2], c), QStringLiteral("7")); // C: the counter
        QCOMPARE(e.ResolveFieldValue(c.sections[0].fields[4], c), QStringLiteral("0")); // C: no certification

        const TXMLRecordType b = tpl(TXMLFamily::B, "Record_B.xml",
                                     QStringLiteral("<SectionB>%1%2</SectionB>")
                                         .arg(campo(TXMLFamily::B, QStringLiteral("8"), 16, "CF", "OF", {}, {}, {}, QStringLiteral("produttore")),
                                              campo(TXMLFamily::B, QStringLiteral("25"), 1, "NF", "OF", {}, {}, {}, QStringLiteral("quadro-ct"))));
        e.setSoftwareProducer(QStringLiteral("01234567890"));
        e.setQuadroCT(true);
        QCOMPARE(e.ResolveFieldValue(b.sections[0].fields[0], b), QStringLiteral("01234567890"));
        QCOMPARE(e.ResolveFieldValue(b.sections[0].fields[1], b), QStringLiteral("1"));
        e.setQuadroCT(false);
        QCOMPARE(e.ResolveFieldValue(b.sections[0].fields[1], b), QStringLiteral("0"));
    }

    void eachFamilyReadsItsOwnDatasets()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsForn")), {{"SFORCODFIS", QStringLiteral("FORNITORE")}});
        addRow(ws.dataSet(QStringLiteral("cdsSost")), {{"SSOSCODFIS", QStringLiteral("SOSTITUTO")}, {"SSOSEVECC", QStringLiteral("0")}});
        addRow(ws.dataSet(QStringLiteral("cdsDip")), {{"SCUDCODFIS", QStringLiteral("DIPENDENTE")}});
        addRow(ws.dataSet(QStringLiteral("cdsQuadroCT")), {{"SCTCODFIS", QStringLiteral("QUADROCT")}});
        addRow(ws.dataSet(QStringLiteral("cdsAutSe")), {{"SCAUCODICE", QStringLiteral("A")}});
        const auto one = [&](TXMLFamily fam, const char *file, const char *info, const QString &cds, const QString &col) {
            const QString f = xmlFamilyName(fam);
            const TXMLRecordType r = tpl(fam, file, QStringLiteral("<Section%1>%2</Section%1>")
                                                        .arg(f, campo(fam, QStringLiteral("DA001001"), 16, "AN", info, cds, col)));
            return e.ResolveFieldValue(r.sections[0].fields[0], r);
        };
        // A: the supplier only
        QCOMPARE(one(TXMLFamily::A, "Record_A.xml", "O@", QStringLiteral("cdsForn"), QStringLiteral("SFORCODFIS")), QStringLiteral("FORNITORE"));
        QCOMPARE(one(TXMLFamily::A, "Record_A.xml", "O@", QStringLiteral("cdsSost"), QStringLiteral("SSOSCODFIS")), QString());
        QCOMPARE(one(TXMLFamily::A, "Record_A.xml", "T@", QStringLiteral("cdsForn"), QStringLiteral("SFORCODFIS")), QString());
        // B: the withholding agent; "@@" turns null, empty and "0" into "0"
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@@", QStringLiteral("cdsSost"), QStringLiteral("SSOSCODFIS")), QStringLiteral("SOSTITUTO"));
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@@", QStringLiteral("cdsSost"), QStringLiteral("SSOSEVECC")), QStringLiteral("0"));
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@@", QStringLiteral("cdsSost"), QStringLiteral("SCARCODICE")), QStringLiteral("0"));
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@@", QString(), QString()), QString());
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@1", QStringLiteral("cdsSost"), QStringLiteral("SSOSCODFIS")), QStringLiteral("1"));
        QCOMPARE(one(TXMLFamily::B, "Record_B.xml", "@1", QStringLiteral("cdsSost"), QStringLiteral("SSOSEVECC")), QStringLiteral("0"));
        // E: the agent when named, else the certification; C records read the Quadro CT
        QCOMPARE(one(TXMLFamily::E, "Record_D.xml", "@@", QStringLiteral("cdsSost"), QStringLiteral("SSOSCODFIS")), QStringLiteral("SOSTITUTO"));
        QCOMPARE(one(TXMLFamily::E, "Record_D.xml", "@@", QStringLiteral("cdsInps"), QStringLiteral("SCUDCODFIS")), QStringLiteral("DIPENDENTE"));
        QCOMPARE(one(TXMLFamily::E, "Record_D.xml", "@@", QString(), QStringLiteral("SCUDCODFIS")), QString());
        QCOMPARE(one(TXMLFamily::E, "Record_C.xml", "@@", QStringLiteral("cdsSost"), QStringLiteral("SCTCODFIS")), QStringLiteral("QUADROCT"));
        // H: agent, certification, self-employment entry; nothing else
        QCOMPARE(one(TXMLFamily::H, "Record_H.xml", "@@", QStringLiteral("cdsAutSe"), QStringLiteral("SCAUCODICE")), QStringLiteral("A"));
        QCOMPARE(one(TXMLFamily::H, "Record_H.xml", "@@", QStringLiteral("cdsForn"), QStringLiteral("SFORCODFIS")), QString());
        QCOMPARE(one(TXMLFamily::H, "Record_H.xml", "A@", QStringLiteral("cdsAutSe"), QStringLiteral("SCAUCODICE")), QString());
        // a column the dataset lacks is a template error naming the field
        try {
            one(TXMLFamily::E, "Record_D.xml", "@@", QStringLiteral("cdsDip"), QStringLiteral("NONESISTE"));
            QFAIL("no error");
        } catch (const EOvError &err) {
            QVERIFY2(err.message().contains(QStringLiteral("NONESISTE")) && err.message().contains(QStringLiteral("Record_D.xml")),
                     qPrintable(err.message()));
        }
    }

    void numbersAreTruncatedAndRounded()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        TClientDataSet &dip = ws.dataSet(QStringLiteral("cdsDip"));
        addRow(dip, {{"fCudRitIrpef", QVariant::fromValue(Currency::parse(u"1234.99").value())},
                     {"FCUDREDDPENS", QVariant::fromValue(Currency::parse(u"1234.5").value())},
                     {"FCUDALTREDDASS", QVariant::fromValue(Currency::parse(u"0.3").value())},
                     {"FCUDASSPERCON", QVariant::fromValue(Currency::parse(u"-0.3").value())},
                     {"FCUDREDDFRANCHI", QVariant::fromValue(Currency::parse(u"-2.7").value())},
                     {"FCUDCMPCORIPPICHE", QVariant::fromValue(Currency::parse(u"-1234.5").value())},
                     {"SCUDCOGNOME", QStringLiteral("ABCDEFGH")}});
        const auto g = [&](const char *info, const char *column) {
            const TXMLRecordType r = tpl(TXMLFamily::G, "Record_G.xml",
                                         QStringLiteral("<SectionG Cds=\"cdsDip\" Repeat=\"NO\">%1</SectionG>")
                                             .arg(campo(TXMLFamily::G, QStringLiteral("DB001001"), 16, "NP", info, {}, QLatin1String(column))));
            return e.ResolveFieldValue(r.sections[0].fields[0], r, &r.sections[0]);
        };
        QCOMPARE(g("T@", "fCudRitIrpef"), QStringLiteral("1234"));
        QCOMPARE(g("A@", "FCUDREDDPENS"), QStringLiteral("1235"));
        QCOMPARE(g("A@", "fCudRitIrpef"), QStringLiteral("1235"));
        QCOMPARE(g("A1", "FCUDALTREDDASS"), QStringLiteral("1"));
        QCOMPARE(g("A1", "FCUDASSPERCON"), QStringLiteral("-1"));
        QCOMPARE(g("A1", "FCUDREDDFRANCHI"), QStringLiteral("-2"));
        QCOMPARE(g("A1", "FCUDREDDPENS"), QStringLiteral("1235"));
        QCOMPARE(g("A@", "FCUDCMPCORIPPICHE"), QStringLiteral("-1234"));
        QCOMPARE(g("4/", "SCUDCOGNOME"), QStringLiteral("ABCD"));
        QCOMPARE(g("/2", "SCUDCOGNOME"), QStringLiteral("GH"));
        QCOMPARE(g("4/", "SCUDNOME"), QString());
        QCOMPARE(g("@@", "FCUDREDDPENS"), QStringLiteral("1234.5000"));
        QVERIFY_THROWS_EXCEPTION(EOvError, g("T@", "SCUDCOGNOME")); // not a number
    }

    void computedFieldsOfRecordG()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        e.setDefaultInpsMatricola(QStringLiteral("1234567890"));
        TClientDataSet &inps = ws.dataSet(QStringLiteral("cdsInps"));
        Values months;
        const char *names[] = {"LCUDGENNAIO", "LCUDFEBBRAIO", "LCUDMARZO", "LCUDAPRILE", "LCUDMAGGIO", "LCUDGIUGNO",
                               "LCUDLUGLIO", "LCUDAGOSTO", "LCUDSETTEMBRE", "LCUDOTTOBRE", "LCUDNOVEMBRE", "LCUDDICEMBRE"};
        for (int i = 0; i < 12; ++i)
            months.append({names[i], i < 2 ? QStringLiteral("X") : QStringLiteral("0")});
        addRow(inps, months);
        addRow(ws.dataSet(QStringLiteral("cdsInpdap")), {{"SCUDGESASS_2", QStringLiteral("2XY7")}});
        addRow(ws.dataSet(QStringLiteral("cdsCoopArt")), {{"ICUDCAMESEDAL", 3}, {"ICUDCAANNODAL", 2025}, {"ICUDCAMESEAL", 0}, {"ICUDCAANNOAL", 2025}});
        addRow(ws.dataSet(QStringLiteral("cdsConFamCar")), {{"LCUDRELPARPRIFIGL", QStringLiteral("0")},
                                                            {"LCUDRELPARPRIFIGLDIS", QStringLiteral("1")},
                                                            {"LCUDRELPARNONASCEND", QStringLiteral("1")},
                                                            {"SCUDDETRSPETTPRIFIGL", QStringLiteral("C")}});
        // the rule is the template's (Calc), whatever the code and the caption
        const auto g = [&](const QString &sectionCds, const QString &column, const QString &calc) {
            const TXMLRecordType r = tpl(TXMLFamily::G, "Record_G.xml",
                                         QStringLiteral("<SectionG Cds=\"%1\" Repeat=\"NO\">%2</SectionG>")
                                             .arg(sectionCds, campo(TXMLFamily::G, QStringLiteral("DC001999"), 16, "AN", "@@", {},
                                                                    column, {}, calc)));
            return e.ResolveFieldValue(r.sections[0].fields[0], r, &r.sections[0]);
        };
        QCOMPARE(g(QStringLiteral("cdsInps"), QStringLiteral("SCUDMATRAZIENDA"), QStringLiteral("matricola-inps")), QStringLiteral("1234567890"));
        QCOMPARE(g(QStringLiteral("cdsinps"), QStringLiteral("LCUDGENNAIO"), QStringLiteral("mesi:LCUD*")), QStringLiteral("110000000000"));
        QCOMPARE(g(QStringLiteral("cdsInps"), QStringLiteral("LCUDGENNAIO_C"), QStringLiteral("mesi:LCUD*_C")), QString()); // no month ticked
        QCOMPARE(g(QStringLiteral("cdsInpdap"), QStringLiteral("SCUDGESASS_2"), QStringLiteral("carattere:1")), QStringLiteral("2"));
        QCOMPARE(g(QStringLiteral("cdsInpdap"), QStringLiteral("SCUDGESASS_2"), QStringLiteral("carattere:4")), QStringLiteral("7"));
        QCOMPARE(g(QStringLiteral("cdsInpdap"), QStringLiteral("SCUDGESASS_2"), QStringLiteral("carattere:9")), QString());
        QCOMPARE(g(QStringLiteral("cdsCoopArt"), QStringLiteral("ICUDCAMESEDAL"), QStringLiteral("mese-anno:ICUDCAMESEDAL;ICUDCAANNODAL")), QStringLiteral("032025"));
        QCOMPARE(g(QStringLiteral("cdsCoopArt"), QStringLiteral("ICUDCAMESEAL"), QStringLiteral("mese-anno:ICUDCAMESEAL;ICUDCAANNOAL")), QString());
        QCOMPARE(g(QStringLiteral("cdsConFamCar"), QStringLiteral("LCUDRELPARPRIFIGL"),
                   QStringLiteral("lettera:F=LCUDRELPARPRIFIGL;D=LCUDRELPARPRIFIGLDIS")), QStringLiteral("D"));
        QCOMPARE(g(QStringLiteral("cdsConFamCar"), QStringLiteral("LCUDRELPARFIGL"),
                   QStringLiteral("lettera:F=LCUDRELPARFIGL;D=LCUDRELPARFIGLDIS;G=LCUDRELPARFIGLALTRFAM;P=LCUDRELPARNONASCEND")), QStringLiteral("P"));
        QCOMPARE(g(QStringLiteral("cdsConFamCar"), QStringLiteral("SCUDDETRSPETTPRIFIGL"), QStringLiteral("tranne-C")), QString());
        QCOMPARE(g(QStringLiteral("cdsConFamCar"), QStringLiteral("SCUDDETRSPETTPRIFIGL"), QStringLiteral("solo-C")), QStringLiteral("C"));
        // a field without a rule reads its column, whatever its code
        QCOMPARE(g(QStringLiteral("cdsInpdap"), QStringLiteral("SCUDGESASS_2"), {}), QStringLiteral("2XY7"));
        // without INPS rows there is no company number to default to
        inps.emptyDataSet();
        QCOMPARE(g(QStringLiteral("cdsInps"), QStringLiteral("SCUDMATRAZIENDA"), QStringLiteral("matricola-inps")), QString());
    }

    // Every entry of a template is read into its types when loaded: what is
    // not known is refused there, naming the file and the line.
    void malformedEntriesAreRefusedWhenLoaded_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        const auto g = [](const char *format, const char *info, const QString &calc = {}) {
            return QStringLiteral("<SectionG Cds=\"cdsDip\">%1</SectionG>")
                .arg(campo(TXMLFamily::G, QStringLiteral("DB001001"), 16, format, info, {}, QStringLiteral("X"), {}, calc));
        };
        const auto row = [](const char *name, TXMLFamily fam, const char *file, const QString &body, const char *message) {
            QTest::newRow(name) << int(fam) << QString::fromLatin1(file) << body << QString::fromUtf8(message);
        };
        row("unknown format", TXMLFamily::G, "Record_G.xml", g("ZZ", "@@"), "formato sconosciuto \"ZZ\"");
        row("unknown Info", TXMLFamily::G, "Record_G.xml", g("AN", "Q@"), "regola Info sconosciuta \"Q@\"");
        row("unknown Calc", TXMLFamily::G, "Record_G.xml", g("AN", "@@", QStringLiteral("mesii:LCUD*")),
            "regola Calc sconosciuta \"mesii\"");
        row("Calc without its argument", TXMLFamily::G, "Record_G.xml", g("AN", "@@", QStringLiteral("mesi")),
            "vuole un argomento");
        row("Calc with an argument it takes not", TXMLFamily::G, "Record_G.xml",
            g("AN", "@@", QStringLiteral("matricola-inps:X")), "non vuole argomenti");
        row("month series without its place of the month", TXMLFamily::G, "Record_G.xml",
            g("AN", "@@", QStringLiteral("mesi:LCUDGENNAIO")), "argomento non valido");
        row("letter rule malformed", TXMLFamily::G, "Record_G.xml", g("AN", "@@", QStringLiteral("lettera:FF=LCUDX")),
            "argomento non valido");
        row("character not a position", TXMLFamily::G, "Record_G.xml", g("AN", "@@", QStringLiteral("carattere:0")),
            "argomento non valido");
        row("rule of another record", TXMLFamily::B, "Record_B.xml",
            QStringLiteral("<SectionB>%1</SectionB>").arg(campo(TXMLFamily::B, QStringLiteral("3"), 8, "NF", "OF", {}, {}, {}, QStringLiteral("modulo"))),
            "non è di questo record");
        row("module counter in record D", TXMLFamily::E, "Record_D.xml",
            QStringLiteral("<SectionE>%1</SectionE>").arg(campo(TXMLFamily::E, QStringLiteral("3"), 8, "NF", "OF", {}, {}, {}, QStringLiteral("modulo"))),
            "non è di questo record");
        row("count of no record type", TXMLFamily::Z, "Record_Z.xml",
            QStringLiteral("<SectionZ>%1</SectionZ>").arg(campo(TXMLFamily::Z, QStringLiteral("4"), 9, "NF", "OF", {}, {}, {}, QStringLiteral("conteggio:Q"))),
            "argomento non valido");
        row("first row not a number", TXMLFamily::G, "Record_G.xml",
            QStringLiteral("<SectionG Cds=\"cdsConFamCar\" Repeat=\"YES\" FirstRow=\"60x\">%1</SectionG>")
                .arg(campo(TXMLFamily::G, QStringLiteral("DBXXX002"), 16, "CF", "@@", {}, QStringLiteral("SCUDCODFISFIGL"))),
            "FirstRow non valido \"60x\"");
    }

    void malformedEntriesAreRefusedWhenLoaded()
    {
        QFETCH(int, family);
        QFETCH(QString, file);
        QFETCH(QString, body);
        QFETCH(QString, message);
        try {
            tpl(TXMLFamily(family), qPrintable(file), body);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(file) && e.message().contains(QStringLiteral("riga ")) && e.message().contains(message),
                     qPrintable(e.message()));
        }
    }

    void familyGFailsOnAnUnknownSection()
    {
        VelFileWorkspace ws;
        const TXMLRecordType r = tpl(TXMLFamily::G, "Record_G.xml",
                                     QStringLiteral("<SectionG Cds=\"cdsNonCe\" Repeat=\"NO\">%1</SectionG>")
                                         .arg(campo(TXMLFamily::G, QStringLiteral("DB001001"), 16, "AN", "@@", {}, QStringLiteral("X"))));
        try {
            ws.engine().ResolveFieldValue(r.sections[0].fields[0], r, &r.sections[0]);
            QFAIL("no error");
        } catch (const EAssertionFailed &e) {
            QCOMPARE(e.message(), QStringLiteral("Sezione non trovata cdsNonCe"));
        }
    }

    // ---------------------------------------------------------------- field rows
    void fieldRowsFollowTheEncodeAndSkipRules()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsDip")), {{"SCUDCODFIS", QStringLiteral("RSSMRA70C05H501X")}});
        const TXMLRecordType d = tpl(TXMLFamily::E, "Record_D.xml",
                                     QStringLiteral("<SectionE>%1%2%3%4%5%6</SectionE>")
                                         .arg(headFields(TXMLFamily::E, "D"),
                                              campo(TXMLFamily::E, QStringLiteral("DA002001"), 16, "CF", "@@", QStringLiteral("cdsDip"), QStringLiteral("SCUDCODFIS")),
                                              campo(TXMLFamily::E, QStringLiteral("DA002002"), 16, "AN", "@@", QStringLiteral("cdsDip"), QStringLiteral("SCUDCOGNOME")),
                                              campo(TXMLFamily::E, QStringLiteral("DA002030"), 16, "CN", "O@", QStringLiteral("cdsDip"), QStringLiteral("SCUDCODFISRAPPR")),
                                              campo(TXMLFamily::E, QStringLiteral("DA002031"), 16, "CN", "@@", QStringLiteral("cdsDip"), QStringLiteral("SCUDCODFISRAPPR")),
                                              campo(TXMLFamily::E, QStringLiteral("DA003001"), 16, "DT", "@@", QStringLiteral("cdsDip"), QStringLiteral("DCUDDATIANADATA"))));
        e.setProgressive(3);
        e.setCertification(3);
        e.WriteAllSections(d);
        const QStringList rows = fieldRows(ws);
        // 11 head rows, the tax code, the "O@" zeros; no surname, no "@@" CN, no date
        QCOMPARE(rows.size(), 13);
        QCOMPARE(rows[0], QStringLiteral("D"));
        QCOMPARE(rows[4], QStringLiteral("00003"));
        QCOMPARE(rows[8], QStringLiteral("`")); // blank head field keeps its place
        QCOMPARE(rows[11], QStringLiteral("DA002001RSSMRA70C05H501X"));
        QCOMPARE(rows[12], QStringLiteral("DA002030") + QString(16, u'0'));
        QCOMPARE(ws.fieldTable().valueAt(0, 1).toString(), QStringLiteral("000000000000000003"));
        QCOMPARE(ws.fieldTable().valueAt(0, 0).toString(), QStringLiteral("D"));
    }

    void amountsAreReadTypedAndColumnsFollowTheirDataset()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        TClientDataSet &dip = ws.dataSet(QStringLiteral("cdsDip"));
        const TXMLRecordType g =
            tpl(TXMLFamily::G, "Record_G.xml",
                QStringLiteral("<SectionG Text=\"intestazione record\" Cds=\"\">%1</SectionG>"
                               "<SectionG Text=\"Dati\" Repeat=\"NO\" Cds=\"cdsDip\">%2%3</SectionG>")
                    .arg(headFields(TXMLFamily::G, "G"),
                         campo(TXMLFamily::G, QStringLiteral("DB001001"), 16, "VP", "@@", {}, QStringLiteral("FCUDREDDDETR")),
                         campo(TXMLFamily::G, QStringLiteral("DB001002"), 16, "AN", "@@", {}, QStringLiteral("SCUDCOGNOME"))));
        const TXMLSectionType &data = g.sections[1];
        auto amountRow = [&](const QVariant &v) {
            dip.emptyDataSet();
            addRow(dip, {{"FCUDREDDDETR", v}, {"SCUDCOGNOME", QStringLiteral("ROSSI")}});
            ws.fieldTable().emptyDataSet();
            e.WriteSection(g, data);
            const QStringList rows = fieldRows(ws);
            return rows.size() == 2 ? rows[0] : rows.size() == 1 ? QString() : QStringLiteral("?");
        };
        QCOMPARE(amountRow(money("1234.5")), QStringLiteral("DB001001") + QString(9, u' ') + QStringLiteral("1234,50"));
        QCOMPARE(amountRow(money("-0.3")), QStringLiteral("DB001001") + QString(11, u' ') + QStringLiteral("-0,30"));
        QCOMPARE(amountRow(money("0.0049")), QString()); // rounds to zero: not written
        QCOMPARE(amountRow(money("0")), QString());
        QCOMPARE(amountRow(QVariant()), QString());

        // the same dataset given its columns in another order: the field
        // reads its own column, not the one at the index it found before
        dip.close();
        QList<TFieldDef> defs = dip.fieldDefs();
        std::reverse(defs.begin(), defs.end());
        dip.setFieldDefs(defs);
        dip.createDataSet();
        QCOMPARE(amountRow(money("7")), QStringLiteral("DB001001") + QString(12, u' ') + QStringLiteral("7,00"));
        QCOMPARE(fieldRows(ws).value(1), QStringLiteral("DB001002ROSSI") + ph(11));
    }

    void longValuesContinueInFurtherSlots()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        e.setProgressive(1);
        const QString forty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ");
        QCOMPARE(forty.size(), 40);
        const TXMLRecordType d = tpl(TXMLFamily::E, "Record_D.xml", QStringLiteral("<SectionE>%1</SectionE>")
                                                                        .arg(campo(TXMLFamily::E, QStringLiteral("DA002002"), 16, "AN", "@@")));
        e.SplitLongValue(forty, d.sections[0].fields[0], TXMLFamily::E);
        QCOMPARE(fieldRows(ws), QStringList({QStringLiteral("DA002002ABCDEFGHIJKLMNOP"),
                                             QStringLiteral("DA002002+QRSTUVWXYZ01234"),
                                             QStringLiteral("DA002002+56789WXYZ") + ph(6)}));
        // trailing blanks of a part go before it is encoded
        ws.fieldTable().emptyDataSet();
        e.SplitLongValue(QStringLiteral("ABCDEFGHIJKLMN  OPQ"), d.sections[0].fields[0], TXMLFamily::E);
        QCOMPARE(fieldRows(ws), QStringList({QStringLiteral("DA002002ABCDEFGHIJKLMN") + ph(2),
                                             QStringLiteral("DA002002+OPQ") + ph(12)}));
        // a value as long as the field is written once
        ws.fieldTable().emptyDataSet();
        e.SplitLongValue(forty.left(16), d.sections[0].fields[0], TXMLFamily::E);
        QCOMPARE(fieldRows(ws).size(), 1);
    }

    void rowNumbersReplaceTheMiddleOfTheCode()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsConFamCar")), {{"SCUDCODFISFIGL", QStringLiteral("FGLFGL10A01H501Z")}});
        const TXMLRecordType g = tpl(TXMLFamily::G, "Record_G.xml",
                                     QStringLiteral("<SectionG Cds=\"cdsConFamCar\" Repeat=\"YES\">%1%2%3</SectionG>")
                                         .arg(campo(TXMLFamily::G, QStringLiteral("DB602001"), 16, "AN", "OF", {}, {}, QStringLiteral("F")),
                                              campo(TXMLFamily::G, QStringLiteral("DBXXX002"), 16, "CF", "@@", {}, QStringLiteral("SCUDCODFISFIGL")),
                                              campo(TXMLFamily::G, QStringLiteral("DBXXX001"), 16, "AN", "O@", QStringLiteral("cdsConFamCar"), QStringLiteral("LCUDRELPARFIGL"),
                                                    {}, QStringLiteral("lettera:F=LCUDRELPARFIGL;D=LCUDRELPARFIGLDIS"))));
        const auto &s = g.sections[0];
        e.WriteFieldRow(QStringLiteral("F"), s.fields[0], TXMLFamily::G, 3);
        e.WriteSection(g, s, 604);
        QCOMPARE(fieldRows(ws), QStringList({QStringLiteral("DB003001F") + ph(15),
                                             QStringLiteral("DB604001F") + ph(15),
                                             QStringLiteral("DB604002FGLFGL10A01H501Z")}));
        // a worked-out relationship with "O@" and no relationship is not written at all
        QCOMPARE(fieldRows(ws).filter(QStringLiteral("DB604001")).size(), 1);
    }

    void familySkipRulesDiffer()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        const TXMLRecordType g = tpl(TXMLFamily::G, "Record_G.xml",
                                     QStringLiteral("<SectionG Repeat=\"NO\">%1%2</SectionG>")
                                         .arg(campo(TXMLFamily::G, QStringLiteral("DB001900"), 16, "AN", "OF"),
                                              campo(TXMLFamily::G, QStringLiteral("DB001901"), 16, "AN", "OF", {}, QStringLiteral("X"))));
        // G: a placeholder counts as content, unless the field reads no column
        e.WriteFieldRow(QString(), g.sections[0].fields[0], TXMLFamily::G, 0);
        e.WriteFieldRow(QString(), g.sections[0].fields[1], TXMLFamily::G, 0);
        QCOMPARE(fieldRows(ws), QStringList({QStringLiteral("DB001901") + ph(16)}));
        // E: all blank is not written; H: only an empty text is skipped
        ws.fieldTable().emptyDataSet();
        const TXMLRecordType h = tpl(TXMLFamily::H, "Record_H.xml", QStringLiteral("<SectionH>%1%2</SectionH>")
                                                                        .arg(campo(TXMLFamily::H, QStringLiteral("AU001001"), 16, "AN", "OF"),
                                                                             campo(TXMLFamily::H, QStringLiteral("AU001002"), 16, "CB", "OF")));
        e.WriteFieldRow(QString(), h.sections[0].fields[0], TXMLFamily::H, 0);
        e.WriteFieldRow(QStringLiteral("0"), h.sections[0].fields[1], TXMLFamily::H, 0);
        e.WriteFieldRow(QString(), h.sections[0].fields[0], TXMLFamily::E, 0);
        QCOMPARE(fieldRows(ws), QStringList({QStringLiteral("AU001001") + ph(16)}));
    }

    // ---------------------------------------------------------------- assembly
    void aCertificationThatOverflowsRepeatsItsHead()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsSost")), {{"SSOSCODFIS", QStringLiteral("80012345678")}});
        addRow(ws.dataSet(QStringLiteral("cdsDip")), {{"SCUDCODFIS", QStringLiteral("RSSMRA70C05H501X")}});
        QString fields;
        for (int i = 1; i <= 100; ++i)
            fields += campo(TXMLFamily::E, QStringLiteral("DB001%1").arg(i, 3, 10, QLatin1Char('0')), 16, "AN", "OF", {}, {},
                            QStringLiteral("V%1").arg(i));
        const TXMLRecordType d = tpl(TXMLFamily::E, "Record_D.xml",
                                     QStringLiteral("<SectionE>%1</SectionE><SectionE>%2</SectionE>").arg(headFields(TXMLFamily::E, "D"), fields));
        checkRecordLayout(d);
        e.setProgressive(7);
        e.setCertification(7);
        e.WriteAllSections(d);
        e.AssembleRecords(u'D');
        const QStringList recs = records(ws, u'D');
        QCOMPARE(recs.size(), 2);
        for (const QString &r : recs) {
            QCOMPARE(r.size(), 1898);
            QVERIFY(r.endsWith(QLatin1Char('A')));
            QVERIFY(!r.contains(QChar(VelFileText::Placeholder)));
        }
        QCOMPARE(recs[1].left(89), recs[0].left(89));
        QCOMPARE(recs[0].mid(41, 5), QStringLiteral("00007"));
        // 75 slots in the first record, the rest after the repeated head
        QCOMPARE(recs[0].mid(89, 24), QStringLiteral("DB001001V1") + QString(14, u' '));
        QCOMPARE(recs[0].mid(89 + 74 * 24, 24), QStringLiteral("DB001075V75") + QString(13, u' '));
        QCOMPARE(recs[0].mid(1889, 9), QString(8, u' ') + QStringLiteral("A"));
        QCOMPARE(recs[1].mid(89, 24), QStringLiteral("DB001076V76") + QString(13, u' '));
        QCOMPARE(recs[1].mid(89 + 25 * 24).trimmed(), QStringLiteral("A"));
        // both carry the certification number in the record table
        TClientDataSet &t = ws.recordTable();
        for (int r = 0; r < t.recordCount(); ++r) {
            QCOMPARE(t.valueAt(r, 3).toLongLong(), 7LL);
            QCOMPARE(t.valueAt(r, 1).toString(), QStringLiteral("000000000000000007"));
            // the record as the file's bytes, one a character
            QCOMPARE(t.valueAt(r, 2).typeId(), QMetaType::QByteArray);
            QCOMPARE(t.valueAt(r, 2).toByteArray(), VelFileText::toWin1252(recs[r]));
        }
    }

    void everyEntryStartsARecordAndNoRowsMakeNoRecord()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        addRow(ws.dataSet(QStringLiteral("cdsDip")), {{"SCUDCODFIS", QStringLiteral("RSSMRA70C05H501X")}});
        const TXMLRecordType h = tpl(TXMLFamily::H, "Record_H.xml",
                                     QStringLiteral("<SectionH>%1%2</SectionH>")
                                         .arg(headFields(TXMLFamily::H, "H"),
                                              campo(TXMLFamily::H, QStringLiteral("AU001001"), 16, "AN", "OF", {}, {}, QStringLiteral("A"))));
        // two entries of one certification share the progressive 1 and 2 of two certifications
        for (int entry : {1, 2}) {
            e.setProgressive(entry);
            e.setModuleCounter(entry);
            e.setCertification(5);
            e.WriteAllSections(h);
        }
        e.setProgressive(1);
        e.setModuleCounter(1);
        e.setCertification(6);
        e.WriteAllSections(h);
        e.AssembleRecords(u'H');
        e.AssembleRecords(u'G'); // no G rows: no G record
        e.AssembleRecords(u'C');
        const QStringList recs = records(ws, u'H');
        QCOMPARE(recs.size(), 3);
        QCOMPARE(recs[0].mid(17, 8), QStringLiteral("00000001"));
        QCOMPARE(recs[1].mid(17, 8), QStringLiteral("00000002"));
        QCOMPARE(recs[2].mid(41, 5), QStringLiteral("00006"));
        QCOMPARE(ws.recordTable().recordCount(), 3);
    }

    void positionalRecordsKeepTheirLength()
    {
        VelFileWorkspace ws;
        TVelFileUtil &e = ws.engine();
        QStringList shown;
        e.setMessageSink([&](const QString &m) { shown << m; });
        // an empty "@@" field keeps its width; a field past the end is dropped
        const TXMLRecordType z = tpl(TXMLFamily::Z, "Record_Z.xml",
                                     QStringLiteral("<SectionZ>%1%2%3</SectionZ>")
                                         .arg(campo(TXMLFamily::Z, QStringLiteral("1"), 1, "AN", "OF", {}, {}, QStringLiteral("Z")),
                                              campo(TXMLFamily::Z, QStringLiteral("2"), 1896, "AN", "OF"),
                                              campo(TXMLFamily::Z, QStringLiteral("3"), 5, "NF", "OF", {}, {}, QStringLiteral("1"))));
        e.WritePositionalRecord(z);
        QCOMPARE(shown, QStringList({QStringLiteral("Supera i 1900 caratteri")}));
        const QStringList recs = records(ws, u'Z');
        QCOMPARE(recs.size(), 1);
        QCOMPARE(recs[0].size(), 1898);
        QCOMPARE(recs[0].right(2), QStringLiteral(" A"));

        // a template too short for the record is an error, not a short line
        const TXMLRecordType shortA = tpl(TXMLFamily::A, "Record_A.xml",
                                          QStringLiteral("<SectionA>%1</SectionA>")
                                              .arg(campo(TXMLFamily::A, QStringLiteral("1"), 1, "AN", "OF", {}, {}, QStringLiteral("A"))));
        try {
            e.WritePositionalRecord(shortA);
            QFAIL("no error");
        } catch (const EOvError &err) {
            QVERIFY2(err.message().contains(QStringLiteral("Record_A.xml")), qPrintable(err.message()));
        }
    }
};

QTEST_MAIN(TstTelematicEngine)
#include "tst_telematic_engine.moc"
