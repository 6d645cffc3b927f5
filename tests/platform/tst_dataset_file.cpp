// Dataset files: every type comes back exactly; a broken file raises an error
// naming the file and the problem and leaves the dataset as it was.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cfloat>
#include <cmath>

namespace {

void makeAllTypes(TClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("S"), TFieldType::String, 20);
    ds.addFieldDef(QStringLiteral("I"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("C"), TFieldType::Currency);
    ds.addFieldDef(QStringLiteral("F"), TFieldType::Float);
    ds.addFieldDef(QStringLiteral("D"), TFieldType::Date);
    ds.addFieldDef(QStringLiteral("T"), TFieldType::DateTime);
    ds.addFieldDef(QStringLiteral("B"), TFieldType::Boolean);
    ds.addFieldDef(QStringLiteral("M"), TFieldType::Memo);
    ds.addFieldDef(QStringLiteral("X"), TFieldType::Blob);
    ds.createDataSet();
}

QVariantList currentRow(TClientDataSet &ds)
{
    QVariantList v;
    for (int i = 0; i < ds.fieldCount(); ++i)
        v << ds.field(i).value();
    return v;
}

QList<QVariantList> allRows(TClientDataSet &ds)
{
    QList<QVariantList> rows;
    ds.first();
    while (!ds.eof()) {
        rows << currentRow(ds);
        ds.next();
    }
    return rows;
}

// Exact comparison, NaN equal to NaN and -0.0 distinct from 0.0.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isValid() != b.isValid())
        return false;
    if (a.metaType() != b.metaType())
        return false;
    if (a.metaType().id() == QMetaType::Double) {
        const double x = a.toDouble(), y = b.toDouble();
        if (std::isnan(x) || std::isnan(y))
            return std::isnan(x) && std::isnan(y);
        return x == y && std::signbit(x) == std::signbit(y);
    }
    if (a.metaType().id() == QMetaType::QString)
        return a.toString() == b.toString() && a.toString().isNull() == b.toString().isNull();
    if (a.metaType().id() == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    return a == b;
}

} // namespace

class TstDataSetFile : public QObject
{
    Q_OBJECT
private slots:
    void everyTypeRoundTrips();
    void amountsAreWrittenAsExactText();
    void fieldsOnlyBlob();
    void pendingChangesAreKept();
    void malformedFilesRaiseAndKeepContent_data();
    void malformedFilesRaiseAndKeepContent();
    void missingFileAndUnwritablePath();
    void loadRefusedWhenIndexOrFilterDoNotFit();
};

