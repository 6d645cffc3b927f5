// The mandatory-field check on rows as the editors and the supply meet them:
// the fixed list, what counts as a value, and the rules between related fields.
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/check/VelMandatoryFields.h"

#include <QtTest>

namespace {

// A one-row dataset with the given fields (name, type) and values.
void oneRow(TClientDataSet &ds, const QList<QPair<QString, TFieldType>> &fields, const QVariantList &values)
{
    ds.close();
    ds.clearFieldDefs();
    for (const auto &[name, type] : fields)
        ds.addFieldDef(name, type, type == TFieldType::String ? 60 : 0);
    ds.createDataSet();
    ds.appendRecord(values);
}

QString check(const QList<TClientDataSet *> &sets, bool *ok = nullptr)
{
    QStringList problems;
    const bool clean = CheckMandatoryFields(problems, sets);
    if (ok)
        *ok = clean;
    return problems.join(QLatin1Char('|'));
}

const auto S = TFieldType::String;

} // namespace

class TstMandatoryFields : public QObject
{
    Q_OBJECT
private slots:
    void theFixedListHasFortyFields()
    {
        QCOMPARE(VelMandatoryFields::list().size(), 40);
        QCOMPARE(VelMandatoryFields::list().first().second, QStringLiteral("Denominazione del sostituto"));
        QCOMPARE(VelMandatoryFields::list().last().first, QStringLiteral("SPSVANNO"));
    }

    void whatCountsAsAValue()
    {
        TClientDataSet ds;
        oneRow(ds,
               {{QStringLiteral("STFOCODICE"), S},
                {QStringLiteral("SFORCODFIS"), S},
                {QStringLiteral("ISOSSEZ"), TFieldType::Integer},
                {QStringLiteral("DSOSDTNASRAPPR"), TFieldType::Date},
                {QStringLiteral("SNONINELENCO"), S}},
               {QString(), QStringLiteral("80012345678"), 0, QVariant(), QString()});
        bool ok = true;
        // In field order; 0 is a value, an empty date is not; a field outside
        // the list asks for nothing.
        QCOMPARE(check({&ds}, &ok), QStringLiteral(" - Dato obbligatorio mancante: Tipo fornitore|"
                                                    " - Dato obbligatorio mancante: Data di nascita del "
                                                    "rappresentante firmatario"));
        QVERIFY(!ok);
        ds.edit();
        ds.fieldByName(QStringLiteral("STFOCODICE")).setAsString(QStringLiteral("01"));
        ds.fieldByName(QStringLiteral("DSOSDTNASRAPPR")).setAsDate(QDate(1970, 5, 4));
        ds.post();
        QCOMPARE(check({&ds}, &ok), QString());
        QVERIFY(ok);
        // A number cleared is missing; a text of blanks is what was typed.
        ds.edit();
        ds.fieldByName(QStringLiteral("ISOSSEZ")).clear();
        ds.fieldByName(QStringLiteral("SFORCODFIS")).setAsString(QStringLiteral("   "));
        ds.post();
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Redazione della dichiarazione"));
    }

    void theRepresentativesName_data()
    {
        QTest::addColumn<QString>("denomination");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("denomination alone") << "ISTITUTO SPA" << "" << "" << "";
        QTest::newRow("denomination and surname")
            << "ISTITUTO SPA" << "ROSSI" << ""
            << " - Dati in eccesso: Nome o cognome del rappresentante della dichiarazione compilati in presenza "
               "della denominazione";
        QTest::newRow("name without surname") << "" << "  " << "MARIO"
                                               << " - Dato obbligatorio mancante: Cognome del rappresentante della "
                                                  "dichiarazione";
        QTest::newRow("surname without name") << "" << "DELL'ACQUA DE' MEDICI BELLINI" << ""
                                               << " - Dato obbligatorio mancante: Nome del rappresentante della "
                                                  "dichiarazione";
        QTest::newRow("nothing") << "" << "" << ""
                                 << " - Dato obbligatorio mancante: Denominazione o cognome e nome del "
                                    "rappresentante della dichiarazione";
        QTest::newRow("surname and name") << "" << "ROSSI" << "MARIO" << "";
    }
    void theRepresentativesName()
    {
        QFETCH(QString, denomination);
        QFETCH(QString, surname);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        TClientDataSet ds;
        oneRow(ds,
               {{QStringLiteral("SSOSDENRAPPR"), S}, {QStringLiteral("SSOSCOGNRAPPR"), S},
                {QStringLiteral("SSOSNOMERAPPR"), S}},
               {denomination, surname, name});
        QCOMPARE(check({&ds}), expected);
    }

