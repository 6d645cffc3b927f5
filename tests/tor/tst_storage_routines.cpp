#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvParamManager.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/store/TorStoreValues.h"
#include "tor/util/TorUUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QTest>

namespace {

void makeYearTable(TClientDataSet &ds, const QStringList &years)
{
    ds.clearFieldDefs();
    ds.addFieldDef(QStringLiteral("SCUAANNOFIN"), TFieldType::String, 4);
    ds.createDataSet();
    for (const QString &y : years)
        ds.appendRecord({y});
}

QStringList yearsIn(const QString &file)
{
    TClientDataSet ds;
    ds.loadFromFile(file);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QStringLiteral("SCUAANNOFIN")).asString();
    return out;
}

// A dataset whose "query" counts how often it was opened and returns one row
// holding the parameter value.
class CountingQuery : public TClientDataSet
{
public:
    int opens = 0;
    CountingQuery()
    {
        addFieldDef(QStringLiteral("IANFID"), TFieldType::Integer);
        setCommandText(QStringLiteral("SELECT IANFID FROM X WHERE IANFID = :IANFID"));
    }

protected:
    void openData() override
    {
        ++opens;
        clearRows();
        if (!paramByName(QStringLiteral("IANFID")).isNull())
            addLoadedRow({paramByName(QStringLiteral("IANFID")).value()});
    }
};

} // namespace

