// Client dataset: values, editing, change log, events, index, bookmarks, locate, parameters.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"

#include <QtTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

// ID Integer, NAME String(10), AMT Currency, rows (1,A,1.00) (2,B,2.00) (3,C,3.00), log merged.
void makePeople(TClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("ID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("Name"), TFieldType::String, 10);
    ds.addFieldDef(QStringLiteral("AMT"), TFieldType::Currency);
    ds.createDataSet();
    ds.appendRecord({1, QStringLiteral("A"), QStringLiteral("1.00")});
    ds.appendRecord({2, QStringLiteral("B"), QStringLiteral("2.00")});
    ds.appendRecord({3, QStringLiteral("C"), QStringLiteral("3.00")});
    ds.mergeChangeLog();
}

// The values of one field over the visible rows, walking the cursor.
QStringList column(TClientDataSet &ds, const char *field)
{
    QStringList out;
    ds.first();
    while (!ds.eof()) {
        out << ds.fieldByName(QString::fromLatin1(field)).asString();
        ds.next();
    }
    return out;
}

QString statusText(TUpdateStatus s)
{
    switch (s) {
    case TUpdateStatus::Unmodified: return QStringLiteral("U");
    case TUpdateStatus::Modified: return QStringLiteral("M");
    case TUpdateStatus::Inserted: return QStringLiteral("I");
    case TUpdateStatus::Deleted: return QStringLiteral("D");
    }
    return QString();
}

} // namespace

class TstDataSetCore : public QObject
{
    Q_OBJECT
private slots:
    void fieldsAreCaseInsensitiveAndErrorsNameTheProblem();
    void valuesConvertToTheFieldType();
    void editingStatesAndReadOnly();
    void changeLogAfterMixedEdits();
    void cancelUpdatesRestoresOriginals();
    void mergeChangeLogForgetsDeletedRows();
    void writeRowValueDoesNotTouchTheLog();
    void eventsDetachedDuringBulkLoad();
    void beforeHandlerThrowingCancelsTheOperation();
    void navigationFlags();
    void threeFieldIndexWithTiesAndDescending();
    void indexIsKeptWhenRowsChange();
    void bookmarksSurviveResortAndFilter();
    void locateOnTwoFields();
    void lookupDoesNotMove();
    void insertGoesBeforeCurrentRow();
    void closeKeepsRowsAndOpenHookRuns();
    void commandTextBuildsParameters();
};

void TstDataSetCore::fieldsAreCaseInsensitiveAndErrorsNameTheProblem()
{
    TClientDataSet ds;
    makePeople(ds);
    QCOMPARE(ds.fieldByName(QStringLiteral("name")).fieldName(), QStringLiteral("Name"));
    QVERIFY(!ds.findField(QStringLiteral("Missing")).isValid());
    try {
        ds.fieldByName(QStringLiteral("Missing"));
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("Campo 'Missing' non trovato"));
    }
    // Duplicate names, whatever their case, are refused.
    TClientDataSet d2;
    d2.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 2);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, d2.addFieldDef(QStringLiteral("CODICE"), TFieldType::Integer));
    QCOMPARE(d2.fieldCount(), 1);
    // Fields cannot change while open.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.addFieldDef(QStringLiteral("X"), TFieldType::Integer));
}

