// The grid model over a client dataset, headless: rows, display texts, the
// row colour hook, sorting from the header, and following dataset changes.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TDataSetModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

void makeCu(TClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("SCUDCOGNOME"), TFieldType::String, 40);
    ds.addFieldDef(QStringLiteral("FCUDIMPORTO"), TFieldType::Currency);
    ds.addFieldDef(QStringLiteral("DCUDDATA"), TFieldType::Date);
    ds.addFieldDef(QStringLiteral("iCudStato"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("LATTIVO"), TFieldType::Boolean);
    ds.createDataSet();
    ds.appendRecord({"Rossi", "1200.5", QDate(2025, 1, 31), 0, true});
    ds.appendRecord({"Bianchi", "-3.1234", QDate(2024, 12, 1), 1, false});
    ds.appendRecord({"Verdi", "1234567", QVariant(), 0, QVariant()});
    ds.mergeChangeLog();
    ds.first();
}

QStringList columnTexts(const QAbstractItemModel &m, int column)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.data(m.index(r, column)).toString();
    return out;
}

} // namespace

class TstDataSetModel : public QObject
{
    Q_OBJECT
private slots:
    void rowsColumnsAndTexts();
    void rowColourHookDoesNotMoveTheCursor();
    void headerClickSortsTheDataSet();
    void followsDataSetChanges();
    void chosenColumnsWithTitles();
};

void TstDataSetModel::rowsColumnsAndTexts()
{
    TClientDataSet ds;
    makeCu(ds);
    TDataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("SCUDCOGNOME"));
    QCOMPARE(columnTexts(model, 1), (QStringList{"1.200,50", "-3,1234", "1.234.567,00"}));
    QCOMPARE(columnTexts(model, 2), (QStringList{"31/01/2025", "01/12/2024", ""}));
    QCOMPARE(columnTexts(model, 4), (QStringList{"Sì", "No", ""}));
    QCOMPARE(model.data(model.index(0, 1), Qt::EditRole).value<Currency>(), *Currency::parse(u"1200.5"));
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!model.data(model.index(5, 0)).isValid());
}

