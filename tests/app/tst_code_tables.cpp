// The shipped code tables: every one loads with Codice and Descrizione and
// unique codes, every table a field names is there, every lookup field is wide
// enough for the codes of its table, and the notes table carries the codes
// the import writes.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QSet>
#include <QtTest>

namespace {

int longestCode(TClientDataSet &ds)
{
    int longest = 0;
    for (ds.first(); !ds.eof(); ds.next())
        longest = qMax(longest, int(ds.fieldByName(QStringLiteral("Codice")).asString().size()));
    return longest;
}

}

class TstCodeTables : public QObject
{
    Q_OBJECT
private slots:
    void everyShippedTableIsSound()
    {
        const QDir dir(VelCodeTables::folder());
        const QStringList files = dir.entryList({QStringLiteral("*.cds")}, QDir::Files);
        QVERIFY2(files.size() >= 46, qPrintable(dir.path()));
        for (const QString &file : files) {
            TClientDataSet ds;
            ds.loadFromFile(dir.filePath(file));
            const TField code = ds.findField(QStringLiteral("Codice"));
            const TField description = ds.findField(QStringLiteral("Descrizione"));
            QVERIFY2(code && code.dataType() == TFieldType::String, qPrintable(file));
            QVERIFY2(description && description.dataType() == TFieldType::String, qPrintable(file));
            QCOMPARE(ds.changeCount(), 0);
            QSet<QString> seen;
            for (ds.first(); !ds.eof(); ds.next()) {
                const QString c = code.asString();
                QVERIFY2(!c.trimmed().isEmpty(), qPrintable(file));
                QVERIFY2(!seen.contains(c), qPrintable(file + QStringLiteral(": ") + c));
                QVERIFY2(!description.asString().trimmed().isEmpty(), qPrintable(file + QStringLiteral(": ") + c));
                seen.insert(c);
            }
        }
    }