void TstDataSetCore::valuesConvertToTheFieldType()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("S"), TFieldType::String, 5);
    ds.addFieldDef(QStringLiteral("I"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("C"), TFieldType::Currency);
    ds.addFieldDef(QStringLiteral("F"), TFieldType::Float);
    ds.addFieldDef(QStringLiteral("D"), TFieldType::Date);
    ds.addFieldDef(QStringLiteral("B"), TFieldType::Boolean);
    ds.createDataSet();
    ds.append();
    TField s = ds.fieldByName(QStringLiteral("S")), i = ds.fieldByName(QStringLiteral("I")),
           c = ds.fieldByName(QStringLiteral("C")), f = ds.fieldByName(QStringLiteral("F")),
           d = ds.fieldByName(QStringLiteral("D")), b = ds.fieldByName(QStringLiteral("B"));

    // A text longer than the size is cut (never half a surrogate pair).
    s.setAsString(QStringLiteral("ABCDEFG"));
    QCOMPARE(s.asString(), QStringLiteral("ABCDE"));
    s.setAsString(QStringLiteral("ABCD") + QString::fromUtf8("\xF0\x9F\x98\x80"));
    QCOMPARE(s.asString(), QStringLiteral("ABCD"));
    // Empty text stays a value; empty text into a number is null.
    s.setAsString(QStringLiteral(""));
    QVERIFY(!s.isNull());
    i.setAsString(QStringLiteral("  "));
    QVERIFY(i.isNull());
    QCOMPARE(i.asInteger(), qint64(0));

    i.setAsString(QStringLiteral(" 42 "));
    QCOMPARE(i.asInteger(), qint64(42));
    try {
        i.setAsString(QStringLiteral("abc"));
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("'abc'")) && e.message().contains(QStringLiteral("'I'")),
                 qPrintable(e.message()));
    }
    QCOMPARE(i.asInteger(), qint64(42)); // refused value left the old one
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, i.setValue(2.5));

    c.setAsString(QStringLiteral("1234,5"));
    QCOMPARE(c.asCurrency(), money("1234.5"));
    QCOMPARE(c.asString(), QStringLiteral("1234.5000"));
    QCOMPARE(c.value().toDouble(), 1234.5); // amounts still read as numbers
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.setAsString(QStringLiteral("1.23456")));
    c.setAsFloat(0.1 + 0.2);
    QCOMPARE(c.asCurrency(), money("0.3"));
    QCOMPARE(c.asInteger(), qint64(0));
    c.setAsCurrency(money("-2.5"));
    QCOMPARE(c.asInteger(), qint64(-3)); // halves away from zero

    f.setAsString(QStringLiteral("2,25"));
    QCOMPARE(f.asFloat(), 2.25);
    d.setAsString(QStringLiteral("31/01/2025"));
    QCOMPARE(d.asDate(), QDate(2025, 1, 31));
    d.setAsString(QStringLiteral("2025-02-28"));
    QCOMPARE(d.asString(), QStringLiteral("28/02/2025"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, d.setAsString(QStringLiteral("31/02/2025")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, d.asInteger());
    b.setAsString(QStringLiteral("Si"));
    QVERIFY(b.asBoolean());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, b.setAsString(QStringLiteral("forse")));
    ds.post();
    QCOMPARE(ds.fieldByName(QStringLiteral("s")).value(), QVariant(QStringLiteral("")));
}

void TstDataSetCore::editingStatesAndReadOnly()
{
    TClientDataSet ds;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.createDataSet()); // no fields
    makePeople(ds);
    QCOMPARE(ds.state(), TDataSetState::Browse);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.fieldByName(QStringLiteral("ID")).setAsInteger(9));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.post());
    QCOMPARE(ds.recNo(), 3); // the last appended row is current
    ds.first();
    ds.edit();
    QCOMPARE(ds.state(), TDataSetState::Edit);
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("Z"));
    ds.cancel();
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("A"));
    QCOMPARE(ds.changeCount(), 0);

    // Moving posts a pending edit.
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("Z"));
    ds.next();
    QCOMPARE(ds.state(), TDataSetState::Browse);
    ds.first();
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("Z"));

    // A no-op edit logs nothing.
    const int before = ds.changeCount();
    ds.last();
    ds.edit();
    ds.post();
    QCOMPARE(ds.changeCount(), before);

    ds.setReadOnly(true);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.edit());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.append());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.deleteRecord());
    QCOMPARE(ds.recordCount(), 3);
    ds.setReadOnly(false);

    // Edit on an empty dataset inserts; delete while inserting cancels.
    ds.emptyDataSet();
    QCOMPARE(ds.changeCount(), 0);
    ds.edit();
    QCOMPARE(ds.state(), TDataSetState::Insert);
    ds.deleteRecord();
    QCOMPARE(ds.state(), TDataSetState::Browse);
    QCOMPARE(ds.recordCount(), 0);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.deleteRecord());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.appendRecord({1, QStringLiteral("A"), 1, 4}));

    ds.close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.fieldByName(QStringLiteral("ID")).value());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.next());
}