void TstDataSetModel::rowColourHookDoesNotMoveTheCursor()
{
    TClientDataSet ds;
    makeCu(ds);
    int scrolls = 0;
    ds.afterScroll = [&scrolls](TClientDataSet &) { ++scrolls; };
    ds.first();
    scrolls = 0;
    // Printed (locked) CUs are drawn in red.
    TDataSetModel model(&ds);
    model.setRowColor([](TClientDataSet &d) {
        return d.fieldByName(QStringLiteral("iCudStato")).asInteger() == 1 ? QColor(Qt::red) : QColor();
    });
    ds.edit(); // the hook reads the row it is asked about, not the edit buffer
    ds.fieldByName(QStringLiteral("iCudStato")).setAsInteger(1);
    QVERIFY(!model.data(model.index(0, 0), Qt::ForegroundRole).isValid());
    QCOMPARE(model.data(model.index(1, 3), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    QVERIFY(!model.data(model.index(2, 0), Qt::ForegroundRole).isValid());
    QCOMPARE(ds.state(), TDataSetState::Edit);
    QCOMPARE(ds.fieldByName(QStringLiteral("iCudStato")).asInteger(), qint64(1));
    ds.post();
    QCOMPARE(model.data(model.index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    QCOMPARE(ds.recNo(), 1);
    QCOMPARE(scrolls, 0);
}

void TstDataSetModel::headerClickSortsTheDataSet()
{
    TClientDataSet ds;
    makeCu(ds);
    TDataSetModel model(&ds);
    QTableView view;
    view.setModel(&model);
    view.setSortingEnabled(true);
    view.sortByColumn(-1, Qt::AscendingOrder);
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QHeaderView *header = view.horizontalHeader();
    const QPoint surname(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, surname);
    const QString first = ds.indexFieldNames();
    QCOMPARE(first, QStringLiteral("SCUDCOGNOME"));
    const QStringList asc = columnTexts(model, 0);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, surname);
    QCOMPARE(ds.indexFieldNames(), QStringLiteral("SCUDCOGNOME"));
    QCOMPARE(ds.indexDescFields(), QStringLiteral("SCUDCOGNOME"));
    const QStringList desc = columnTexts(model, 0);
    QCOMPARE(asc.size(), 3);
    // Whatever order the header started from, the two clicks give both directions.
    QStringList expectedAsc{"Bianchi", "Rossi", "Verdi"};
    QStringList expectedDesc{"Verdi", "Rossi", "Bianchi"};
    QVERIFY((asc == expectedAsc && desc == expectedDesc) || (asc == expectedDesc && desc == expectedAsc));

    // The model's own toggle.
    model.toggleSort(1);
    QCOMPARE(ds.indexFieldNames(), QStringLiteral("FCUDIMPORTO"));
    QVERIFY(ds.indexDescFields().isEmpty());
    QCOMPARE(columnTexts(model, 0), (QStringList{"Bianchi", "Rossi", "Verdi"}));
    model.toggleSort(1);
    QCOMPARE(columnTexts(model, 0), (QStringList{"Verdi", "Rossi", "Bianchi"}));
}

void TstDataSetModel::followsDataSetChanges()
{
    TClientDataSet ds;
    makeCu(ds);
    TDataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);

    ds.appendRecord({"Neri", "5"});
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.data(model.index(3, 0)).toString(), QStringLiteral("Neri"));

    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("Rossini"));
    ds.post();
    QVERIFY(changed.size() >= 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Rossini"));

    ds.setIndexFieldNames(QStringLiteral("SCUDCOGNOME"));
    QCOMPARE(reset.size(), 1);
    QCOMPARE(columnTexts(model, 0), (QStringList{"Bianchi", "Neri", "Rossini", "Verdi"}));
    ds.first(); // Bianchi -> Zanetti moves to the end
    ds.edit();
    ds.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("Zanetti"));
    ds.post();
    QCOMPARE(moved.size(), 1);
    QCOMPARE(columnTexts(model, 0), (QStringList{"Neri", "Rossini", "Verdi", "Zanetti"}));

    ds.first();
    ds.deleteRecord();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(columnTexts(model, 0), (QStringList{"Rossini", "Verdi", "Zanetti"}));

    ds.setFilter(QStringLiteral("FCUDIMPORTO > 0"));
    ds.setFiltered(true);
    QCOMPARE(columnTexts(model, 0), (QStringList{"Rossini", "Verdi"}));

    // Bulk changes with controls disabled: one reset at the end.
    reset.clear();
    inserted.clear();
    ds.disableControls();
    for (int i = 0; i < 10; ++i)
        ds.appendRecord({QStringLiteral("N%1").arg(i), "1"});
    QCOMPARE(model.rowCount(), 2);
    ds.enableControls();
    QCOMPARE(inserted.size(), 0);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(model.rowCount(), 12);

    ds.close();
    QCOMPARE(model.rowCount(), 0);
}

void TstDataSetModel::chosenColumnsWithTitles()
{
    TClientDataSet ds;
    makeCu(ds);
    TDataSetModel model(&ds);
    model.setColumns({{QStringLiteral("fcudimporto"), QStringLiteral("Importo"), 120},
                      {QStringLiteral("SCUDCOGNOME"), QString(), 0}});
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Importo"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("SCUDCOGNOME"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::SizeHintRole).toSize().width(), 120);
    // A grid's header shows its titles: the hint's height is the text's.
    QVERIFY(model.headerData(0, Qt::Horizontal, Qt::SizeHintRole).toSize().height()
            >= QFontMetrics(QGuiApplication::font()).height());
    QTableView grid;
    grid.setModel(&model);
    QVERIFY(grid.horizontalHeader()->sizeHint().height() >= QFontMetrics(QGuiApplication::font()).height());
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("Bianchi"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, model.setColumns({{QStringLiteral("NOPE"), QString(), 0}}));
}

QTEST_MAIN(TstDataSetModel)
#include "tst_dataset_model.moc"