    void theAllMonthsBoxesOfTheInpsModule()
    {
        QList<QPair<QString, TFieldType>> fields = {{QStringLiteral("FINPS7IMPONIBILE"), TFieldType::Currency},
                                                    {QStringLiteral("LINPS7INTERAMVERS"), S},
                                                    {QStringLiteral("LINPS7PARZIALVERS"), S},
                                                    {QStringLiteral("LINPS7NONVERS"), S},
                                                    {QStringLiteral("LINPS7MESIRETR"), S}};
        const QStringList months = {"GENNAIO", "FEBBRAIO", "MARZO", "APRILE", "MAGGIO", "GIUGNO", "LUGLIO",
                                    "AGOSTO", "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
        for (const QString &m : months)
            fields.append({QStringLiteral("LINPS7") + m, S});
        fields.append({QStringLiteral("FINPS7COMPDOVUTI"), TFieldType::Currency});
        fields.append({QStringLiteral("LINPS7MESIRETR_C"), S});
        for (const QString &m : months)
            fields.append({QStringLiteral("LINPS7") + m + QStringLiteral("_C"), S});
        auto row = [&](const QVariant &taxable, const QString &all, int excluded, const QVariant &due,
                       const QString &all16, int excluded16) {
            QVariantList v{taxable, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), all};
            for (int i = 1; i <= 12; ++i)
                v << (i == excluded ? QStringLiteral("1") : QStringLiteral("0"));
            v << due << all16;
            for (int i = 1; i <= 12; ++i)
                v << (i == excluded16 ? QStringLiteral("1") : QString());
            TClientDataSet ds;
            oneRow(ds, fields, v);
            return check({&ds});
        };
        const QVariant amount = QVariant::fromValue(Currency::fromInt(1200));
        // A row without data asks nothing, whatever its boxes.
        QCOMPARE(row(QVariant(), QStringLiteral("0"), 0, QVariant(), QString(), 0), QString());
        // Every month: the box ticked and no month excluded.
        QCOMPARE(row(amount, QStringLiteral("1"), 0, QVariant(), QString(), 0), QString());
        QCOMPARE(row(amount, QStringLiteral("1"), 7, QVariant(), QString(), 0),
                 QStringLiteral(" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" "
                                "(INPS 10) del modulo INPS fosse compilato"));
        QCOMPARE(row(amount, QStringLiteral("0"), 0, QVariant(), QString(), 0),
                 QStringLiteral(" - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" "
                                "(INPS 10) del modulo INPS deve essere compilato"));
        QCOMPARE(row(amount, QStringLiteral("0"), 12, QVariant(), QString(), 0), QString());
        // The same for INPS 16, on its own data.
        QCOMPARE(row(amount, QStringLiteral("1"), 0, amount, QString(), 3), QString());
        QCOMPARE(row(amount, QStringLiteral("1"), 0, amount, QStringLiteral("1"), 3),
                 QStringLiteral(" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" "
                                "(INPS 16) del modulo INPS fosse compilato"));
        QCOMPARE(row(amount, QStringLiteral("1"), 0, amount, QString(), 0),
                 QStringLiteral(" - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" "
                                "(INPS 16) del modulo INPS deve essere compilato"));
    }