void TstDataSetCore::changeLogAfterMixedEdits()
{
    TClientDataSet ds;
    makePeople(ds);
    QVERIFY(ds.locate(QStringLiteral("ID"), 2));
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("B2"));
    ds.post();
    QCOMPARE(ds.updateStatus(), TUpdateStatus::Modified);
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).oldValue().toString(), QStringLiteral("B"));

    ds.appendRecord({4, QStringLiteral("D")});
    ds.edit(); // inserted then modified: stays Inserted
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("D2"));
    ds.post();
    QCOMPARE(ds.updateStatus(), TUpdateStatus::Inserted);
    QVERIFY(ds.fieldByName(QStringLiteral("NAME")).oldValue().isNull());

    ds.appendRecord({5, QStringLiteral("E")}); // inserted then deleted: no trace
    ds.deleteRecord();

    QVERIFY(ds.locate(QStringLiteral("ID"), 3));
    ds.deleteRecord();

    QVERIFY(ds.locate(QStringLiteral("ID"), 1)); // modified, then modified again, then deleted
    ds.edit();
    ds.fieldByName(QStringLiteral("AMT")).setAsCurrency(money("10"));
    ds.post();
    ds.edit();
    ds.fieldByName(QStringLiteral("AMT")).setAsCurrency(money("11"));
    ds.post();

    QCOMPARE(ds.changeCount(), 4);
    const QList<TDeltaRow> delta = ds.delta();
    QStringList seen;
    for (const TDeltaRow &r : delta)
        seen << statusText(r.status()) + QString::number(r.value(QStringLiteral("id")).toInt());
    QCOMPARE(seen, (QStringList{"M2", "I4", "D3", "M1"}));
    QCOMPARE(delta[0].oldValue(QStringLiteral("NAME")).toString(), QStringLiteral("B"));
    QCOMPARE(delta[0].newValue(QStringLiteral("NAME")).toString(), QStringLiteral("B2"));
    QCOMPARE(delta[1].newValue(QStringLiteral("NAME")).toString(), QStringLiteral("D2"));
    QVERIFY(delta[1].oldValue(QStringLiteral("NAME")).isNull());
    QCOMPARE(delta[2].oldValue(QStringLiteral("NAME")).toString(), QStringLiteral("C"));
    QVERIFY(delta[2].newValue(QStringLiteral("NAME")).isNull());
    // The original of a row changed twice is the value before the first change.
    QCOMPARE(delta[3].oldValue(QStringLiteral("AMT")).value<Currency>(), money("1"));
    QCOMPARE(delta[3].newValue(QStringLiteral("AMT")).value<Currency>(), money("11"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, delta[0].newValue(QStringLiteral("Nope")));

    // A modified row that is then deleted is logged Deleted with its true original.
    QVERIFY(ds.locate(QStringLiteral("ID"), 2));
    ds.deleteRecord();
    const QList<TDeltaRow> after = ds.delta();
    QCOMPARE(after[0].status(), TUpdateStatus::Deleted);
    QCOMPARE(after[0].oldValue(QStringLiteral("NAME")).toString(), QStringLiteral("B"));
    QCOMPARE(ds.changeCount(), 4);
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "4"}));
}

