// The shipped code tables: every one loads with Codice and Descrizione and
// unique codes, every table a field names is there, every lookup field is wide
// enough for the codes of its table, and the notes table carries the codes
// the import writes. A table awaiting the model's instructions says so in its
// search and is loaded later, checked, with velcu-db tabelle --importa.
#include "support/ScriptedResponder.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/editors/VelLookup.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"

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

    void aTableAwaitingItsCodesSaysSoInItsSearch()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        const VelFieldDesc *pending = nullptr;
        const VelStructureDesc *owner = nullptr;
        for (const VelStructureDesc &st : m.structures())
            for (const VelFieldDesc &f : st.fields)
                if (!pending && f.table.compare(QLatin1String("TNIS_ISCRITTO.CDS"), Qt::CaseInsensitive) == 0) {
                    pending = &f;
                    owner = &st;
                }
        QVERIFY2(pending, "no field looks up TNIS_ISCRITTO");
        TClientDataSet ds;
        m.createDataSet(owner->name, ds);
        ds.append();
        ds.post();
        TDataSource src;
        src.setDataSet(&ds);
        TTorDbEdit edit(&src, pending->name, TorDbKind::Lookup);
        ScriptedResponder responder;
        VelLookup::run(&edit, *pending, nullptr, nullptr);
        QCOMPARE(responder.texts(),
                 QStringList{QStringLiteral("Tabella da completare con le istruzioni del modello: digitare il codice")});
        QCOMPARE(ds.state(), TDataSetState::Edit); // ready for the code typed by hand
        ds.cancel();
    }

    // velcu-db tabelle --importa: a table typed from the instructions replaces
    // the shipped one only when it is entirely right.
    void aTypedTableIsLoadedOnlyWhenSound_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // empty: loaded
        QTest::newRow("loaded") << "TNIS_ISCRITTO.tsv" << QByteArray("# dalle istruzioni\nCodice\tDescrizione\n1\tIscritto\n2\tNon iscritto\n") << "";
        QTest::newRow("header") << "TNIS_ISCRITTO.tsv" << QByteArray("Cod\tDescrizione\n1\tIscritto\n") << "le prime colonne devono essere Codice e Descrizione";
        QTest::newRow("repeated code") << "TNIS_ISCRITTO.tsv" << QByteArray("Codice\tDescrizione\n1\tA\n1\tB\n") << "codice ripetuto \"1\"";
        QTest::newRow("no description") << "TNIS_ISCRITTO.tsv" << QByteArray("Codice\tDescrizione\n1\t \n") << "descrizione vuota per il codice \"1\"";
        QTest::newRow("no code") << "TNIS_ISCRITTO.tsv" << QByteArray("Codice\tDescrizione\n") << "nessun codice";
        QTest::newRow("unknown table") << "TNIS_ISCRITT.tsv" << QByteArray("Codice\tDescrizione\n1\tA\n") << "Tabella codici \"TNIS_ISCRITT\" sconosciuta";
    }

    void aTypedTableIsLoadedOnlyWhenSound()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        const QString tool = QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-db");
        // an installation of its own: the shipped tables, one of them still empty
        QTemporaryDir root;
        const QString tables = root.filePath(QStringLiteral("USR/KZ2025/Res/Tabelle"));
        QVERIFY(QDir().mkpath(tables));
        for (const QString &t : {QStringLiteral("TNIS_ISCRITTO.cds"), QStringLiteral("TCOA_CODCARICA.cds")})
            QVERIFY(QFile::copy(QDir(VelCodeTables::folder()).filePath(t), QDir(tables).filePath(t)));
        const QString typed = root.filePath(file);
        QFile f(typed);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        auto velcuDb = [&](const QStringList &args) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("VELCU_STAGE_DIR"), root.path());
            p.setProcessEnvironment(env);
            p.start(tool, args);
            if (!p.waitForFinished(60000))
                qFatal("velcu-db did not end");
            return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()));
        };
        auto [status, out] = velcuDb({QStringLiteral("tabelle"), QStringLiteral("--importa"), typed});
        TClientDataSet ds;
        VelCodeTables::load(ds, QStringLiteral("TNIS_ISCRITTO.cds"), tables);
        if (error.isEmpty()) {
            QVERIFY2(status == 0, qPrintable(out));
            QCOMPARE(ds.recordCount(), 2);
            QVERIFY(ds.locate(QStringLiteral("Codice"), QStringLiteral("2")));
            QCOMPARE(ds.fieldByName(QStringLiteral("Descrizione")).asString(), QStringLiteral("Non iscritto"));
        } else {
            QCOMPARE(status, 1);
            QVERIFY2(out.contains(error), qPrintable(out));
            QCOMPARE(ds.recordCount(), 0); // the shipped table as it was
        }
        std::tie(status, out) = velcuDb({QStringLiteral("tabelle")});
        QCOMPARE(status, 0);
        QCOMPARE(out.contains(QStringLiteral("TNIS_ISCRITTO: da completare")), !error.isEmpty());
        QVERIFY(out.contains(QStringLiteral("TCOA_CODCARICA (")));
    }
};

QTEST_MAIN(TstCodeTables)
#include "tst_code_tables.moc"
