// Financial year: keys, folders, the remembered year and the dialog's OK,
// the payroll run file.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/params/RagParIni.h"
#include "src/prj/unit/shell/VelAnnoFin.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray yearFile(const QStringList &years)
{
    QByteArray out = "{\"format\":\"velcu-dataset\",\"fields\":[{\"name\":\"SCUAANNOFIN\",\"type\":\"String\",\"size\":4}],\"rows\":[";
    for (int i = 0; i < years.size(); ++i)
        out += (i ? ",[\"" : "[\"") + years.at(i).toUtf8() + "\"]";
    return out + "]}";
}

QStringList yearsIn(const QString &path)
{
    TClientDataSet ds;
    ds.loadFromFile(path);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QStringLiteral("SCUAANNOFIN")).asString();
    return out;
}
} // namespace

class TestFinancialYear : public QObject
{
    Q_OBJECT
private slots:
    void yearKeys()
    {
        QCOMPARE(TorAnni::toKey(2025), 56);
        QCOMPARE(TorAnni::toKey(2019), 50);
        QCOMPARE(TorAnni::toKey(56), 56); // already a key
        QCOMPARE(TorAnni::toYear(56), 2025);
        QCOMPARE(TorAnni::toYear(2025), 2025);
        QCOMPARE(TorAnni::toYear(TorAnni::toKey(2026)), 2026);
    }

    void foldersFollowTheInstallationRoot()
    {
        QTemporaryDir root;
        qputenv("VELCU_STAGE_DIR", root.path().toUtf8());
        QCOMPARE(TorFolders::mainDir(), root.path() + QStringLiteral("/"));
        QCOMPARE(TorFolders::programDir(), root.path() + QStringLiteral("/bin/"));
        QCOMPARE(TorFolders::etcDir(), root.path() + QStringLiteral("/etc/rag/"));
        QCOMPARE(TorFolders::resDir(), root.path() + QStringLiteral("/USR/KZ2025/Res/"));
        QCOMPARE(TorFolders::tabelleDir(), root.path() + QStringLiteral("/USR/KZ2025/Res/Tabelle/"));
        QCOMPARE(TorFolders::stpDir(), root.path() + QStringLiteral("/USR/KZ2025/Stp/"));
        QVERIFY(QDir(TorFolders::usrDir()).exists()); // created when missing
        qunsetenv("VELCU_STAGE_DIR");
    }

    void filesAreFoundWhateverTheCaseOfTheirName()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Tabelle")));
        writeFile(dir.filePath(QStringLiteral("Tabelle/TNOT_NOTE.cds")), "x");
        const QString expected = dir.filePath(QStringLiteral("Tabelle/TNOT_NOTE.cds"));
        QCOMPARE(TorFolders::resolveFile(dir.path(), QStringLiteral("tabelle/TNOT_NOTE.CDS")), expected);
        QCOMPARE(TorFolders::resolveFile(dir.path(), QStringLiteral("Tabelle\\tnot_note.cds")), expected);
        // A file that does not exist keeps the name it was asked by.
        QCOMPARE(TorFolders::resolveFile(dir.path(), QStringLiteral("Tabelle/NUOVO.cds")),
                 dir.filePath(QStringLiteral("Tabelle/NUOVO.cds")));
    }

    void theRememberedYearIsTheLastRow()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds")), yearFile({QStringLiteral("2026"), QStringLiteral("2025")}));
        TClientDataSet ds;
        const VelAnnoFin::Remembered r = VelAnnoFin::load(ds, dir.path());
        QCOMPARE(r.year, QStringLiteral("2025"));
        QVERIFY(r.warning.isEmpty());
    }

    void aMissingEmptyOrBrokenYearFileStartsFrom2025()
    {
        QTemporaryDir dir;
        TClientDataSet ds;
        VelAnnoFin::Remembered r = VelAnnoFin::load(ds, dir.path());
        QCOMPARE(r.year, QStringLiteral("2025"));
        QVERIFY(r.warning.contains(QStringLiteral("non trovato")));

        writeFile(dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds")), yearFile({}));
        r = VelAnnoFin::load(ds, dir.path());
        QCOMPARE(r.year, QStringLiteral("2025"));
        QVERIFY(r.warning.contains(QStringLiteral("vuoto")));

        writeFile(dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds")), "PK\x03\x04 non è un file dell'anno");
        r = VelAnnoFin::load(ds, dir.path());
        QCOMPARE(r.year, QStringLiteral("2025"));
        QVERIFY(r.warning.contains(QStringLiteral("non leggibile")));
        // The dialog can still confirm a year, which writes a sound file.
        VelAnnoFin::confirm(QStringLiteral("2026"), ds, nullptr, dir.path());
        QCOMPARE(yearsIn(dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds"))), QStringList{QStringLiteral("2026")});
    }

    void confirmAcceptsOnlyTheExactYears_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("space before") << " 2025";
        QTest::newRow("space after") << "2025 ";
        QTest::newRow("earlier") << "2024";
        QTest::newRow("later") << "2027";
        QTest::newRow("empty") << "";
        QTest::newRow("two digits") << "25";
    }
    void confirmAcceptsOnlyTheExactYears()
    {
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds"));
        writeFile(file, yearFile({QStringLiteral("2025")}));
        TClientDataSet ds;
        VelAnnoFin::load(ds, dir.path());
        TTorDBCds store;
        store.setYear(2019);
        store.setMonth(3);
        try {
            VelAnnoFin::confirm(text, ds, &store, dir.path());
            QFAIL("a wrong year was accepted");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("L'anno finanziario deve essere compreso tra 2025 e 2026."));
        }
        QCOMPARE(store.year(), 2019);
        QCOMPARE(store.month(), 3);
        QCOMPARE(yearsIn(file), QStringList{QStringLiteral("2025")});
    }

    void confirmSetsTheStoreAndRewritesTheLastRow()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("TCUA_ANNOFIN.cds"));
        writeFile(file, yearFile({QStringLiteral("2024"), QStringLiteral("2025")}));
        TClientDataSet ds;
        VelAnnoFin::load(ds, dir.path());
        TTorDBCds store;
        VelAnnoFin::confirm(QStringLiteral("2026"), ds, &store, dir.path());
        QCOMPARE(store.year(), 2026);
        QCOMPARE(store.month(), -1);
        QCOMPARE(yearsIn(file), (QStringList{QStringLiteral("2024"), QStringLiteral("2026")}));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("TCUA_ANNOFIN.BAK"))));
        TClientDataSet again;
        QCOMPARE(VelAnnoFin::load(again, dir.path()).year, QStringLiteral("2026"));
    }

    void payrollRunFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("RagPar.ini"));
        TRagLiqCorrente none = RagParIni::read(2025, ini);
        QCOMPARE(none.id, 0);
        QCOMPARE(none.mese, 0);
        QVERIFY(!none.isSet());
        RagParIni::write(2025, TRagLiqCorrente{3, 17, 12}, ini);
        RagParIni::write(2026, TRagLiqCorrente{1, 2, 13}, ini);
        const TRagLiqCorrente r = RagParIni::read(2025, ini);
        QCOMPARE(r.gruppo, 3);
        QCOMPARE(r.id, 17);
        QCOMPARE(r.mese, 12);
        QVERIFY(r.isSet());
        QVERIFY(!RagParIni::read(2026, ini).isSet()); // month 13 is no month
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("[LIQ_CORRENTE2025]"));
    }
};

QTEST_GUILESS_MAIN(TestFinancialYear)
#include "tst_financial_year.moc"
