// Client dataset storage: equal texts held once, rows appended in bulk,
// cells read in place.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TstDataSetStorage : public QObject
{
    Q_OBJECT
private slots:
    void repeatedTextsStayRightThroughEditsAndCompaction();
    void bulkAppendsStoreWhatAppendRecordStores();
    void columnsFilledLateKeepEveryCell();
};

void TstDataSetStorage::bulkAppendsStoreWhatAppendRecordStores()
{
    // The same rows through appendRecord and through the bulk forms: same
    // cells (nulls, cut texts, empty texts), same log, same index order.
    const QList<TFieldDef> defs = {{QStringLiteral("CODE"), TFieldType::String, 3},
                                   {QStringLiteral("NOTE"), TFieldType::Memo, 0},
                                   {QStringLiteral("ID"), TFieldType::Integer, 0},
                                   {QStringLiteral("AMT"), TFieldType::Currency, 0},
                                   {QStringLiteral("DAY"), TFieldType::Date, 0},
                                   {QStringLiteral("RATE"), TFieldType::Float, 0},
                                   {QStringLiteral("RAW"), TFieldType::Blob, 0}};
    const QList<QVariantList> rows = {
        {QStringLiteral("ZZZZ"), QString(), 7, QStringLiteral("1.50"), QDate(2025, 3, 1), 0.25, QByteArray("\x01")},
        {QStringLiteral("AB"), QStringLiteral(""), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QStringLiteral("MMM"), QStringLiteral("n"), 0, QStringLiteral("0"), QDate(1999, 12, 31), -1.0, QByteArray("")}};
    auto make = [&](TClientDataSet &ds) {
        ds.setFieldDefs(defs);
        ds.createDataSet();
        ds.setIndexFieldNames(QStringLiteral("CODE"));
    };
    TClientDataSet byRecord, byCopy, byValues, source;
    make(byRecord);
    make(byCopy);
    make(byValues);
    make(source);
    // room taken first (the columns get their values later, into it)
    byValues.reserveRows(100000);
    for (const QVariantList &r : rows) {
        byRecord.appendRecord(r);
        byValues.appendValues(r);
        source.appendRecord(r);
    }
    source.mergeChangeLog();
    // visible positions in CODE order: AB, MMM, ZZZ
    byCopy.appendRowsOf(source, {2, 0, 1});
    for (TClientDataSet *bulk : {&byCopy, &byValues}) {
        QCOMPARE(bulk->recordCount(), byRecord.recordCount());
        QCOMPARE(bulk->changeCount(), byRecord.changeCount());
        for (int r = 0; r < byRecord.recordCount(); ++r)
            for (int f = 0; f < defs.size(); ++f) {
                const QVariant want = byRecord.valueAt(r, f), got = bulk->valueAt(r, f);
                QVERIFY2(want.isNull() == got.isNull() && want == got,
                         qPrintable(QStringLiteral("row %1 field %2").arg(r).arg(defs[f].name)));
            }
    }
    // a value the field refuses: no row
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, byValues.appendValues({QStringLiteral("Q"), QVariant(), QStringLiteral("x")}));
    QCOMPARE(byValues.recordCount(), 3);

    // an emptied small dataset keeps its blocks: the texts written again are its own
    TClientDataSet small;
    small.setFieldDefs({defs[0]});
    small.createDataSet();
    small.appendTexts({u"ABC"});
    small.emptyDataSet();
    small.appendTexts({u"ABC"});
    small.appendTexts({u"XYZ"});
    QCOMPARE(small.valueAt(0, 0).toString(), QStringLiteral("ABC"));
    QCOMPARE(small.valueAt(1, 0).toString(), QStringLiteral("XYZ"));
    QStringList codes;
    for (byCopy.first(); !byCopy.eof(); byCopy.next())
        codes << byCopy.fieldByName(QStringLiteral("CODE")).asString();
    QCOMPARE(codes, (QStringList{QStringLiteral("AB"), QStringLiteral("MMM"), QStringLiteral("ZZZ")}));

    // texts only: a cut text, a null cell, an empty text
    TClientDataSet texts, expected;
    for (TClientDataSet *ds : {&texts, &expected}) {
        ds->setFieldDefs({defs[0], defs[1], {QStringLiteral("REST"), TFieldType::String, 0}, defs[2]});
        ds->createDataSet();
    }
    const QString longCode = QStringLiteral("ABCDE"), empty = QStringLiteral("");
    texts.appendTexts({longCode, QStringView(), empty});
    expected.appendRecord({longCode, QVariant(), empty});
    for (int f = 0; f < 4; ++f) {
        QCOMPARE(texts.valueAt(0, f).isNull(), expected.valueAt(0, f).isNull());
        QCOMPARE(texts.valueAt(0, f), expected.valueAt(0, f));
    }
    QCOMPARE(texts.valueAt(0, 0).toString(), QStringLiteral("ABC"));
    QCOMPARE(texts.updateStatus(), TUpdateStatus::Inserted);

    // refused without a trace: a text for a number, rows of other fields, a row out of range
    QVERIFY(!texts.valueAt(0, 2).isNull());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, texts.appendTexts({empty, empty, empty, empty}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, texts.appendRowsOf(source, {0}));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, byCopy.appendRowsOf(source, {3}));
    QCOMPARE(texts.recordCount(), 1);
    QCOMPARE(byCopy.recordCount(), 3);
}