void TstDataSetCore::cancelUpdatesRestoresOriginals()
{
    TClientDataSet ds;
    makePeople(ds);
    QVERIFY(ds.locate(QStringLiteral("ID"), 2));
    ds.deleteRecord();
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("changed"));
    ds.post();
    ds.appendRecord({9, QStringLiteral("new")});
    ds.last();
    ds.edit(); // a pending edit is dropped too
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("x"));

    ds.cancelUpdates();
    QCOMPARE(ds.state(), TDataSetState::Browse);
    QCOMPARE(ds.changeCount(), 0);
    QVERIFY(ds.delta().isEmpty());
    // The deleted row is back at its place, the inserted one gone.
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "2", "3"}));
    QCOMPARE(column(ds, "NAME"), (QStringList{"A", "B", "C"}));
    QCOMPARE(column(ds, "AMT"), (QStringList{"1.0000", "2.0000", "3.0000"}));
}

void TstDataSetCore::mergeChangeLogForgetsDeletedRows()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.first();
    ds.deleteRecord();
    ds.appendRecord({4, QStringLiteral("D")});
    ds.mergeChangeLog();
    QCOMPARE(ds.changeCount(), 0);
    ds.cancelUpdates(); // nothing left to undo
    QCOMPARE(column(ds, "ID"), (QStringList{"2", "3", "4"}));
    ds.first();
    QCOMPARE(ds.updateStatus(), TUpdateStatus::Unmodified);
}

void TstDataSetCore::writeRowValueDoesNotTouchTheLog()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.appendRecord({0, QStringLiteral("new")});
    const QList<TDeltaRow> delta = ds.delta();
    QCOMPARE(delta.size(), 1);
    ds.writeRowValue(delta[0].bookmark(), QStringLiteral("id"), 77);
    QCOMPARE(ds.changeCount(), 1);
    QCOMPARE(ds.delta()[0].status(), TUpdateStatus::Inserted);
    QCOMPARE(ds.delta()[0].newValue(QStringLiteral("ID")).toInt(), 77);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.writeRowValue(delta[0].bookmark(), QStringLiteral("ID"), QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.writeRowValue(InvalidBookmark, QStringLiteral("ID"), 1));

    // A written key that moves the row in index order, or out of the filter, is followed.
    ds.setIndexFieldNames(QStringLiteral("ID"));
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "2", "3", "77"}));
    ds.writeRowValue(delta[0].bookmark(), QStringLiteral("ID"), 0);
    QCOMPARE(column(ds, "ID"), (QStringList{"0", "1", "2", "3"}));
    ds.setFilter(QStringLiteral("ID > 0"));
    ds.setFiltered(true);
    QCOMPARE(ds.recordCount(), 3);
    ds.writeRowValue(delta[0].bookmark(), QStringLiteral("ID"), 5);
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "2", "3", "5"}));

    // A value written into the row being edited reaches its record too: the
    // post does not put the old value back.
    ds.gotoBookmark(delta[0].bookmark());
    ds.edit();
    ds.fieldByName(QStringLiteral("Name")).setAsString(QStringLiteral("edited"));
    ds.writeRowValue(delta[0].bookmark(), QStringLiteral("ID"), 9);
    QCOMPARE(ds.fieldByName(QStringLiteral("ID")).asInteger(), qint64(9));
    ds.post();
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "2", "3", "9"}));
    QCOMPARE(column(ds, "Name").last(), QStringLiteral("edited"));
}

