// The CU's main record built from payroll figures held in memory, without a
// database: the cases the demo imports (deductions, box 6, other employers,
// periods, birth abroad) fed to the builder directly, the self-employed
// reasons' order, the message log's sections.
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/import/VelCuBuilder.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include <QTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

// One employee's figures, as the import reads them, with the defaults of a
// whole-year open-ended employee without adjustment.
struct Caso
{
    TVelImportOptions options;
    TVelPosizioniCu pos{QStringLiteral("1"), QStringLiteral("1"), QString()};
    TVelRapportoCu rapporto{1, QDate(2010, 9, 1), QDate()};
    TVelDatiLavoro lavoro;
    TVelDatiAnnotazioni note;
    TVelIntestazione testa;
};

// A field as the cases write it: amounts "1234.56", empty for zero or null.
QString campo(TClientDataSet &cu, const QString &field)
{
    const TField f = cu.fieldByName(field);
    if (f.isNull())
        return QString();
    const TFieldType type = cu.fieldDefs().at(cu.fieldIndex(field)).type;
    if (type == TFieldType::Currency)
        return f.asCurrency().isZero() ? QString() : QString::number(double(f.asCurrency().units()) / 10000.0, 'f', 2);
    if (type == TFieldType::Date)
        return f.asDate().toString(Qt::ISODate);
    return f.asString();
}

struct Riga
{
    const char *name;
    std::function<void(Caso &)> prepara;
    QList<QPair<const char *, QString>> attesi;
    QString log;   // a line the log must hold; empty: none expected
};