void TstDataSetFile::everyTypeRoundTrips()
{
    TClientDataSet ds;
    makeAllTypes(ds);
    const QString memo = QStringLiteral("riga uno\r\nriga due\r\n\ttabulata \"virgolette\" \\ barra ")
                         + QString::fromUtf8("àèìòù € 😀 中文 \x01 end");
    QString lone = QStringLiteral("a");
    lone += QChar(0xD800); // a lone surrogate survives too
    const QList<QVariantList> rows = {
        {QStringLiteral("D'ANNA Ñ"), qlonglong(42), QVariant::fromValue(*Currency::parse(u"1234.5678")), 0.1,
         QDate(2025, 1, 31), QDateTime(QDate(2025, 3, 30), QTime(2, 30, 15, 123)), true, memo,
         QByteArray("\x00\x01\xff binary", 11)},
        // Nulls everywhere.
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        // Empty values are not nulls.
        {QStringLiteral(""), qlonglong(0), QVariant::fromValue(Currency()), 0.0, QDate(1, 1, 1),
         QDateTime(QDate(1899, 12, 30), QTime(0, 0)), false, QStringLiteral(""), QByteArray("")},
        // Extremes.
        {lone, std::numeric_limits<qlonglong>::min(),
         QVariant::fromValue(Currency::fromUnits(std::numeric_limits<qint64>::max())), -0.0, QDate(9999, 12, 31),
         QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999)), true, QStringLiteral("\n"), QByteArray(1000, '\0')},
        {QStringLiteral("x"), std::numeric_limits<qlonglong>::max(), QVariant::fromValue(Currency::fromUnits(-1)),
         DBL_MAX, QDate(2000, 2, 29), QVariant(), false, QVariant(), QVariant()},
        {QVariant(), qlonglong(-1), QVariant(), 4.9e-324, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QVariant(), QVariant(), QVariant(), std::nan(""), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QVariant(), QVariant(), QVariant(), -HUGE_VAL, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QVariant(), QVariant(), QVariant(), 1.0 / 3.0, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
    };
    for (const auto &r : rows)
        ds.appendRecord(r);
    ds.mergeChangeLog();
    const QList<QVariantList> before = allRows(ds);
    QCOMPARE(before.size(), rows.size());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TUTTI.cds"));
    ds.saveToFile(path);
    TClientDataSet back;
    back.loadFromFile(path);
    QVERIFY(back.active());
    QCOMPARE(back.fieldDefs().size(), 9);
    QCOMPARE(back.fieldDefs()[0].size, 20);
    QCOMPARE(back.fieldDefs()[7].type, TFieldType::Memo);
    QCOMPARE(back.changeCount(), 0);
    const QList<QVariantList> after = allRows(back);
    QCOMPARE(after.size(), before.size());
    for (int r = 0; r < before.size(); ++r)
        for (int f = 0; f < before[r].size(); ++f)
            QVERIFY2(sameValue(before[r][f], after[r][f]),
                     qPrintable(QStringLiteral("row %1 field %2: %3 / %4")
                                    .arg(r)
                                    .arg(back.fieldDefs()[f].name, before[r][f].toString(), after[r][f].toString())));
    // Saving what was loaded gives the same bytes.
    QCOMPARE(back.saveToBytes(), ds.saveToBytes());
    // The texts as the file spells them: escapes for the quote, the backslash
    // and control characters, UTF-8 for the rest, a lone surrogate escaped.
    const QByteArray bytes = ds.saveToBytes();
    QVERIFY2(bytes.contains("\"riga uno\\r\\nriga due\\r\\n\\ttabulata \\\"virgolette\\\" \\\\ barra "
                            "\xc3\xa0\xc3\xa8\xc3\xac\xc3\xb2\xc3\xb9 \xe2\x82\xac \xf0\x9f\x98\x80 "
                            "\xe4\xb8\xad\xe6\x96\x87 \\u0001 end\""),
             bytes.constData());
    QVERIFY2(bytes.contains("[\"a\\ud800\","), bytes.constData());
}

void TstDataSetFile::amountsAreWrittenAsExactText()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("FIMPORTO"), TFieldType::Currency);
    ds.createDataSet();
    ds.appendRecord({QStringLiteral("0.1")});
    ds.appendRecord({QStringLiteral("922337203685477.5807")});
    const QByteArray bytes = ds.saveToBytes();
    QVERIFY2(bytes.contains("[\"0.1000\"]"), bytes.constData());
    QVERIFY2(bytes.contains("[\"922337203685477.5807\"]"), bytes.constData());
    TClientDataSet back;
    back.loadFromBytes(bytes);
    back.last();
    QCOMPARE(back.fieldByName(QStringLiteral("FIMPORTO")).asCurrency().units(), std::numeric_limits<qint64>::max());
}

void TstDataSetFile::fieldsOnlyBlob()
{
    // A schema kept as a blob: just field definitions, never opened.
    TClientDataSet schema;
    schema.addFieldDef(QStringLiteral("iAfiID"), TFieldType::Integer);
    schema.addFieldDef(QStringLiteral("SCUDCODFIS"), TFieldType::String, 16);
    const QByteArray blob = schema.saveToBytes();
    TClientDataSet ds;
    ds.loadFromBytes(blob, QStringLiteral("TCUD_DATICUD"));
    QCOMPARE(ds.fieldNames(), (QStringList{"iAfiID", "SCUDCODFIS"}));
    QCOMPARE(ds.fieldDefs()[1].size, 16);
    QVERIFY(ds.isEmpty());
    ds.appendRecord({1, QStringLiteral("RSSMRA80A01H501U")});
    QCOMPARE(ds.recordCount(), 1);
}