// A column holds no values while every cell is null: the first value comes
// late (after hundreds of null rows), through each way a cell is written, and
// every cell reads right afterwards, also through a file and once emptied.
void TstDataSetStorage::columnsFilledLateKeepEveryCell()
{
    const QList<TFieldDef> defs = {{QStringLiteral("CODE"), TFieldType::String, 5},
                                   {QStringLiteral("ID"), TFieldType::Integer, 0},
                                   {QStringLiteral("AMT"), TFieldType::Currency, 0},
                                   {QStringLiteral("RATE"), TFieldType::Float, 0},
                                   {QStringLiteral("DAY"), TFieldType::Date, 0},
                                   {QStringLiteral("RAW"), TFieldType::Blob, 0}};
    const QVariantList late = {QStringLiteral("AB"), 7, QVariant::fromValue(Currency::fromUnits(15000)), 0.5,
                               QDate(2025, 3, 1), QByteArray("\x01")};
    constexpr int nullRows = 300, lateRow = 299;
    enum Way { AppendValues, Edit, AppendRowsOf, File, Emptied };
    for (Way way : {AppendValues, Edit, AppendRowsOf, File, Emptied}) {
        TClientDataSet ds;
        ds.setFieldDefs(defs);
        ds.createDataSet();
        if (way == Emptied) { // a small dataset keeps its blocks when emptied
            ds.appendValues(late);
            ds.appendValues(QVariantList(defs.size()));
            ds.emptyDataSet();
        }
        for (int i = 0; i < nullRows; ++i)
            ds.appendValues(QVariantList(defs.size()));
        QVERIFY(ds.holdsNoValues(0) && ds.holdsNoValues(int(defs.size()) - 1));
        if (way == Edit) {
            ds.setRecNo(lateRow + 1);
            ds.edit();
            for (int f = 0; f < defs.size(); ++f)
                ds.field(f).setValue(QVariant()); // null again: still nothing held
            for (int f = 0; f < defs.size(); ++f)
                ds.field(f).setValue(late[f]);
            QVERIFY(!ds.holdsNoValues(1)); // the record being edited has one
            ds.post();
        } else {
            ds.appendValues(late);
        }
        ds.appendValues(QVariantList(defs.size()));
        const int lastValue = way == Edit ? lateRow : nullRows;
        TClientDataSet read;
        if (way == AppendRowsOf) {
            read.setFieldDefs(defs);
            read.createDataSet();
            QList<int> rows;
            for (int r = 0; r < ds.recordCount(); ++r)
                rows << r;
            read.appendRowsOf(ds, rows);
        } else if (way == File) {
            read.loadFromBytes(ds.saveToBytes());
        }
        TClientDataSet &checked = way == AppendRowsOf || way == File ? read : ds;
        for (int f = 0; f < defs.size(); ++f)
            QVERIFY(!checked.holdsNoValues(f));
        QCOMPARE(checked.recordCount(), way == Edit ? nullRows + 1 : nullRows + 2);
        for (int r = 0; r < checked.recordCount(); ++r)
            for (int f = 0; f < defs.size(); ++f) {
                const QVariant got = checked.valueAt(r, f);
                QVERIFY2(r == lastValue ? got == late[f] : got.isNull(),
                         qPrintable(QStringLiteral("way %1 row %2 field %3").arg(way).arg(r).arg(defs[f].name)));
            }
    }
}