void TstDataSetCore::eventsDetachedDuringBulkLoad()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("N"), TFieldType::Integer);
    QMap<QString, int> calls;
    auto count = [&calls](const char *name) { return [&calls, name](TClientDataSet &) { ++calls[QLatin1StringView(name)]; }; };
    ds.beforeOpen = count("beforeOpen");
    ds.afterOpen = count("afterOpen");
    ds.beforePost = count("beforePost");
    ds.afterPost = count("afterPost");
    ds.beforeInsert = count("beforeInsert");
    ds.afterInsert = count("afterInsert");
    ds.onNewRecord = count("onNewRecord");
    ds.beforeScroll = count("beforeScroll");
    ds.afterScroll = count("afterScroll");
    ds.beforeDelete = count("beforeDelete");
    ds.afterDelete = count("afterDelete");
    ds.beforeEdit = count("beforeEdit");
    ds.afterEdit = count("afterEdit");
    ds.beforeCancel = count("beforeCancel");
    ds.afterCancel = count("afterCancel");
    ds.beforeClose = count("beforeClose");
    ds.afterClose = count("afterClose");

    // Bulk load with the handlers detached: none runs.
    const TDataSetEvents saved = ds.detachEvents();
    QVERIFY(!ds.beforePost);
    ds.disableControls();
    ds.createDataSet();
    for (int i = 0; i < 100; ++i) {
        ds.append();
        ds.fieldByName(QStringLiteral("N")).setAsInteger(i);
        ds.post();
    }
    ds.mergeChangeLog();
    ds.first();
    ds.enableControls();
    ds.attachEvents(saved);
    QVERIFY(calls.isEmpty());
    QCOMPARE(ds.recordCount(), 100);

    // Re-attached: every handler runs once per operation.
    ds.edit();
    ds.fieldByName(QStringLiteral("N")).setAsInteger(-1);
    ds.post();
    ds.append();
    ds.cancel();
    ds.next();
    ds.deleteRecord();
    ds.close();
    const QMap<QString, int> expected{
        {"beforeEdit", 1},   {"afterEdit", 1},   {"beforePost", 1},  {"afterPost", 1},
        {"beforeInsert", 1}, {"afterInsert", 1}, {"onNewRecord", 1}, {"beforeCancel", 1},
        {"afterCancel", 1},  {"beforeScroll", 2}, {"afterScroll", 2}, {"beforeDelete", 1},
        {"afterDelete", 1},  {"beforeClose", 1}, {"afterClose", 1},
    };
    QCOMPARE(calls, expected);
}

void TstDataSetCore::beforeHandlerThrowingCancelsTheOperation()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.beforePost = [](TClientDataSet &d) {
        if (d.fieldByName(QStringLiteral("NAME")).asString().isEmpty())
            throw EOvError(QStringLiteral("Nome obbligatorio"));
    };
    ds.append();
    ds.fieldByName(QStringLiteral("ID")).setAsInteger(4);
    QVERIFY_THROWS_EXCEPTION(EOvError, ds.post());
    QCOMPARE(ds.state(), TDataSetState::Insert); // still editable: nothing typed is lost
    QCOMPARE(ds.fieldByName(QStringLiteral("ID")).asInteger(), qint64(4));
    QCOMPARE(ds.recordCount(), 3);
    // Moving away tries to post, fails the same way and stays put.
    QVERIFY_THROWS_EXCEPTION(EOvError, ds.first());
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("D"));
    ds.post();
    QCOMPARE(ds.recordCount(), 4);

    ds.beforeDelete = [](TClientDataSet &) { throw EAbort(); };
    QVERIFY_THROWS_EXCEPTION(EAbort, ds.deleteRecord());
    QCOMPARE(ds.recordCount(), 4);

    ds.first();
    ds.beforeScroll = [](TClientDataSet &) { throw EAbort(); };
    QVERIFY_THROWS_EXCEPTION(EAbort, ds.next());
    QCOMPARE(ds.recNo(), 1);

    ds.beforeScroll = nullptr;
    ds.onNewRecord = [](TClientDataSet &) { throw EAbort(); };
    QVERIFY_THROWS_EXCEPTION(EAbort, ds.append());
    QCOMPARE(ds.state(), TDataSetState::Browse);
    ds.onNewRecord = nullptr;

    ds.beforeOpen = [](TClientDataSet &) { throw EAbort(); };
    ds.close();
    QVERIFY_THROWS_EXCEPTION(EAbort, ds.open());
    QVERIFY(!ds.active());
}

