// The coherence check of the stored CUs on the demo school, on both engines:
// one hand-made fault per rule (a demo CU with one value changed gives
// exactly that finding), the demo's own result, the payroll that cannot be
// read, the command line and the window (its list, its print).
#include "support/PdfWords.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/framework/OvMessages.h"
#include "src/prj/unit/check/VelCoherence.h"
#include "src/prj/unit/dialogs/TfmVelCoerenza.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QDate>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Rule = TVelCoherenceRule;

// Every box answered by default: the import of the whole demo asks nothing
// the check depends on.
class Quiet : public IOvMessageResponder
{
public:
    int respond(const OvMessage &msg) override
    {
        return msg.defaultButton ? msg.defaultButton : msg.buttons.value(0);
    }
};

// The findings of one payee as "rule|box", sorted; those of `skipMonth` left out.
QStringList of(const TVelCoherenceResult &r, const QString &codFis, const QString &skipMonth = QString())
{
    QStringList out;
    for (const TVelCoherenceFinding &f : r.findings)
        if (f.codFis.compare(codFis, Qt::CaseInsensitive) == 0 && (skipMonth.isEmpty() || f.month != skipMonth))
            out << QStringLiteral("%1|%2").arg(int(f.rule)).arg(f.box);
    out.sort();
    return out;
}

QString id(Rule rule, const QString &box)
{
    return QStringLiteral("%1|%2").arg(int(rule)).arg(box);
}

QList<QVariantMap> *rowsOf(TVelCoherenceInput &in, const QString &structure)
{
    if (structure == QLatin1String("cu"))
        return &in.cu;
    if (structure == QLatin1String("family"))
        return &in.family;
    if (structure == QLatin1String("autonomo"))
        return &in.autonomo;
    if (structure == QLatin1String("inpdap"))
        return &in.inpdap;
    return &in.agent;
}

const QString kEsposito = QStringLiteral("SPSGPP68A30F839J");  // open-ended, no adjustment
const QString kRinaldi = QStringLiteral("RNLSMN90E05C573Q");   // fixed-term, ended 30/06/2025
const QString kGiordano = QStringLiteral("GRDSFN81A09A662V");  // spouse and two children
const QString kMarino = QStringLiteral("MRNLCU70R19C573L");    // professional
const QString kMarchetti = QStringLiteral("MRCRNI67H66H199A"); // public pension from UniEmens
const QString kRossi = QStringLiteral("RSSMRA75C12H199Y");
const QString kPellegrini = QStringLiteral("PLLFNC58M31H199U"); // open-ended, retired 31/08/2025
const QString kBruno = QStringLiteral("BRNLSN90M09D548Q");      // occasional work, reason M
const QString kFontana = QStringLiteral("FNTGRG76A71H199Y");    // public pension from NoiPA (July) only

// A fault the check must not flag.
constexpr auto kNone = TVelCoherenceRule(-1);

} // namespace