// Equal texts written one after the other are held once; every cell must still
// read its own value after any of them is changed, after the column's text is
// compacted (many changed long texts), through a sort and through a file.
void TstDataSetStorage::repeatedTextsStayRightThroughEditsAndCompaction()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("ID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("CODE"), TFieldType::String, 18);
    ds.addFieldDef(QStringLiteral("TEXT"), TFieldType::Memo);
    ds.createDataSet();

    // runs of equal codes, an empty text and a null inside some runs
    const int rows = 3000;
    QList<QVariant> code, text;
    for (int i = 0; i < rows; ++i) {
        QVariant c = QStringLiteral("%1").arg(i / 12, 18, 10, QLatin1Char('0'));
        if (i % 97 == 5)
            c = QStringLiteral("");
        else if (i % 89 == 7)
            c = QVariant();
        code << c;
        text << QVariant(QStringLiteral("T%1").arg(i / 5));
        ds.appendRecord({i, c, text.last()});
    }
    ds.mergeChangeLog();

    auto check = [&](const char *when) {
        for (int i = 0; i < rows; ++i) {
            const QVariant c = ds.valueAt(i, 1), t = ds.valueAt(i, 2);
            // the in-place reading agrees with the value, a null reading empty
            if (c.isNull() != code[i].isNull() || c.toString() != code[i].toString() || t.toString() != text[i].toString()
                || ds.textAt(i, 1) != c.toString() || ds.textAt(i, 2) != t.toString())
                QFAIL(qPrintable(QStringLiteral("%1: row %2 reads '%3' '%4', expected '%5' '%6'")
                                     .arg(QLatin1String(when))
                                     .arg(i)
                                     .arg(c.toString(), t.toString(), code[i].toString(), text[i].toString())));
        }
    };
    check("appended");
    QVERIFY(ds.textAt(3, 0).isEmpty()); // not a text column
    QVERIFY(ds.textAt(rows, 1).isEmpty());
    QVERIFY(ds.textAt(0, 3).isEmpty());

    auto set = [&](int i, const QVariant &c, const QVariant &t) {
        ds.setRecNo(i + 1);
        ds.edit();
        ds.fieldByName(QStringLiteral("CODE")).setValue(c);
        ds.fieldByName(QStringLiteral("TEXT")).setValue(t);
        ds.post();
        code[i] = c;
        text[i] = t;
    };
    // the first, a middle and the last cell of a shared run changed
    set(24, QStringLiteral("X"), QStringLiteral("first"));
    set(30, QStringLiteral("000000000000000002"), QStringLiteral("T6")); // equal to what it had
    set(35, QVariant(), QStringLiteral("last"));
    check("run edited");
    // a text equal to one just changed away is written again
    set(100, QStringLiteral("Y"), QStringLiteral("T20"));
    set(101, QStringLiteral("000000000000000008"), QStringLiteral("T20"));
    check("written again");

    // long texts changed over and over: the dead text passes half the column's and it is compacted
    QRandomGenerator rng(16);
    const QString longText(300, QLatin1Char('L'));
    for (int k = 0; k < 6000; ++k) {
        const int i = int(rng.bounded(600));
        const int pick = int(rng.bounded(4));
        const QVariant t = pick == 0 ? QVariant(longText + QString::number(k % 3))
                           : pick == 1 ? QVariant(text[(i + 1) % rows])
                           : pick == 2 ? QVariant(QStringLiteral(""))
                                       : QVariant(QStringLiteral("K%1").arg(k / 7));
        const QVariant c = rng.bounded(3) == 0 ? QVariant(QStringLiteral("%1").arg(k / 9, 18, 10, QLatin1Char('0'))) : code[i];
        set(i, c, t);
    }
    check("compacted");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.cds"));
    // a file of several blocks (written a block at a time) holds the same text as the bytes made whole
    {
        TClientDataSet big;
        big.setFieldDefs({{QStringLiteral("TEXT"), TFieldType::Memo, 0}});
        big.createDataSet();
        for (int i = 0; i < 30000; ++i)
            big.appendTexts({QStringLiteral("%1").arg(i, 80, 10, QLatin1Char('x'))});
        big.saveToFile(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray written = f.readAll();
        QVERIFY(written.size() > 2 * 1024 * 1024);
        QCOMPARE(written, big.saveToBytes());
        // a column of megabytes, grown a doubling at a time, read back and
        // trimmed to its text, then every cell rewritten (the dead text
        // passes half of the column and it is packed anew): no cell lost
        TClientDataSet again;
        again.loadFromFile(path);
        QCOMPARE(again.saveToBytes(), written);
        for (int i = 0; i < 30000; ++i) {
            again.setRecNo(i + 1);
            again.edit();
            again.fieldByName(QStringLiteral("TEXT")).setAsString(QStringLiteral("%1").arg(i, 81, 10, QLatin1Char('y')));
            again.post();
        }
        for (int i = 0; i < 30000; ++i)
            if (again.textAt(i, 0) != QStringLiteral("%1").arg(i, 81, 10, QLatin1Char('y')))
                QFAIL(qPrintable(QStringLiteral("row %1 reads %2").arg(i).arg(again.textAt(i, 0))));
        QCOMPARE(big.textAt(29999, 0), QStringLiteral("%1").arg(29999, 80, 10, QLatin1Char('x')));
    }
    ds.mergeChangeLog();
    ds.saveToFile(path);
    TClientDataSet back;
    back.loadFromFile(path);
    QCOMPARE(back.recordCount(), rows);
    for (int i = 0; i < rows; ++i) {
        QCOMPARE(back.valueAt(i, 1).toString(), code[i].toString());
        QCOMPARE(back.valueAt(i, 2).toString(), text[i].toString());
    }

    ds.setIndexFieldNames(QStringLiteral("TEXT;ID"));
    QString previous;
    for (int r = 0; r < rows; ++r) {
        const QString t = ds.valueAt(r, 2).toString();
        QVERIFY2(t.compare(previous, Qt::CaseInsensitive) >= 0, qPrintable(t + QStringLiteral(" after ") + previous));
        QCOMPARE(t, text[ds.valueAt(r, 0).toInt()].toString());
        QCOMPARE(ds.textAt(r, 2), QStringView(t)); // by visible position, in index order
        previous = t;
    }
}

QTEST_GUILESS_MAIN(TstDataSetStorage)
#include "tst_dataset_storage.moc"