void TstDataSetCore::navigationFlags()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.first();
    QVERIFY(ds.bof());
    QVERIFY(!ds.eof());
    QCOMPARE(ds.recNo(), 1);
    ds.next();
    QVERIFY(!ds.bof());
    ds.last();
    QVERIFY(ds.eof());
    QCOMPARE(ds.recNo(), 3);
    ds.prior();
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(ds.moveBy(5), 1);
    QVERIFY(ds.eof());
    QCOMPARE(ds.moveBy(-10), -2);
    QVERIFY(ds.bof());
    ds.setRecNo(3);
    QCOMPARE(ds.fieldByName(QStringLiteral("ID")).asInteger(), qint64(3));
    ds.setRecNo(99); // out of range: ignored
    QCOMPARE(ds.recNo(), 3);
    ds.emptyDataSet();
    QVERIFY(ds.eof() && ds.bof() && ds.isEmpty());
    QCOMPARE(ds.recNo(), 0);
    QVERIFY(ds.fieldByName(QStringLiteral("ID")).isNull());
}

void TstDataSetCore::threeFieldIndexWithTiesAndDescending()
{
    TClientDataSet ds;
    ds.addFieldDef(QStringLiteral("TAG"), TFieldType::String, 5);
    ds.addFieldDef(QStringLiteral("A"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("B"), TFieldType::String, 10);
    ds.addFieldDef(QStringLiteral("C"), TFieldType::Currency);
    ds.createDataSet();
    const QList<QVariantList> rows = {
        {"r1", 2, "b", "1"},  {"r2", 1, "z", "5"},   {"r3", 2, "a", "9"},  {"r4", 2, "B", "1"},
        {"r5", 1, "z", "-5"}, {"r6", 2, "b", "1"},   {"r7", QVariant(), "a", "0"}, {"r8", 1, QVariant(), "3"},
        {"r9", 2, "A", "9"},
    };
    for (const auto &r : rows)
        ds.appendRecord(r);

    // Ascending; text ignores case; ties (r1,r4,r6 and r3,r9) keep insertion order; nulls first.
    ds.setIndexFieldNames(QStringLiteral("A;B;C"));
    QCOMPARE(column(ds, "TAG"), (QStringList{"r7", "r8", "r5", "r2", "r3", "r9", "r1", "r4", "r6"}));

    // B descending: within each A, B from z to a, nulls last; ties still in insertion order.
    ds.setIndexFieldNames(QStringLiteral("a;b;c"), QStringLiteral("B"));
    QCOMPARE(column(ds, "TAG"), (QStringList{"r7", "r5", "r2", "r8", "r1", "r4", "r6", "r3", "r9"}));

    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.setIndexFieldNames(QStringLiteral("A;Nope")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.setIndexFieldNames(QStringLiteral("A"), QStringLiteral("C")));
    QCOMPARE(ds.indexFieldNames(), QStringLiteral("a;b;c")); // a refused index leaves the old one

    ds.setIndexFieldNames(QString());
    QCOMPARE(column(ds, "TAG"), (QStringList{"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9"}));
}

void TstDataSetCore::indexIsKeptWhenRowsChange()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.setIndexFieldNames(QStringLiteral("NAME"), QStringLiteral("NAME"));
    QCOMPARE(column(ds, "NAME"), (QStringList{"C", "B", "A"}));
    ds.appendRecord({4, QStringLiteral("BB")});
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("BB")); // cursor on the new row
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(column(ds, "NAME"), (QStringList{"C", "BB", "B", "A"}));
    ds.last(); // "A" -> "Z" moves to the top and stays current
    ds.edit();
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("Z"));
    ds.post();
    QCOMPARE(ds.recNo(), 1);
    QCOMPARE(ds.fieldByName(QStringLiteral("ID")).asInteger(), qint64(1));
    QCOMPARE(column(ds, "NAME"), (QStringList{"Z", "C", "BB", "B"}));
}