    void theSelfEmployedPayeeNamesTheFirstGap()
    {
        TClientDataSet ds;
        oneRow(ds,
               {{QStringLiteral("SDAU7CODFIS"), S}, {QStringLiteral("SDAU7COGNOME"), S}, {QStringLiteral("SDAU7NOME"), S},
                {QStringLiteral("SDAU7SEX"), S}, {QStringLiteral("DDAU7DATANAS"), TFieldType::Date},
                {QStringLiteral("SDAU7COMNAS"), S}, {QStringLiteral("SDAU7PROVNAS"), S}},
               {QStringLiteral("BNCGPP60A01H199Z"), QStringLiteral("BIANCHI"), QString(), QString(), QVariant(),
                QString(), QString()});
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Nome dell'autonomo"));
        ds.edit();
        ds.fieldByName(QStringLiteral("SDAU7NOME")).setAsString(QStringLiteral("GIUSEPPE"));
        ds.fieldByName(QStringLiteral("SDAU7SEX")).setAsString(QStringLiteral("M"));
        ds.post();
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Data di nascita dell'autonomo"));
    }

    void theDependantsRow()
    {
        TClientDataSet ds;
        oneRow(ds,
               {{QStringLiteral("LCFC7RELPARCON"), S}, {QStringLiteral("SCFC7CODFISCON"), S},
                {QStringLiteral("SCFC7MESICARCON"), S}, {QStringLiteral("LCFC7RELPARPRIFIGL"), S},
                {QStringLiteral("SCFC7CODFISPRIFIGL"), S}, {QStringLiteral("SCFC7MESICARPRIFIGL"), S},
                {QStringLiteral("SCFC7DETRSPETTPRIFIGL"), S}, {QStringLiteral("LCFC7RELPARFIGL"), S},
                {QStringLiteral("LCFC7RELPARFIGLALTRFAM"), S}, {QStringLiteral("SCFC7CODFISFIGL"), S},
                {QStringLiteral("SCFC7MESICARFIGL"), S}, {QStringLiteral("FCFC7DETRSPETTFIGL"), TFieldType::Float}},
               {QStringLiteral("1"), QStringLiteral("RSSLRA82B45H199K"), QString(), QStringLiteral("0"), QString(),
                QString(), QString(), QStringLiteral("1"), QStringLiteral("1"), QString(), QStringLiteral("12"),
                QVariant()});
        // One entry, its lines in the rule's order.
        QCOMPARE(check({&ds}),
                 QStringLiteral(" - Dato obbligatorio mancante: Nr. Mesi a carico coniuge\r\n"
                                " - Dati incongruenti: Altro figlio e altro familiare ambedue abilitati\r\n"
                                " - Dato obbligatorio mancante: Codice fiscale altro figlio o altro familiare\r\n"
                                " - Dato obbligatorio mancante: Percentuale detrazione spettante altro figlio o "
                                "altro familiare"));
        // An empty dataset of dependants asks nothing.
        TClientDataSet none;
        oneRow(none, {{QStringLiteral("LCFC7RELPARCON"), S}}, {QStringLiteral("1")});
        none.first();
        none.deleteRecord();
        QCOMPARE(check({&none}), QString());
    }

