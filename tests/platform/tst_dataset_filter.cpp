// Filter texts of the client dataset: every form the program writes, and the
// malformed ones, which must raise a clear error and leave the dataset as it was.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"

#include <QtTest>

namespace {

void makeCu(TClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("TAG"), TFieldType::String, 4);
    ds.addFieldDef(QStringLiteral("iAfiID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("SCUDCODFIS"), TFieldType::String, 16);
    ds.addFieldDef(QStringLiteral("SCUDMESE"), TFieldType::String, 2);
    ds.addFieldDef(QStringLiteral("ICALORVEXCODE"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("ITNOORVEXCODE"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("SANACODFISCALE"), TFieldType::String, 16);
    ds.addFieldDef(QStringLiteral("IANFID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("SCOGNOME"), TFieldType::String, 40);
    ds.addFieldDef(QStringLiteral("FIMPORTO"), TFieldType::Currency);
    ds.addFieldDef(QStringLiteral("DNASCITA"), TFieldType::Date);
    ds.addFieldDef(QStringLiteral("LATTIVO"), TFieldType::Boolean);
    ds.createDataSet();
    const QVariant null;
    // TAG, iAfiID, SCUDCODFIS, SCUDMESE, ICAL, ITNO, SANACODFISCALE, IANFID, SCOGNOME, FIMPORTO, DNASCITA, LATTIVO
    ds.appendRecord({"r1", 5, "RSSMRA80A01H501U", "03", 3, 2, "X", 56, "ROSSI", "100.50", QDate(1980, 1, 1), true});
    ds.appendRecord({"r2", 6, "RSSMRA80A01H501U", "12", 3, 1, "X", 55, "DE ROSSI", "100.5001", QDate(1990, 5, 2), false});
    ds.appendRecord({"r3", 7, "X", "03", 1, 2, "Y", 56, "D'ANNA", "-3", QDate(1975, 12, 31), true});
    ds.appendRecord({"r4", 8, "VRDLGU70B02F205Z", null, 3, 2, "X", 56, "verdi", null, null, null});
    ds.appendRecord({"r5", null, "VRDLGU70B02F205Z", "01", null, null, null, null, null, "0", QDate(2001, 1, 1), false});
    ds.mergeChangeLog();
}

QString visibleTags(TClientDataSet &ds)
{
    QStringList tags;
    ds.first();
    while (!ds.eof()) {
        tags << ds.fieldByName(QStringLiteral("TAG")).asString();
        ds.next();
    }
    return tags.join(u',');
}

} // namespace

class TstDataSetFilter : public QObject
{
    Q_OBJECT
private slots:
    void forms_data();
    void forms();
    void malformed_data();
    void malformed();
    void unknownFieldWhenFilterApplies();
    void filteredRowsAreInvisible();
    void caseInsensitiveOption();
    void filterSurvivesEditsAndIndex();
};

void TstDataSetFilter::forms_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("tags");
    // As the program writes them.
    QTest::newRow("int equals") << "IAFIID = 5" << "r1";
    QTest::newRow("text no spaces") << "SCUDCODFIS='X'" << "r3";
    QTest::newRow("text spaced") << "SCUDCODFIS = 'RSSMRA80A01H501U'" << "r1,r2";
    QTest::newRow("concatenation") << "SCUDCODFIS+SCUDMESE = 'RSSMRA80A01H501U03'" << "r1";
    QTest::newRow("concat null as empty") << "SCUDCODFIS+SCUDMESE = 'VRDLGU70B02F205Z'" << "r4";
    QTest::newRow("two ints") << "ICALORVEXCODE=3 AND ITNOORVEXCODE=2" << "r1,r4";
    QTest::newRow("text and int") << "SANACODFISCALE='X' AND IANFID=56" << "r1,r4";
    QTest::newRow("two texts") << "SCUDCODFIS='RSSMRA80A01H501U' AND SCUDMESE='12'" << "r2";
    QTest::newRow("quoted space") << "SCOGNOME = 'DE ROSSI'" << "r2";
    QTest::newRow("doubled quote") << "SCOGNOME = 'D''ANNA'" << "r3";
    QTest::newRow("double quotes") << "SCOGNOME = \"D'ANNA\"" << "r3";
    // Operators, logic, nulls.
    QTest::newRow("not equal skips null") << "SCUDMESE <> '03'" << "r2,r5";
    QTest::newRow("bang equal") << "IAFIID != 5" << "r2,r3,r4";
    QTest::newRow("less") << "IAFIID < 7" << "r1,r2";
    QTest::newRow("greater") << "IAFIID > 7" << "r4";
    QTest::newRow("less equal") << "IAFIID <= 7" << "r1,r2,r3";
    QTest::newRow("greater equal") << "IAFIID >= 7" << "r3,r4";
    QTest::newRow("or") << "IAFIID = 5 OR SCOGNOME = 'verdi'" << "r1,r4";
    QTest::newRow("not") << "NOT IAFIID = 5" << "r2,r3,r4";
    QTest::newRow("not of unknown stays unknown") << "NOT (ICALORVEXCODE = 3)" << "r3";
    QTest::newRow("parentheses") << "(IAFIID = 5 OR IAFIID = 7) AND SCUDMESE = '03'" << "r1,r3";
    QTest::newRow("precedence and over or") << "IAFIID = 8 OR IAFIID = 5 AND SCUDMESE = '12'" << "r4";
    QTest::newRow("is null") << "IAFIID IS NULL" << "r5";
    QTest::newRow("is not null") << "SCUDMESE IS NOT NULL" << "r1,r2,r3,r5";
    QTest::newRow("equals null") << "FIMPORTO = NULL" << "r4";
    QTest::newRow("lower-case names and keywords") << "iafiid = 6 and scudmese = '12'" << "r2";
    QTest::newRow("bracketed name") << "[SCOGNOME] = 'ROSSI'" << "r1";
    QTest::newRow("int as quoted text") << "IAFIID = '6'" << "r2";
    QTest::newRow("negative amount") << "FIMPORTO < -1" << "r3";
    QTest::newRow("amount exact") << "FIMPORTO > 100.5" << "r2";
    QTest::newRow("amount vs int") << "FIMPORTO = 0" << "r5";
    QTest::newRow("date iso") << "DNASCITA < '1980-01-01'" << "r3";
    QTest::newRow("date italian") << "DNASCITA >= '01/01/1990'" << "r2,r5";
    QTest::newRow("boolean") << "LATTIVO = TRUE" << "r1,r3";
    QTest::newRow("boolean field alone") << "LATTIVO" << "r1,r3";
    QTest::newRow("text compare ordered") << "SCOGNOME >= 'R'" << "r1,r4";
    QTest::newRow("like") << "SCOGNOME LIKE '%ROSSI'" << "r1,r2";
    QTest::newRow("not like") << "SCOGNOME NOT LIKE 'D%'" << "r1,r4";
    QTest::newRow("in") << "IAFIID IN (5, 7, 99)" << "r1,r3";
    QTest::newRow("not in") << "SCUDMESE NOT IN ('03','12')" << "r5";
    QTest::newRow("field vs field") << "ICALORVEXCODE > ITNOORVEXCODE" << "r1,r2,r4";
    QTest::newRow("sum") << "ICALORVEXCODE + ITNOORVEXCODE = 5" << "r1,r4";
    QTest::newRow("none") << "IAFIID = 1000" << "";
}

void TstDataSetFilter::forms()
{
    QFETCH(QString, filter);
    QFETCH(QString, tags);
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(filter);
    ds.setFiltered(true);
    QCOMPARE(visibleTags(ds), tags);
    QCOMPARE(ds.recordCount(), tags.isEmpty() ? 0 : int(tags.count(u',')) + 1);
    ds.setFiltered(false);
    QCOMPARE(ds.recordCount(), 5);
}

void TstDataSetFilter::malformed_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("detail"); // part of the message naming the problem
    QTest::newRow("unbalanced quote") << "SCUDCODFIS = 'ABC" << "apice non chiuso";
    QTest::newRow("unbalanced quote doubled") << "SCOGNOME = 'D''ANNA" << "apice non chiuso";
    QTest::newRow("double equals") << "IAFIID == 5" << "operatore '=='";
    QTest::newRow("arrow") << "IAFIID => 5" << "operatore '=>'";
    QTest::newRow("missing value") << "IAFIID = " << "espressione incompleta";
    QTest::newRow("missing operand after and") << "IAFIID = 5 AND" << "espressione incompleta";
    QTest::newRow("open paren") << "(IAFIID = 5" << "parentesi '(' non chiusa";
    QTest::newRow("extra close") << "IAFIID = 5)" << "parentesi ')'";
    QTest::newRow("no operator") << "IAFIID 5" << "elemento inatteso '5'";
    QTest::newRow("bad char") << "IAFIID = 5 # 2" << "carattere '#'";
    QTest::newRow("unknown field") << "NOPE = 1" << "campo 'NOPE' non trovato";
    QTest::newRow("text for int") << "IAFIID = 'abc'" << "'abc'";
    QTest::newRow("bad date") << "DNASCITA = '31/02/2020'" << "'31/02/2020'";
    QTest::newRow("date vs int field") << "DNASCITA = IAFIID" << "non si può confrontare";
    QTest::newRow("not a condition") << "IAFIID" << "condizione";
    QTest::newRow("and of values") << "IAFIID AND SCUDMESE = '03'" << "condizione";
    QTest::newRow("keyword as value") << "IAFIID = AND" << "valore atteso";
    QTest::newRow("is without null") << "IAFIID IS 5" << "atteso NULL";
    QTest::newRow("empty brackets") << "[] = 1" << "nome di campo vuoto";
    QTest::newRow("minus") << "IAFIID - 1 = 4" << "operatore '-'";
}

void TstDataSetFilter::malformed()
{
    QFETCH(QString, filter);
    QFETCH(QString, detail);
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(QStringLiteral("IANFID = 56"));
    ds.setFiltered(true);
    QCOMPARE(ds.recordCount(), 3);
    try {
        ds.setFilter(filter);
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Filtro non valido")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(detail), qPrintable(e.message()));
    }
    // The previous filter still holds, the rows are untouched.
    QCOMPARE(ds.filter(), QStringLiteral("IANFID = 56"));
    QCOMPARE(visibleTags(ds), QStringLiteral("r1,r3,r4"));
    ds.setFiltered(false);
    QCOMPARE(ds.recordCount(), 5);
}

void TstDataSetFilter::unknownFieldWhenFilterApplies()
{
    // Names are checked when the filter applies, so a filter can be set before
    // the fields it names exist; applying it then raises and changes nothing.
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(QStringLiteral("NOPE = 1"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.setFiltered(true));
    QVERIFY(!ds.filtered());
    QCOMPARE(ds.recordCount(), 5);

    TClientDataSet closed;
    closed.setFilter(QStringLiteral("CODICE = '01'"));
    closed.setFiltered(true);
    closed.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 2);
    closed.createDataSet();
    closed.appendRecord({QStringLiteral("01")});
    closed.appendRecord({QStringLiteral("02")});
    QCOMPARE(closed.recordCount(), 1);
    // A syntax error is refused at once, open or not.
    TClientDataSet fresh;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, fresh.setFilter(QStringLiteral("A = 'x")));
}

void TstDataSetFilter::filteredRowsAreInvisible()
{
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(QStringLiteral("SCUDCODFIS = 'RSSMRA80A01H501U'"));
    ds.setFiltered(true);
    QCOMPARE(ds.recordCount(), 2);
    QVERIFY(!ds.locate(QStringLiteral("TAG"), QStringLiteral("r3")));
    ds.last();
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(ds.fieldByName(QStringLiteral("TAG")).asString(), QStringLiteral("r2"));
    // An edit that leaves the filter hides the row.
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("OTHER"));
    ds.post();
    QCOMPARE(visibleTags(ds), QStringLiteral("r2"));
    // Deleting the last visible row leaves an empty view, not a crash.
    ds.first();
    ds.deleteRecord();
    QVERIFY(ds.isEmpty());
    QVERIFY(ds.eof());
    // The filter text can change while filtered.
    ds.setFilter(QStringLiteral("SCUDCODFIS = 'OTHER'"));
    QCOMPARE(visibleTags(ds), QStringLiteral("r1"));
    ds.setFilter(QString()); // empty text: everything visible
    QCOMPARE(ds.recordCount(), 4);
}

void TstDataSetFilter::caseInsensitiveOption()
{
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(QStringLiteral("SCOGNOME = 'VERDI'"));
    ds.setFiltered(true);
    QCOMPARE(ds.recordCount(), 0);
    ds.setFilterOptions(TFilterOption::CaseInsensitive);
    QCOMPARE(visibleTags(ds), QStringLiteral("r4"));
}

void TstDataSetFilter::filterSurvivesEditsAndIndex()
{
    TClientDataSet ds;
    makeCu(ds);
    ds.setFilter(QStringLiteral("IANFID = 56"));
    ds.setFiltered(true);
    ds.setIndexFieldNames(QStringLiteral("IAFIID"), QStringLiteral("IAFIID"));
    QCOMPARE(visibleTags(ds), QStringLiteral("r4,r3,r1"));
    ds.appendRecord({"r6", 9, "Z", "01", 0, 0, "Z", 56});
    ds.appendRecord({"r7", 10, "Z", "01", 0, 0, "Z", 55});
    QCOMPARE(visibleTags(ds), QStringLiteral("r6,r4,r3,r1"));
    ds.cancelUpdates();
    QCOMPARE(visibleTags(ds), QStringLiteral("r4,r3,r1"));
}

QTEST_GUILESS_MAIN(TstDataSetFilter)
#include "tst_dataset_filter.moc"