class TstDbCoherence : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    TVelCoherenceInput m_demo;
    TVelCoherenceResult m_demoResult;

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        m_db = TestDb::open(true);
        seedStructures(*m_db, QStringLiteral("vel"), 2025);
        seedUniEmensDemo(*m_db, kMarchetti, QStringLiteral("FNTGRG76A71H199Y"));
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        m_store = TestStore::open(m_db.get());
        Quiet quiet;
        IOvMessageResponder *before = setMessageResponder(&quiet);
        {
            TVelImportCud imp(*m_store, QueryText());
            imp.setRunHost(TVelBoxRunHost::instance());
            imp.options().IDWGID = 1;
            imp.options().anno = 2025;
            imp.options().INCLUDI_INPDAP_MEF = 0; // the UniEmens declarations
            imp.setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            imp.setCartellaTabelle(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle"));
            imp.hooks().onInfo = [](const QStringList &) {};
            QVERIFY(imp.importa().count(TVelResult::Fatto) > 0);
        }
        setMessageResponder(before);
        TestStore::put(*m_store, "TCUS_DATISOST",
                       {{{"SSOSCODFIS", QStringLiteral("92017840536")},
                         {"SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI")},
                         {"SSOSCFRAPPR", kRossi}}});
        TVelCoherence check(*m_store);
        check.setPayroll(1, QueryText());
        m_demo = check.load();
        QVERIFY2(m_demo.cu.size() > 30, qPrintable(QString::number(m_demo.cu.size())));
        QVERIFY2(m_demo.payroll.has_value(), qPrintable(m_demo.payrollWhy));
        m_demoResult = TVelCoherence::check(m_demo);
        for (const QString &line : m_demoResult.lines())
            qInfo().noquote() << line;
    }

    // The demo as imported: the payroll's facts that no import changes.
    void demo()
    {
        QCOMPARE(m_demoResult.certifications, int(m_demo.cu.size()));
        QVERIFY(m_demoResult.payrollChecked);
        QStringList unpaid;
        for (const TVelCoherenceFinding &f : m_demoResult.findings) {
            QVERIFY(!f.text.isEmpty() && !f.box.isEmpty() && !f.value.isEmpty());
            if (f.rule == Rule::PagatoSenzaCu)
                unpaid << f.name;
        }
        // no tax code: paid, never certified; refunds of expenses only: not pay
        QVERIFY2(unpaid.contains(QStringLiteral("COSTA ELENA")), qPrintable(unpaid.join(QLatin1Char(','))));
        QVERIFY(!unpaid.contains(QStringLiteral("GENTILE ELISA")));
        // ROSSI's public-pension contributions (12 x 220,00) have no section 2 row
        bool rossi = false;
        for (const TVelCoherenceFinding &f : m_demoResult.findings)
            rossi = rossi
                    || (f.codFis == kRossi && f.rule == Rule::ContributiSenzaSezione && f.value == QStringLiteral("2.640,00"));
        QVERIFY(rossi);
    }

    // A finding's amount is written as the print writes amounts: the amount's
    // own digits rounded, halves away from zero (99999.015 is a hair below the
    // half as a double).
    void findingAmountsRoundAsThePrint()
    {
        TVelCoherenceInput in = m_demo;
        for (QVariantMap &r : *rowsOf(in, QStringLiteral("cu")))
            if (r.value(QStringLiteral("SCUDCODFIS")).toString() == kEsposito)
                r.insert(QStringLiteral("FCUDRITIRPEF"), QVariant::fromValue(*Currency::parse(u"99999.015")));
        QStringList values;
        for (const TVelCoherenceFinding &f : TVelCoherence::check(in).findings)
            if (f.codFis == kEsposito && f.rule == Rule::RitenuteReddito)
                values << f.value;
        QCOMPARE(values, QStringList{QStringLiteral("99.999,02")});
    }

    void oneFaultOneFinding_data()
    {
        QTest::addColumn<QString>("structure");
        QTest::addColumn<QString>("codFis");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("clean");
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("box");
        const auto money = [](const char *t) { return QVariant::fromValue(*Currency::parse(QString::fromLatin1(t))); };
        auto row = [](const char *name, const char *structure, const QString &cf, const char *field, const QVariant &v,
                      Rule rule, const char *box, const QVariant &clean = QVariant()) {
            QTest::newRow(name) << QString::fromLatin1(structure) << cf << QString::fromLatin1(field) << v << clean
                                << int(rule) << QString::fromUtf8(box);
        };
        row("days above the year", "cu", kEsposito, "ICUDPERIODOLAV", 366, Rule::GiorniAnno, "6");
        row("days above the relationship", "cu", kPellegrini, "ICUDPERIODOLAV", 300, Rule::GiorniPeriodo, "6");
        // the adjustment took in another school's income (532): its periods count too
        row("days of other employers' periods", "cu", kRinaldi, "ICUDPERIODOLAV", 300, kNone, "");
        row("other employers' income in 531, income in box 2", "cu", kRinaldi, "FCUDIMPONPTO1", money("2400"),
            Rule::RedditiAltriSostituti, "531");
        row("cessation after the year", "cu", kRinaldi, "DCUDDATFINRL", QDate(2026, 6, 30), Rule::DataFuoriAnno, "9");
        row("start after the year", "cu", kEsposito, "DCUDDATINIRL", QDate(2026, 1, 10), Rule::DataFuoriAnno, "8");
        row("start after cessation", "cu", kRinaldi, "DCUDDATINIRL", QDate(2025, 7, 15), Rule::DateInvertite, "8");
        row("in force with cessation", "cu", kRinaldi, "LCUDINFORZA3112", QStringLiteral("X"), Rule::InForza, "10");
        row("not in force, no cessation", "cu", kRinaldi, "DCUDDATFINRL", QVariant(), Rule::InForza, "10");
        row("withholding above income", "cu", kEsposito, "FCUDRITIRPEF", money("99999"), Rule::RitenuteReddito, "21");
        row("374 apart from its items", "cu", kRinaldi, "FCUDDETRDIPPENSREDD", money("1"), Rule::TotaleDetrazioni, "374");
        row("375 apart from 361 - 374", "cu", kRinaldi, "FCUDDETRIMPNETTA", money("1"), Rule::ImpostaNetta, "375");
        row("payee's check character", "cu", kEsposito, "SCUDCODFIS", QStringLiteral("SPSGPP68A30F839K"),
            Rule::CodiceFiscale, "Codice fiscale");
        row("born abroad, Italian province", "cu", QStringLiteral("PPSNIO85D62Z129K"), "SCUDPROVNAS",
            QStringLiteral("RA"), Rule::ProvinciaEstera, "7", QStringLiteral("EE"));
        row("born in Italy, province EE", "cu", kEsposito, "SCUDPROVNAS", QStringLiteral("EE"), Rule::ProvinciaEstera,
            "7");
        row("spouse's months 13", "family", kGiordano, "SCUDMESICARCON", QStringLiteral("13"), Rule::MesiFamiliari,
            "Coniuge: mesi a carico");
        row("child's months 0", "family", kGiordano, "SCUDMESICARPRIFIGL", QStringLiteral("00"), Rule::MesiFamiliari,
            "Primo figlio: mesi a carico");
        row("child's percentage 150", "family", kGiordano, "SCUDDETRSPETTPRIFIGL", QStringLiteral("150"),
            Rule::PercentualeFamiliari, "Primo figlio: percentuale");
        row("spouse's check character", "family", kGiordano, "SCUDCODFISCON", QStringLiteral("ABCDEF80A01H199A"),
            Rule::CodiceFiscale, "Coniuge: codice fiscale");
        row("self-employed withholding above taxable", "autonomo", kMarino, "FDSE7RITTITACC", money("99999"),
            Rule::RitenuteReddito, "Autonomi (causale A): ritenute");
        row("agent's check digit", "agent", QString(), "SSOSCODFIS", QStringLiteral("92017840537"), Rule::CodiceFiscale,
            "Sostituto: codice fiscale");
        row("public pension withheld, no section row", "inpdap", kMarchetti, "", QVariant(),
            Rule::ContributiSenzaSezione, "INPS Sez. 2");
        row("public pension withheld above section 2", "inpdap", kMarchetti, "FCUDCONTRPCLAVTRAT", money("100"),
            Rule::ContributiNonCertificati, "INPS Sez. 2: contributi trattenuti");
        row("occasional work, withholding as final tax", "autonomo", kBruno, "FDSE7RITTITIMP", money("160"),
            Rule::RitenutaTitoloImposta, "Autonomi (causale M): punto 10");
        row("paid payee without CU", "cu", kEsposito, "", QVariant(), Rule::PagatoSenzaCu, "Retribuzioni: pagato");
        row("a second CU in another month", "cu", kEsposito, "SCUDMESE", QStringLiteral("06"), Rule::CuDoppia, "CU");
    }

    // A demo CU (made clean in the one value where the row says so), that
    // value changed, or its row removed when no field is named, or a copy in
    // another month for "SCUDMESE": exactly the finding of the rule appears
    // (none for a value the rules must accept).
    void oneFaultOneFinding()
    {
        QFETCH(QString, structure);
        QFETCH(QString, codFis);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QVariant, clean);
        QFETCH(int, rule);
        QFETCH(QString, box);
        TVelCoherenceInput base = m_demo;
        QList<QVariantMap> *rows = rowsOf(base, structure);
        const char *codeField = structure == QLatin1String("agent") ? "SSOSCODFIS" : "SCUDCODFIS";
        int at = -1;
        for (int i = 0; i < rows->size() && at < 0; ++i)
            if (codFis.isEmpty() || rows->at(i).value(QLatin1String(codeField)).toString() == codFis)
                at = i;
        QVERIFY2(at >= 0, qPrintable(codFis));
        if (clean.isValid())
            (*rows)[at].insert(field, clean);
        const QString before = codFis.isEmpty() ? rows->at(at).value(QLatin1String(codeField)).toString() : codFis;
        TVelCoherenceInput in = base;
        rows = rowsOf(in, structure);
        QString skipMonth;
        if (field.isEmpty()) {
            rows->removeAt(at);
        } else if (field == QLatin1String("SCUDMESE")) {
            QVariantMap copy = rows->at(at);
            copy.insert(field, value);
            rows->append(copy);
            skipMonth = value.toString(); // the copy's own findings repeat the original's
        } else if (value.isValid()) {
            (*rows)[at].insert(field, value);
        } else {
            (*rows)[at].remove(field);
        }
        const QString after = QLatin1String(codeField) == field ? value.toString() : before;
        QStringList added = of(TVelCoherence::check(in), after, skipMonth);
        for (const QString &b : of(TVelCoherence::check(base), before))
            added.removeOne(b);
        QCOMPARE(added, rule < 0 ? QStringList() : QStringList{id(Rule(rule), box)});
    }

    // Payroll that cannot be read: no payroll finding, and the result says so.
    void payrollUnreachable()
    {
        TVelCoherenceInput in = m_demo;
        in.payroll.reset();
        in.payrollWhy = QStringLiteral("tabelle assenti");
        const TVelCoherenceResult r = TVelCoherence::check(in);
        QVERIFY(!r.payrollChecked);
        for (const TVelCoherenceFinding &f : r.findings)
            QVERIFY(f.rule != Rule::PagatoSenzaCu && f.rule != Rule::ContributiSenzaSezione);
        QVERIFY2(r.lines().last().contains(QStringLiteral("non controllati")), qPrintable(r.lines().last()));
        QString why;
        TVelCoherence::readPayroll({m_db.get(), &QueryText()}, 2025, 1, &why);
        QVERIFY(why.isEmpty());
    }

    // velcu-cli controlla --coerenza: the list on standard output, status 1
    // with errors, 3 with warnings only; the window: the same list, printable.
    void commandAndWindow()
    {
        QProcess cli;
        cli.start(QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli"),
                  QStringList{QStringLiteral("controlla"), QStringLiteral("--coerenza"), QStringLiteral("--anno"),
                              QStringLiteral("2025")}
                      + TestDb::cliArgs());
        QVERIFY(cli.waitForFinished(120000));
        const int status = cli.exitCode();
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        // 1 with errors, 3 with warnings only: the severity decides
        QVERIFY(!m_demoResult.findings.isEmpty());
        QCOMPARE(status, m_demoResult.errors() > 0 ? 1 : 3);
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == int(m_demoResult.findings.size()) + 1, qPrintable(err + out));
        QVERIFY2(lines.last().startsWith(QStringLiteral("CU controllati: %1.").arg(m_demoResult.certifications)),
                 qPrintable(lines.last()));
        QVERIFY(out.contains(m_demoResult.findings.first().line()));

        TfmVelCoerenza window(m_store.get(), 1);
        window.aggiorna();
        QCOMPARE(window.grElenco->rowCount(), int(m_demoResult.findings.size()));
        window.resize(1024, 700);
        window.show();
        if (const QByteArray dir = qgetenv("VELCU_SCREENSHOT_DIR"); !dir.isEmpty())
            QVERIFY(window.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/coherence-list.png")));
        QTemporaryDir tmp;
        const QString pdf = window.stampa(tmp.filePath(QStringLiteral("Coerenza-CU.pdf")));
        const QList<PdfWords::Page> pages = PdfWords::read(pdf);
        QVERIFY(!pages.isEmpty());
        QVERIFY(PdfWords::hasPhrase(pages.first(), QStringLiteral("Controllo di coerenza dei CU")));
        bool costa = false;
        for (const PdfWords::Page &page : pages)
            costa = costa || PdfWords::hasPhrase(page, QStringLiteral("COSTA ELENA"));
        QVERIFY(costa);
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
    }
};

QTEST_MAIN(TstDbCoherence)
#include "tst_db_coherence.moc"