    void theCusOwnDatasetsAreCheckedUnderTheirNames()
    {
        // The record model names the supply's boxes with "CUD": the CU, its
        // dependants and its INPS rows are checked all the same.
        QCOMPARE(VelMandatoryFields::modelName(QStringLiteral("SDIP7COGNOME")), QStringLiteral("SCUDCOGNOME"));
        QCOMPARE(VelMandatoryFields::modelName(QStringLiteral("LINPS7GENNAIO_C")), QStringLiteral("LCUDGENNAIO_C"));
        QCOMPARE(VelMandatoryFields::modelName(QStringLiteral("SSOSDENOM")), QStringLiteral("SSOSDENOM"));
        TClientDataSet cu;
        oneRow(cu,
               {{QStringLiteral("SCUDCODFIS"), S}, {QStringLiteral("SCUDCOGNOME"), S}, {QStringLiteral("SCUDNOME"), S},
                {QStringLiteral("SCUDSEX"), S}, {QStringLiteral("DCUDDATANAS"), TFieldType::Date},
                {QStringLiteral("SCUDCOMNAS"), S}, {QStringLiteral("SCUDPROVNAS"), S}},
               {QStringLiteral("DLLCHR85T52H199W"), QStringLiteral("DELL'ACQUA DE' MEDICI BELLINI"),
                QStringLiteral("MARIA CHIARA"), QString(), QDate(1985, 12, 12), QStringLiteral("RAVENNA"), QString()});
        TClientDataSet family;
        oneRow(family,
               {{QStringLiteral("LCUDRELPARCON"), S}, {QStringLiteral("SCUDCODFISCON"), S},
                {QStringLiteral("SCUDMESICARCON"), S}},
               {QStringLiteral("1"), QString(), QStringLiteral("12")});
        TClientDataSet inps;
        QList<QPair<QString, TFieldType>> fields = {{QStringLiteral("sCudMatrAzienda"), S},
                                                    {QStringLiteral("FCUDIMPONIBILE"), TFieldType::Currency},
                                                    {QStringLiteral("lCudMesiRetr"), S}};
        QVariantList values{QStringLiteral("1234567890"), QVariant::fromValue(Currency::fromInt(30000)),
                            QStringLiteral("0")};
        for (const char *m : {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
                              "Settembre", "Ottobre", "Novembre", "Dicembre"}) {
            fields.append({QStringLiteral("lCud") + QString::fromLatin1(m), S});
            values << QStringLiteral("0");
        }
        oneRow(inps, fields, values);
        QCOMPARE(check({&cu, &family, &inps}),
                 QStringLiteral(" - Dato obbligatorio mancante: Sesso del dipendente|"
                                " - Dato obbligatorio mancante: Provincia di nascita del dipendente|"
                                " - Dato obbligatorio mancante: Codice fiscale coniuge|"
                                " - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" "
                                "(INPS 10) del modulo INPS deve essere compilato"));
    }

    void aDatasetGivenOtherColumnsIsLookedAtAfresh()
    {
        // thousands of CUs are checked through one dataset: what to look at is
        // worked out once per column list, never carried over to another list
        TClientDataSet ds;
        oneRow(ds, {{QStringLiteral("SCUDCOGNOME"), S}, {QStringLiteral("SCUDNOME"), S}}, {QString(), QStringLiteral("ANNA")});
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Cognome del dipendente"));
        ds.edit();
        ds.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("NERI"));
        ds.post();
        QCOMPARE(check({&ds}), QString());
        oneRow(ds, {{QStringLiteral("SCUDNOME"), S}, {QStringLiteral("SCUDSEX"), S}}, {QString(), QStringLiteral("F")});
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Nome del dipendente"));
        oneRow(ds, {{QStringLiteral("SSOSDENRAPPR"), S}, {QStringLiteral("SSOSCOGNRAPPR"), S}},
               {QString(), QStringLiteral("ROSSI")});
        QCOMPARE(check({&ds}), QStringLiteral(" - Dato obbligatorio mancante: Nome del rappresentante della dichiarazione"));
    }

    void severalDatasetsAddUp()
    {
        TClientDataSet agent;
        oneRow(agent, {{QStringLiteral("SSOSDENOM"), S}, {QStringLiteral("SSOSCODFIS"), S}},
               {QStringLiteral("ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI"), QString()});
        TClientDataSet supplier;
        oneRow(supplier, {{QStringLiteral("SFORCODFIS"), S}, {QStringLiteral("STFOCODICE"), S}},
               {QStringLiteral("92012345678"), QString()});
        bool ok = true;
        QCOMPARE(check({&agent, nullptr, &supplier}, &ok),
                 QStringLiteral(" - Dato obbligatorio mancante: Codice fiscale del sostituto|"
                                " - Dato obbligatorio mancante: Tipo fornitore"));
        QVERIFY(!ok);
        // Problems already in the list are kept; only new ones decide.
        QStringList problems{QStringLiteral("prima")};
        QVERIFY(CheckMandatoryFields(problems, {}));
        QCOMPARE(problems, QStringList{QStringLiteral("prima")});
    }
};

QTEST_GUILESS_MAIN(TstMandatoryFields)
#include "tst_mandatory_fields.moc"