    void everyNamedTableIsShipped()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        m.checkCodeTables(VelCodeTables::folder()); // raises, naming what is missing
        const QStringList tables = m.codeTables();
        QVERIFY(tables.size() >= 46);
        for (const char *name : {"TAT8_CODATECO.CDS", "TCOA_CODCARICA.CDS", "TSEE_SOSTITUTOEVENTIECCEZIONALI.CDS",
                                 "TTFO_TIPOFORNIT.CDS", "TNOT_NOTE.cds"})
            QVERIFY2(tables.contains(QLatin1String(name)), name);
    }

    // A code wider than its field would be cut when chosen.
    void lookupFieldsHoldTheirCodes()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        for (const VelStructureDesc &s : m.structures()) {
            for (const VelFieldDesc &f : s.fields) {
                if (f.table.isEmpty() || f.type != TFieldType::String)
                    continue;
                TClientDataSet ds;
                VelCodeTables::load(ds, f.table);
                QVERIFY2(longestCode(ds) <= f.size,
                         qPrintable(QStringLiteral("%1.%2 (%3)").arg(s.name, f.name, f.table)));
            }
        }
    }

    void tablesWithKnownCodes_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("regioni") << "TREG_REGIONI.cds" << QStringList{"01", "03", "18", "21"};
        QTest::newRow("causali") << "TCAU_CAUSALE.CDS" << QStringList{"A", "B", "M", "M1", "P", "ZO"};
        QTest::newRow("tipo fornitore") << "TTFO_TIPOFORNIT.CDS" << QStringList{"01", "10"};
        QTest::newRow("codice carica") << "TCOA_CODCARICA.CDS" << QStringList{"1", "15"};
        // codes the import itself writes
        QTest::newRow("somme non soggette") << "TCOD_CODICE.CDS" << QStringList{"21", "25"};
        QTest::newRow("trattamento integrativo") << "TCOB_CODICEBONUS.cds" << QStringList{"1", "2"};
        QTest::newRow("periodi particolari") << "TPPA_PERIODIPARTICOLARI.cds" << QStringList{"1", "2", "4"};
        QTest::newRow("esclusione precompilata") << "TCEP_CASIESCLPRECOMPILATA.CDS" << QStringList{"2"};
        QTest::newRow("gestioni") << "TGES_GESTIONIASS.cds" << QStringList{"1", "7", "9"};
        QTest::newRow("tipo rapporto") << "TTRA_TIPORAPP.cds" << QStringList{"05", "11"};
        QTest::newRow("redditi esenti") << "TCRE2_CODICIREDDESENTI2.cds" << QStringList{"23"};
        QTest::newRow("tipologie reddituali") << "TPTR_PARTTIPREDD.cds" << QStringList{"1", "6"};
        QTest::newRow("somma fuori reddito") << "TCOT_CODTIPOLOGIA.cds" << QStringList{"1", "2"};
    }
    void tablesWithKnownCodes()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, codes);
        TClientDataSet ds;
        VelCodeTables::load(ds, table);
        for (const QString &c : codes)
            QVERIFY2(ds.locate(QStringLiteral("Codice"), c), qPrintable(table + QStringLiteral(": ") + c));
    }

    // The telematic file and the prints look codes up in the column "CODICE";
    // the import writes "code) note" for AL, AC, CC, AN and the codes AI, ZZ.
    void notesTableCarriesTheImportCodes()
    {
        TClientDataSet notes;
        VelCodeTables::load(notes, QStringLiteral("TNOT_NOTE.CDS"));
        QVERIFY(notes.findField(QStringLiteral("CODICE")));
        QCOMPARE(notes.fieldByName(QStringLiteral("Codice")).size(), 2);
        QCOMPARE(notes.fieldByName(QStringLiteral("Nota")).dataType(), TFieldType::Memo);
        for (const char *code : {"AI", "AL", "AC", "CC", "AN", "ZZ"}) {
            QVERIFY2(notes.locate(QStringLiteral("CODICE"), QLatin1String(code)), code);
            QVERIFY2(!notes.fieldByName(QStringLiteral("Nota")).asString().trimmed().isEmpty(), code);
        }
        QVERIFY(notes.locate(QStringLiteral("Codice"), QStringLiteral("ZZ")));
        QCOMPARE(notes.fieldByName(QStringLiteral("Nota")).asString(),
                 QStringLiteral("Il presente annulla e sostituisce eventuali CUD precedenti"));
        QVERIFY(!notes.locate(QStringLiteral("Codice"), QStringLiteral("BO"))); // a line "BO)" is never a code
    }

    void namesResolveWithoutRegardToCase()
    {
        const QString path = VelCodeTables::resolve(QStringLiteral("tnot_note.CDS"));
        QVERIFY(!path.isEmpty());
        QCOMPARE(QFileInfo(path).dir().absolutePath(), QDir(VelCodeTables::folder()).absolutePath());
        QCOMPARE(VelCodeTables::resolve(QStringLiteral("../Tabelle/TNOT_NOTE.cds")), QString());
        QCOMPARE(VelCodeTables::resolve(QString()), QString());
        TClientDataSet ds;
        try {
            VelCodeTables::load(ds, QStringLiteral("TNONESISTE.cds"));
            QFAIL("a missing table loaded");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Tabella codici non trovata: TNONESISTE.cds"));
        }
    }

    void theBuildStopsOnATableWithoutCodesUnlessItIsPending()
    {
        const QString tool = QStringLiteral(VELCU_STAGE_DIR "/../tools/velcu-codetables");
        if (!QFile::exists(tool))
            QSKIP("velcu-codetables not built");
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tables")));
        const auto write = [&](const QString &name, const QByteArray &text) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write(QStringLiteral("tables/TPIENA.tsv"), "Codice\tDescrizione\n1\tUno\n");
        write(QStringLiteral("tables/TVUOTA.tsv"), "# Da completare.\nCodice\tDescrizione\n");
        QProcess p;
        p.start(tool, {dir.filePath(QStringLiteral("tables")), dir.filePath(QStringLiteral("out"))});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Tabelle senza codici: TVUOTA")));

        write(QStringLiteral("pending.txt"), "# in attesa\nTVUOTA\n");
        p.start(tool, {dir.filePath(QStringLiteral("tables")), dir.filePath(QStringLiteral("out"))});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("TVUOTA non ha ancora codici")));
    }
};

QTEST_GUILESS_MAIN(TstCodeTables)
#include "tst_code_tables.moc"