const QList<Riga> &righe()
{
    static const QList<Riga> r = {
        // 374 made of its items, the additional deduction apart (368 is
        // not in 367's figure: the items without it do not make the total).
        {"additional deduction apart",
         [](Caso &c) {
             auto &v = *c.lavoro.fiscali;
             v.detrazioni.detrFamiliari = money("690");
             v.detrazioni.detrLavoro = money("1960");
             v.detrazioni.detrAggiuntiva = money("100");
             v.detrazioni.detrTotale = money("2750");
         },
         {{"FCUDDEDNOTAXFAM", QStringLiteral("690.00")},
          {"FCUDDETRDIPPENSREDD", QStringLiteral("1960.00")},
          {"FCUDDETCREDRULTDETR", QStringLiteral("100.00")},
          {"FCUDTOTDETR", QStringLiteral("2750.00")}},
         {}},
        {"368 counted inside 367",
         [](Caso &c) {
             auto &v = *c.lavoro.fiscali;
             v.detrazioni.detrFamiliari = money("690");
             v.detrazioni.detrLavoro = money("2060");
             v.detrazioni.detrAggiuntiva = money("100");
             v.detrazioni.detrTotale = money("2750");
         },
         {{"FCUDDETRDIPPENSREDD", QStringLiteral("1960.00")}, {"FCUDDETCREDRULTDETR", QStringLiteral("100.00")}},
         {}},
        // A cap that binds exactly, net tax zero: the items are walked in
        // order and the last one cut to what is left.
        {"cap binds, rent cut",
         [](Caso &c) {
             auto &v = *c.lavoro.fiscali;
             v.impostaLorda = money("3258.26");
             v.impostaNetta = Currency();
             v.detrazioni.detrFamNum = money("1200");
             v.detrazioni.detrLavoro = money("1955");
             v.detrazioni.detrCanLoc = money("300");
             v.detrazioni.detrTotale = money("3455");
         },
         {{"FCUDTOTDETR", QStringLiteral("3258.26")},
          {"FCUDDETRFAMNUM", QStringLiteral("1200.00")},
          {"FCUDDETRDIPPENSREDD", QStringLiteral("1955.00")},
          {"FCUDDETRCANLOC", QStringLiteral("103.26")}},
         {}},
        // Box 6: a collaboration over two years keeps the days of the year.
        {"collaboration over two years",
         [](Caso &c) {
             c.pos = {QString(), QString(), QStringLiteral("11")};
             c.rapporto = {11, QDate(2024, 7, 1), QDate(2025, 6, 30)};
             c.lavoro.fiscali->giorni = 200;
         },
         {{"ICUDPERIODOLAV", QStringLiteral("181")}, {"FCUDREDDETTRDET", QStringLiteral("10000.00")}},
         QStringLiteral("Su dati retributivi inserito: 200, calcolato sul periodo lavorato nell'anno: 181.")},
        {"payroll days above the relationship's",
         [](Caso &c) {
             c.rapporto = {1, QDate(2025, 9, 1), QDate(2026, 8, 31)};
             c.lavoro.fiscali->giorni = 160;
         },
         {{"ICUDPERIODOLAV", QStringLiteral("122")}, {"LCUDINFORZA3112", QStringLiteral("X")}},
         QStringLiteral("Su dati retributivi: 160; nel punto 6 indicati: 122.")},
        // Other employers' income: in box 2's boxes, and their periods count.
        {"other employers in box 2",
         [](Caso &c) {
             c.rapporto = {3, QDate(2025, 1, 1), QDate(2025, 6, 30)};
             c.lavoro.fiscali->giorni = 300;
             c.lavoro.fiscali->altriSoggetti = money("2400");
         },
         {{"ICUDPERIODOLAV", QStringLiteral("300")},
          {"FCUDIMPONPTO2", QStringLiteral("2400.00")},
          {"FCUDREDDCONGP2", QStringLiteral("2400.00")},
          {"FCUDIMPONPTO1", QString()},
          {"DCUDDATFINRL", QStringLiteral("2025-06-30")}},
         QStringLiteral("Giorni per detrazioni non congruenti con i giorni di lavoro calcolati (181)")},
        {"other employers above the box",
         [](Caso &c) { c.lavoro.fiscali->altriSoggetti = money("20000"); },
         {{"FCUDIMPONPTO1", QString()}},
         QStringLiteral("non riportati nei punti 531 e 539")},
        // The periods: one paid nothing taxable says nothing.
        {"periods paid nothing are left out",
         [](Caso &c) {
             c.lavoro.fiscali->giorni = 200;
             c.note.periodi = {{QDate(2025, 1, 1), QDate(2025, 3, 31), Currency()},
                               {QDate(2025, 9, 1), QDate(2025, 9, 30), money("10")}};
         },
         {{"SCUDANNOTAZIONI",
           QStringLiteral("Conguaglio non effettuato\r\nZZ) Il presente annulla e sostituisce eventuali CUD "
                          "precedenti\r\nAI) dal:01/09/2025 al: 30/09/2025 per un importo di 10,00\r\n")}},
         {}},
        // The advance of next year's municipal surcharge: 30 % rounded.
        {"municipal surcharge advance",
         [](Caso &c) {
             c.options.ACCONTO_ADD_COM = true;
             c.lavoro.fiscali->addComDovuta = money("100.01");
         },
         {{"FCUDADDCOMSALDO", QStringLiteral("100.01")}, {"FCUDADDCOMIRPEFAC", QStringLiteral("30.00")}},
         {}},
        {"born abroad",
         [](Caso &c) {
             c.testa.comuneNascita.clear();
             c.testa.statoNascita = QStringLiteral("ROMANIA");
         },
         {{"SCUDCOMNAS", QStringLiteral("ROMANIA")}, {"SCUDPROVNAS", QStringLiteral("EE")}},
         {}},
    };
    return r;
}

} // namespace