void TstDataSetFile::pendingChangesAreKept()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("ID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("NAME"), TFieldType::String, 10);
    ds.createDataSet();
    for (int i = 1; i <= 4; ++i)
        ds.appendRecord({i, QStringLiteral("n%1").arg(i)});
    ds.mergeChangeLog();
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("changed"));
    ds.post();
    ds.next();
    ds.deleteRecord();
    ds.appendRecord({5, QStringLiteral("n5")});
    // A pending edit is posted by the save.
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("again"));
    const QByteArray bytes = ds.saveToBytes();
    QCOMPARE(ds.state(), TDataSetState::Browse);

    TClientDataSet back;
    back.loadFromBytes(bytes);
    QCOMPARE(back.recordCount(), 4);
    QCOMPARE(back.changeCount(), 3);
    const QList<TDeltaRow> delta = back.delta();
    QCOMPARE(delta.size(), 3);
    QCOMPARE(delta[0].status(), TUpdateStatus::Modified);
    QCOMPARE(delta[0].oldValue(QStringLiteral("NAME")).toString(), QStringLiteral("n1"));
    QCOMPARE(delta[0].newValue(QStringLiteral("NAME")).toString(), QStringLiteral("again"));
    QCOMPARE(delta[1].status(), TUpdateStatus::Deleted);
    QCOMPARE(delta[1].oldValue(QStringLiteral("ID")).toInt(), 2);
    QCOMPARE(delta[2].status(), TUpdateStatus::Inserted);
    back.cancelUpdates();
    QStringList names;
    for (back.first(); !back.eof(); back.next())
        names << back.fieldByName(QStringLiteral("NAME")).asString();
    QCOMPARE(names, (QStringList{"n1", "n2", "n3", "n4"}));
}

void TstDataSetFile::malformedFilesRaiseAndKeepContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("detail");
    const QByteArray head = "{\"format\":\"velcu-dataset\",\"version\":1,\n\"fields\":[{\"name\":\"A\",\"type\":\"Integer\"},"
                            "{\"name\":\"B\",\"type\":\"String\",\"size\":3}],\n";
    QTest::newRow("empty") << QByteArray() << "vuoto";
    QTest::newRow("not ours") << QByteArray("PK\x03\x04 zip file") << "non è un file di dataset";
    QTest::newRow("other json") << QByteArray("{\"name\":\"x\"}") << "non è un file di dataset";
    QTest::newRow("wrong format tag") << QByteArray("{\"format\":\"other\"}") << "non è un file di dataset";
    QTest::newRow("newer version") << QByteArray("{\"format\":\"velcu-dataset\",\"version\":2}") << "versione 2";
    QTest::newRow("truncated") << head + "\"rows\":[\n[1,\"a\"],\n[2," << "finisce prima";
    QTest::newRow("bad json") << head + "\"rows\":[\n[1 \"a\"]]}" << "attesa ','";
    QTest::newRow("trailing junk") << head + "\"rows\":[]} xyz" << "oltre la fine";
    QTest::newRow("unknown type")
        << QByteArray("{\"format\":\"velcu-dataset\",\"fields\":[{\"name\":\"A\",\"type\":\"Money\"}]}")
        << "tipo 'Money' sconosciuto";
    QTest::newRow("duplicate field")
        << QByteArray("{\"format\":\"velcu-dataset\",\"fields\":[{\"name\":\"A\",\"type\":\"Integer\"},"
                      "{\"name\":\"a\",\"type\":\"String\"}]}")
        << "definito due volte";
    QTest::newRow("no fields") << QByteArray("{\"format\":\"velcu-dataset\",\"rows\":[]}") << "precedono";
    QTest::newRow("too few values") << head + "\"rows\":[\n[1,\"a\"],\n[2]\n]}" << "1 valori invece di 2";
    QTest::newRow("too many values") << head + "\"rows\":[\n[1,\"a\",3]]}" << "più di 2 valori";
    QTest::newRow("bad integer") << head + "\"rows\":[\n[\"x\",\"a\"]]}" << "valore 'x' non valido per il campo 'A'";
    QTest::newRow("fractional integer") << head + "\"rows\":[\n[1.5,\"a\"]]}" << "valore '1.5'";
    QTest::newRow("text too long") << head + "\"rows\":[\n[1,\"abcd\"]]}" << "supera la lunghezza di 3";
    QTest::newRow("text as number") << head + "\"rows\":[\n[1,2]]}" << "campo 'B'";
    QTest::newRow("bad escape") << head + "\"rows\":[\n[1,\"a\\q\"]]}" << "escape";
    QTest::newRow("raw newline in text") << head + "\"rows\":[\n[1,\"a\nb\"]]}" << "controllo";
    const QByteArray cur = "{\"format\":\"velcu-dataset\",\"fields\":[{\"name\":\"C\",\"type\":\"Currency\"},"
                           "{\"name\":\"D\",\"type\":\"Date\"},{\"name\":\"X\",\"type\":\"Blob\"}],\n\"rows\":[\n";
    QTest::newRow("five decimals") << cur + "[\"1.23456\",null,null]]}" << "'1.23456'";
    QTest::newRow("bad date") << cur + "[null,\"2025-13-01\",null]]}" << "'2025-13-01'";
    QTest::newRow("italian date") << cur + "[null,\"31/01/2025\",null]]}" << "'31/01/2025'";
    QTest::newRow("bad base64") << cur + "[null,null,\"@@@\"]]}" << "base64";
    QTest::newRow("log bad row") << head + "\"rows\":[[1,\"a\"]],\"changeLog\":[{\"row\":5,\"status\":\"Inserted\"}]}"
                                 << "riga 5 inesistente";
    QTest::newRow("log bad status") << head + "\"rows\":[[1,\"a\"]],\"changeLog\":[{\"row\":0,\"status\":\"Gone\"}]}"
                                    << "'Gone'";
    QTest::newRow("log missing original")
        << head + "\"rows\":[[1,\"a\"]],\"changeLog\":[{\"row\":0,\"status\":\"Modified\"}]}" << "originali mancanti";
}