class TestStorageRoutines : public QObject
{
    Q_OBJECT
private slots:
    // An amount read back as a number (SQLite) is the amount its shortest
    // text says, or the double's own value when that text is not an amount:
    // whole amounts, cents, four decimals, exponent forms, more decimals than
    // an amount holds, the largest amounts.
    void storedAmountsReadAsTheirText()
    {
        QList<double> values = {0.0, -0.0, 1.0, 0.01, 0.1 + 0.2, 1234.56, -1234.56, 1e6, 2.5e7, 12345678.9876,
                                0.0001, 5e-05, 1.23456, 0.00015, 99999999999.9999, -99999999999.9999, 1e11,
                                123456789012.34, 8.99e14};
        QRandomGenerator random(27);
        for (int i = 0; i < 2000; ++i) {
            const qint64 units = qint64(random.bounded(2000000000)) * (i % 3 == 0 ? 100 : 1) - 1000000000;
            values << double(units) / (i % 2 ? 100.0 : 10000.0);
        }
        for (double d : values) {
            const QVariant got = TorStore::loadedValue(TFieldType::Currency, d);
            const std::optional<Currency> parsed = Currency::parse(QVariant(d).toString().trimmed());
            const Currency want = parsed ? *parsed : Currency::fromDouble(d);
            QVERIFY2(got.value<Currency>() == want, qPrintable(QString::number(d, 'g', 17)));
        }
    }
    void saveWithBackupReplacesFileAndRemovesBackup()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds"));
        TClientDataSet ds;
        makeYearTable(ds, {QStringLiteral("2024")});
        TorUtil::saveWithBackup(ds, file); // first save: no file to back up
        ds.edit();
        ds.fieldByName(QStringLiteral("SCUAANNOFIN")).setAsString(QStringLiteral("2025"));
        ds.post();
        QCOMPARE(ds.changeCount(), 1);
        TorUtil::saveWithBackup(ds, file);
        QCOMPARE(ds.changeCount(), 0); // the change log was merged
        QCOMPARE(yearsIn(file), QStringList{QStringLiteral("2025")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("TCUA_ANNOFIN.BAK"))));
        QCOMPARE(TorUtil::backupFileName(file), dir.filePath(QStringLiteral("TCUA_ANNOFIN.BAK")));
    }

    void backupThatCannotBeMadeKeepsTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds"));
        TClientDataSet ds;
        makeYearTable(ds, {QStringLiteral("2024")});
        TorUtil::saveWithBackup(ds, file);
        // A folder with content where the backup should go: no rename can take it
        // (this holds even for root, unlike permissions).
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("TCUA_ANNOFIN.BAK/inside")));
        ds.appendRecord({QStringLiteral("2026")});
        try {
            TorUtil::saveWithBackup(ds, file);
            QFAIL("the save went through without a backup");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile creare file di backup: ")
                                      + dir.filePath(QStringLiteral("TCUA_ANNOFIN.BAK")));
        }
        QCOMPARE(yearsIn(file), QStringList{QStringLiteral("2024")});
        QCOMPARE(ds.changeCount(), 1); // nothing merged: the change is still pending
    }

    void staleBackupDoesNotBlockTheSave()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("x.cds"));
        TClientDataSet ds;
        makeYearTable(ds, {QStringLiteral("2024")});
        TorUtil::saveWithBackup(ds, file);
        QFile stale(dir.filePath(QStringLiteral("x.BAK")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("left by a crash");
        stale.close();
        ds.appendRecord({QStringLiteral("2025")});
        TorUtil::saveWithBackup(ds, file);
        QCOMPARE(yearsIn(file), (QStringList{QStringLiteral("2024"), QStringLiteral("2025")}));
        QVERIFY(!QFile::exists(stale.fileName()));
    }

    void failedSavePutsTheOldFileBack()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("y.cds"));
        TClientDataSet ds;
        makeYearTable(ds, {QStringLiteral("2024")});
        TorUtil::saveWithBackup(ds, file);
        ds.appendRecord({QStringLiteral("2025")});
        // A before-post handler that refuses: saveToFile posts the pending edit first.
        ds.append();
        ds.fieldByName(QStringLiteral("SCUAANNOFIN")).setAsString(QStringLiteral("2026"));
        ds.beforePost = [](TClientDataSet &) { throw EOvError(QStringLiteral("rifiutato")); };
        QVERIFY_THROWS_EXCEPTION(EOvError, TorUtil::saveWithBackup(ds, file));
        QCOMPARE(yearsIn(file), QStringList{QStringLiteral("2024")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("y.BAK"))));
    }

    void monthBounds()
    {
        QCOMPARE(TorUtil::firstDayOfMonth(2025, 2), QDate(2025, 2, 1));
        QCOMPARE(TorUtil::lastDayOfMonth(2025, 2), QDate(2025, 2, 28));
        QCOMPARE(TorUtil::lastDayOfMonth(2024, 2), QDate(2024, 2, 29));
        QCOMPARE(TorUtil::lastDayOfMonth(2025, 12), QDate(2025, 12, 31));
        QVERIFY(!TorUtil::lastDayOfMonth(2025, 13).isValid());
    }

    void reopenOnlyWhenTheKeyChanges()
    {
        CountingQuery q;
        QVERIFY(TorUtil::reopenOnKey(q, QStringLiteral("IANFID"), 56)); // closed: opens
        QCOMPARE(q.opens, 1);
        QVERIFY(!TorUtil::reopenOnKey(q, QStringLiteral("IANFID"), 56)); // same key: stays
        QCOMPARE(q.opens, 1);
        QVERIFY(TorUtil::reopenOnKey(q, QStringLiteral("IANFID"), 56, true)); // forced
        QVERIFY(TorUtil::reopenOnKey(q, QStringLiteral("IANFID"), 57)); // new key
        QCOMPARE(q.opens, 3);
        QCOMPARE(q.fieldByName(QStringLiteral("IANFID")).asInteger(), 57);
    }

    void valuesOrDefaults()
    {
        TClientDataSet ds;
        ds.addFieldDef(QStringLiteral("S"), TFieldType::String, 10);
        ds.addFieldDef(QStringLiteral("I"), TFieldType::Integer);
        ds.addFieldDef(QStringLiteral("F"), TFieldType::Currency);
        ds.addFieldDef(QStringLiteral("D"), TFieldType::Date);
        ds.createDataSet();
        ds.appendRecord({QVariant(), QVariant(), QVariant(), QVariant()});
        QCOMPARE(TorUtil::fieldValueOrDefault(ds, QStringLiteral("S")).toString(), QString());
        QCOMPARE(TorUtil::fieldValueOrDefault(ds, QStringLiteral("S")).typeId(), QMetaType::QString);
        QCOMPARE(TorUtil::fieldValueOrDefault(ds, QStringLiteral("I")).toLongLong(), 0);
        QCOMPARE(TorUtil::fieldValueOrDefault(ds, QStringLiteral("F")).value<Currency>(), Currency());
        QCOMPARE(TorUtil::fieldValueOrDefault(ds, QStringLiteral("I"), 7).toInt(), 7);
        QVERIFY(TorUtil::fieldValueOrDefault(ds, QStringLiteral("D")).isNull());
        ds.mergeChangeLog();

        // In the change log: a deleted row answers with its old values, an edited
        // one with its new values, also when the edit cleared the field.
        ds.edit();
        ds.fieldByName(QStringLiteral("S")).setAsString(QStringLiteral("prima"));
        ds.post();
        ds.mergeChangeLog();
        ds.edit();
        ds.fieldByName(QStringLiteral("S")).clear();
        ds.post();
        QCOMPARE(TorUtil::fieldValueOrDefault(ds.delta().at(0), QStringLiteral("S"), QStringLiteral("def")).toString(),
                 QStringLiteral("def"));
        ds.cancelUpdates();
        ds.deleteRecord();
        QCOMPARE(TorUtil::fieldValueOrDefault(ds.delta().at(0), QStringLiteral("S")).toString(), QStringLiteral("prima"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TorUtil::fieldValueOrDefault(ds.delta().at(0), QStringLiteral("X")));
    }

    void conditionsAndWorkgroup()
    {
        QCOMPARE(TorUtil::conditionJoin(QString(), QStringLiteral("IAFIID = 5")), QStringLiteral("IAFIID = 5"));
        QCOMPARE(TorUtil::conditionJoin(QStringLiteral("IAFIID = 5"), QStringLiteral("SCUDMESE='12'")),
                 QStringLiteral("IAFIID = 5 AND SCUDMESE='12'"));
        QCOMPARE(TorUtil::conditionJoin(QStringLiteral("A=1"), QString()), QStringLiteral("A=1"));

        QCOMPARE(TorUtil::workgroupId(), 0);
        TOvParamManager pm;
        pm.declare(QStringLiteral("OVUP_DwgId"), QStringLiteral("OVUC_Params"), 12);
        setOvMainParams(&pm);
        QCOMPARE(TorUtil::workgroupId(), 12);
        setOvMainParams(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestStorageRoutines)
#include "tst_storage_routines.moc"