void TstDataSetCore::bookmarksSurviveResortAndFilter()
{
    TClientDataSet ds;
    makePeople(ds);
    QVERIFY(ds.locate(QStringLiteral("ID"), 2));
    const TBookmark b = ds.bookmark();
    ds.setIndexFieldNames(QStringLiteral("ID"), QStringLiteral("ID"));
    QCOMPARE(ds.fieldByName(QStringLiteral("ID")).asInteger(), qint64(2)); // the index keeps the current row
    ds.first();
    ds.gotoBookmark(b);
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("B"));
    QCOMPARE(ds.recNo(), 2);

    ds.setFilter(QStringLiteral("ID <> 2"));
    ds.setFiltered(true);
    QVERIFY(!ds.bookmarkValid(b));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.gotoBookmark(b));
    ds.setFiltered(false);
    QVERIFY(ds.bookmarkValid(b));
    ds.appendRecord({9, QStringLiteral("top")}); // sorts before: position changes, bookmark does not
    ds.gotoBookmark(b);
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("B"));

    ds.deleteRecord();
    QVERIFY(!ds.bookmarkValid(b));
    ds.cancelUpdates();
    QVERIFY(ds.bookmarkValid(b));
    // New data: old bookmarks die.
    ds.emptyDataSet();
    ds.appendRecord({2, QStringLiteral("B")});
    QVERIFY(!ds.bookmarkValid(b));
}

void TstDataSetCore::locateOnTwoFields()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.appendRecord({2, QStringLiteral("Bianchi")});
    ds.appendRecord({3, QStringLiteral("b")});
    ds.first();
    QVERIFY(ds.locate(QStringLiteral("ID;NAME"), QVariantList{2, QStringLiteral("Bianchi")}));
    QCOMPARE(ds.recNo(), 4);
    QVERIFY(!ds.locate(QStringLiteral("ID;NAME"), QVariantList{2, QStringLiteral("bianchi")}));
    QCOMPARE(ds.recNo(), 4); // not found: the cursor stays
    QVERIFY(ds.locate(QStringLiteral("id;name"), QVariantList{QStringLiteral("3"), QStringLiteral("B")},
                      TLocateOption::CaseInsensitive));
    QCOMPARE(ds.recNo(), 5);
    QVERIFY(ds.locate(QStringLiteral("ID;NAME"), QVariantList{2, QStringLiteral("bia")},
                      TLocateOption::CaseInsensitive | TLocateOption::PartialKey));
    QCOMPARE(ds.recNo(), 4);
    // A search text longer than the field never matches by being cut.
    QVERIFY(!ds.locate(QStringLiteral("NAME"), QStringLiteral("Bianchi-Rossi")));
    QVERIFY(ds.locate(QStringLiteral("AMT"), QStringLiteral("3")));
    QCOMPARE(ds.recNo(), 3);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.locate(QStringLiteral("ID;NAME"), 2));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.locate(QStringLiteral("ID"), QStringLiteral("due")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.locate(QStringLiteral("NOPE"), 1));
    // Filtered rows are not found.
    ds.setFilter(QStringLiteral("NAME <> 'Bianchi'"));
    ds.setFiltered(true);
    QVERIFY(!ds.locate(QStringLiteral("ID;NAME"), QVariantList{2, QStringLiteral("Bianchi")}));
    QVERIFY(ds.locate(QStringLiteral("ID"), QVariantList{2}));
    QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("B"));
}

void TstDataSetCore::lookupDoesNotMove()
{
    TClientDataSet ds;
    makePeople(ds);
    ds.first();
    QCOMPARE(ds.lookup(QStringLiteral("ID"), 3, QStringLiteral("NAME")).toString(), QStringLiteral("C"));
    const QVariantList both = ds.lookup(QStringLiteral("NAME"), QStringLiteral("B"), QStringLiteral("ID;AMT")).toList();
    QCOMPARE(both.value(0).toInt(), 2);
    QCOMPARE(both.value(1).value<Currency>(), money("2"));
    QVERIFY(!ds.lookup(QStringLiteral("ID"), 99, QStringLiteral("NAME")).isValid());
    QCOMPARE(ds.recNo(), 1);
}