void TstDataSetFile::malformedFilesRaiseAndKeepContent()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, detail);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TNOT_NOTE.cds"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 2);
    ds.addFieldDef(QStringLiteral("Descrizione"), TFieldType::String, 60);
    ds.createDataSet();
    ds.appendRecord({QStringLiteral("01"), QStringLiteral("Prima")});
    ds.appendRecord({QStringLiteral("02"), QStringLiteral("Seconda")});
    ds.setIndexFieldNames(QStringLiteral("Codice"), QStringLiteral("Codice"));
    ds.last();
    const QByteArray before = ds.saveToBytes();
    try {
        ds.loadFromFile(path);
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        QVERIFY2(e.message().contains(detail), qPrintable(e.message()));
    }
    QVERIFY(ds.active());
    QCOMPARE(ds.fieldNames(), (QStringList{"Codice", "Descrizione"}));
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.changeCount(), 2);
    QCOMPARE(ds.fieldByName(QStringLiteral("Codice")).asString(), QStringLiteral("01")); // cursor unmoved
    QCOMPARE(ds.saveToBytes(), before);
}

void TstDataSetFile::missingFileAndUnwritablePath()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("A"), TFieldType::Integer);
    ds.createDataSet();
    ds.appendRecord({1});
    try {
        ds.loadFromFile(QStringLiteral("/nonexistent/dir/X.cds"));
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("File '/nonexistent/dir/X.cds' non trovato"));
    }
    QCOMPARE(ds.recordCount(), 1);
    try {
        ds.saveToFile(QStringLiteral("/nonexistent/dir/X.cds"));
        QFAIL("no error");
    } catch (const EOvError &e) {
        QCOMPARE(e.message(), QStringLiteral("Impossibile scrivere il file \"/nonexistent/dir/X.cds\": la cartella "
                                             "non esiste."));
    }
    QVERIFY(!QFileInfo::exists(QStringLiteral("/nonexistent")));
    // A path that is a folder cannot be written; an existing file stays whole.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("A.cds"));
    ds.saveToFile(path);
    ds.appendRecord({2});
    QVERIFY_THROWS_EXCEPTION(EOvError, ds.saveToFile(dir.path()));
    TClientDataSet back;
    back.loadFromFile(path);
    QCOMPARE(back.recordCount(), 1);
}

void TstDataSetFile::loadRefusedWhenIndexOrFilterDoNotFit()
{
    TClientDataSet other;
    other.addFieldDef(QStringLiteral("Z"), TFieldType::Integer);
    other.createDataSet();
    const QByteArray bytes = other.saveToBytes();

    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("A"), TFieldType::Integer);
    ds.createDataSet();
    ds.appendRecord({1});
    ds.appendRecord({2});
    ds.setFilter(QStringLiteral("A = 2"));
    ds.setFiltered(true);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.loadFromBytes(bytes));
    QCOMPARE(ds.recordCount(), 1); // the filter still works on the old rows
    ds.setFiltered(false);
    ds.setIndexFieldNames(QStringLiteral("A"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.loadFromBytes(bytes));
    QCOMPARE(ds.recordCount(), 2);
    ds.setIndexFieldNames(QString());
    ds.loadFromBytes(bytes);
    QCOMPARE(ds.fieldNames(), QStringList{"Z"});
}

QTEST_GUILESS_MAIN(TstDataSetFile)
#include "tst_dataset_file.moc"