class TstImportBuilder : public QObject
{
    Q_OBJECT

private slots:
    void builds_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < righe().size(); ++i)
            QTest::newRow(righe().at(i).name) << i;
    }
    void builds()
    {
        QFETCH(int, index);
        const Riga &riga = righe().at(index);
        Caso c;
        c.options.anno = 2025;
        c.testa = {QStringLiteral("RSSMRA75C12H199Y"), QStringLiteral("12"), QStringLiteral("ROSSI"),
                   QStringLiteral("MARIO"), true, QStringLiteral("M"), QDate(1975, 3, 12), QStringLiteral("RAVENNA"),
                   QStringLiteral("RA"), QString(), 0, false, {}, {}, {}, {}};
        c.lavoro.fiscali = TVelValoriFiscali();
        c.lavoro.fiscali->imponibile = money("10000");
        c.lavoro.fiscali->giorni = 365;
        c.lavoro.fiscali->impostaLorda = money("6000");
        c.lavoro.fiscali->impostaNetta = money("3000");
        riga.prepara(c);

        TClientDataSet cu;
        VelRecordModel::instance().createDataSet(QStringLiteral("TCUD_DATICUD"), cu);
        QStringList log;
        TVelCuBuilder b(
            cu, c.options, 2025, [&](const QString &t) { log << t; },
            [](const QString &code) { return code + QStringLiteral(") nota"); });
        cu.append();
        b.nuova(c.testa);
        b.datiLavoro(c.pos, c.rapporto, c.lavoro);
        b.annotazioni(c.pos, c.rapporto, c.note);
        for (const auto &[field, expected] : riga.attesi)
            QCOMPARE(campo(cu, QString::fromLatin1(field)), expected);
        if (!riga.log.isEmpty())
            QVERIFY2(log.join(QLatin1Char('\n')).contains(riga.log), qPrintable(log.join(QLatin1Char('\n'))));
        QVERIFY(!b.soloZeri());
    }

    // Deductions above their total are cut in order: the first items kept
    // while they fit, the one that does not is cut, the rest become 0.
    void deductionCap()
    {
        Currency a = money("300"), b, c = money("500"), d = money("200"), e = money("1");
        TVelCuBuilder::tagliaDetrazioni(money("700"), {&a, &b, &c, &d, &e});
        QCOMPARE(QList<Currency>({a, b, c, d, e}), QList<Currency>({money("300"), {}, money("400"), {}, {}}));
    }

    void periods()
    {
        using R = TVelRigaPeriodo;
        int n = 0;
        // Two spells with a gap; a register that starts the day after the
        // previous one ends continues its period.
        const QString t = TVelCuBuilder::testoPeriodi({R{QDate(2025, 1, 15), QDate(2025, 1, 31), money("1089.72")},
                                                       R{QDate(2025, 2, 1), QDate(2025, 2, 28), money("1907.01")},
                                                       R{QDate(2025, 9, 15), QDate(2025, 9, 30), money("1017.07")}},
                                                      &n);
        QCOMPARE(n, 2);
        QCOMPARE(t, QStringLiteral("dal:15/01/2025 al: 28/02/2025 per un importo di 2996,73; "
                                   "dal:15/09/2025 al: 30/09/2025 per un importo di 1017,07\r\n"));
        QCOMPARE(TVelCuBuilder::testoPeriodi({}), QString());
    }

    // Reasons A and M first, then the others in alphabetical order; only P's
    // withholding is the final tax.
    void selfEmployedReasons()
    {
        using R = TVelImpAutonomi::Registro;
        QCOMPARE(TVelImpAutonomi::causali({R{1, QStringLiteral("P")}, R{2, QStringLiteral("M")}, R{3, QStringLiteral("B")}}),
                 QStringList({QStringLiteral("A"), QStringLiteral("M"), QStringLiteral("B"), QStringLiteral("P")}));
        QVERIFY(TVelImpAutonomi::ritenutaATitoloDImposta(QStringLiteral("P")));
        QVERIFY(!TVelImpAutonomi::ritenutaATitoloDImposta(QStringLiteral("A")));
        QVERIFY(!TVelImpAutonomi::ritenutaATitoloDImposta(QStringLiteral("M")));
    }

    void messageLogSections()
    {
        TInfo info;
        info.add(0, QStringLiteral("A B"), QStringLiteral("uno"));
        info.add(0, QStringLiteral("C D"), QStringLiteral("due"));
        info.add(3, QStringLiteral("C D"), QStringLiteral("tre"));
        QCOMPARE(info.lines(), QStringList({QStringLiteral("Dipendente A B"), QStringLiteral("--- Sezione fiscale"),
                                            QStringLiteral("- uno"), QString(), QStringLiteral("Dipendente C D"),
                                            QStringLiteral("- due"), QString(), QStringLiteral("--- Dati autonomo"),
                                            QStringLiteral("- tre")}));
    }
};

QTEST_GUILESS_MAIN(TstImportBuilder)
#include "tst_import_builder.moc"