void TstDataSetCore::insertGoesBeforeCurrentRow()
{
    TClientDataSet ds;
    makePeople(ds);
    QVERIFY(ds.locate(QStringLiteral("ID"), 2));
    ds.insert();
    ds.fieldByName(QStringLiteral("ID")).setAsInteger(15);
    ds.post();
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(column(ds, "ID"), (QStringList{"1", "15", "2", "3"}));
    // A posted row the filter hides disappears from view, not from the data.
    ds.setFilter(QStringLiteral("ID < 10"));
    ds.setFiltered(true);
    ds.appendRecord({50, QStringLiteral("hidden")});
    QCOMPARE(ds.recordCount(), 3);
    ds.setFiltered(false);
    QCOMPARE(ds.recordCount(), 5);
}

void TstDataSetCore::closeKeepsRowsAndOpenHookRuns()
{
    // A query dataset fills its rows in openData().
    class Query : public TClientDataSet
    {
    public:
        int opened = 0;
        void load(qint64 k) { addLoadedRow({k}); }

    protected:
        void openData() override
        {
            ++opened;
            setFieldDefs({{QStringLiteral("K"), TFieldType::Integer, 0}});
            clearRows();
            const qint64 k = params().paramByName(QStringLiteral("k")).asInteger();
            addLoadedRow({k});
            addLoadedRow({k + 1});
        }
    };
    Query q;
    q.setCommandText(QStringLiteral("SELECT K FROM T WHERE K >= :K"));
    q.paramByName(QStringLiteral("K")).setAsInteger(7);
    q.open();
    QCOMPARE(q.opened, 1);
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.changeCount(), 0);
    QCOMPARE(q.fieldByName(QStringLiteral("K")).asInteger(), qint64(7));
    // A row loaded while open takes its place in index order; the current row
    // stays current.
    q.setIndexFieldNames(QStringLiteral("K"));
    q.last();
    q.load(1);
    QCOMPARE(q.recordCount(), 3);
    QCOMPARE(q.recNo(), 3);
    QCOMPARE(q.fieldByName(QStringLiteral("K")).asInteger(), qint64(8));
    q.first();
    QCOMPARE(q.fieldByName(QStringLiteral("K")).asInteger(), qint64(1));

    TClientDataSet ds;
    makePeople(ds);
    ds.close();
    QCOMPARE(ds.recordCount(), 0);
    ds.open();
    QCOMPARE(ds.recordCount(), 3);
}

void TstDataSetCore::commandTextBuildsParameters()
{
    TClientDataSet ds;
    ds.setCommandText(QStringLiteral(
        "SELECT a::text, '10:30' FROM t -- :COMMENTED\nWHERE x = :IANFID AND y = :Mese AND z = :ianfid /* :NO */"));
    QCOMPARE(ds.params().count(), 2);
    QCOMPARE(ds.params()[0].name(), QStringLiteral("IANFID"));
    ds.paramByName(QStringLiteral("mese")).setAsInteger(3);
    QCOMPARE(ds.paramByName(QStringLiteral("MESE")).dataType(), TFieldType::Integer);
    // Values of names that stay are kept when the text changes.
    ds.setCommandText(QStringLiteral("SELECT * FROM t WHERE m = :MESE AND q = :NEW"));
    QCOMPARE(ds.paramByName(QStringLiteral("Mese")).value().toInt(), 3);
    QVERIFY(ds.paramByName(QStringLiteral("NEW")).isNull());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.paramByName(QStringLiteral("IANFID")));
}

QTEST_GUILESS_MAIN(TstDataSetCore)

#include "tst_dataset_core.moc"
