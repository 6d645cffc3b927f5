// What the program writes survives a full disk, and what an interrupted save
// left behind is recovered: every writer of the program on a real, small,
// full file system (a tmpfs), the permissions of new files, the ".BAK" rule.
#include "support/ScriptedResponder.h"
#include "support/TmpfsMount.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "rag/params/RagParIni.h"
#include "src/prj/unit/cli/VelCliPdfSplit.h"
#include "src/prj/unit/print/VelXmlDocument.h"
#include "src/prj/unit/shell/VelAnnoFin.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorFolders.h"
#include "tor/util/TorUUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <functional>
#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The files of a folder other than the test's filler.
QStringList filesIn(const QString &dir)
{
    QStringList out = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    out.removeAll(QStringLiteral(".riempimento"));
    return out;
}

void fillDataSet(TClientDataSet &ds, int rows)
{
    ds.close();
    ds.clearFieldDefs();
    ds.addFieldDef(QStringLiteral("SCUDCODFIS"), TFieldType::String, 16);
    ds.addFieldDef(QStringLiteral("SNOTE"), TFieldType::String, 200);
    ds.createDataSet();
    for (int i = 0; i < rows; ++i)
        ds.appendRecord({QStringLiteral("RSSMRA80A01H199%1").arg(i % 10), QString(150, QLatin1Char('x'))});
    ds.mergeChangeLog();
}

// A record table with A, B, Z and `body` records D.
void fillRecordTable(TClientDataSet &t, int body)
{
    VelFileTables::createRecordTable(t);
    auto record = [](QChar letter) {
        QString r = QString(letter) + QString(TVelFileUtil::RecordLength - 2, QLatin1Char(' ')) + QLatin1Char('A');
        return r;
    };
    t.appendRecord({QStringLiteral("A"), QString(), record(u'A'), 0});
    t.appendRecord({QStringLiteral("B"), QString(), record(u'B'), 0});
    for (int i = 1; i <= body; ++i)
        t.appendRecord({QStringLiteral("D"), QString::number(i).rightJustified(18, u'0'), record(u'D'), i});
    t.appendRecord({QStringLiteral("Z"), QString(), record(u'Z'), 0});
}

} // namespace

class TstFileSafety : public QObject
{
    Q_OBJECT
private slots:
    void aFullDiskNeverCostsTheOldFile_data();
    void aFullDiskNeverCostsTheOldFile();
    void newFilesAreTheirOwnersOnly();
    void newFoldersAreTheirOwnersOnly();
    void aMissingFileComesBackFromItsBackup();
    void aBatchIsWholeOrNamesItsFault_data();
    void aBatchIsWholeOrNamesItsFault();
    void theCutLocksOnlyFilesUnderTheirNames_data();
    void theCutLocksOnlyFilesUnderTheirNames();
};

using Writer = std::function<void(const QString &path, int version)>;
Q_DECLARE_METATYPE(Writer)

void TstFileSafety::aFullDiskNeverCostsTheOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Writer>("write");

    QTest::newRow("dataset file") << QStringLiteral("TFILE_FILETELEM.CDS") << Writer([](const QString &p, int v) {
        TClientDataSet ds;
        fillDataSet(ds, v * 300);
        ds.saveToFile(p);
    });
    QTest::newRow("dataset file with .BAK") << QStringLiteral("TCUA_ANNOFIN.CDS") << Writer([](const QString &p, int v) {
        TClientDataSet ds;
        fillDataSet(ds, v * 300);
        TorUtil::saveWithBackup(ds, p);
    });
    QTest::newRow("telematic supply") << QStringLiteral("CUR26") << Writer([](const QString &p, int v) {
        TClientDataSet t;
        fillRecordTable(t, v * 40);
        VelFileWorkspace ws; // the writer's places, from the shipped templates
        ws.loadTemplates(QDir(QStringLiteral(VELCU_STAGE_DIR)).filePath(QStringLiteral("USR/KZ2025/Res/filetel")));
        VelSupplyWriter::write(t, ws.generator().supplyPlaces(), p, v * 40);
    });
    QTest::newRow("PDF") << QStringLiteral("CU_RSSMRA80A01H199X.pdf") << Writer([](const QString &p, int v) {
        TPdkPdf pdf;
        pdf.NewDocument();
        for (int i = 1; i < v * 20; ++i)
            pdf.NewPage();
        pdf.DrawText(50, 50, QStringLiteral("Certificazione Unica, versione %1").arg(v));
        if (pdf.SaveToFile(p) != 1)
            throw EOvError(pdf.LastErrorText());
    });
    QTest::newRow("PDF cut per payee") << QStringLiteral("RSSMRA80A01H199X.pdf") << Writer([](const QString &p, int v) {
        const QString whole = QFileInfo(p).dir().filePath(QStringLiteral("intero.pdf"));
        if (v == 1) {
            TPdkPdf pdf;
            pdf.NewDocument();
            for (int i = 1; i < 40; ++i)
                pdf.NewPage();
            pdf.DrawText(50, 50, QStringLiteral("Certificazione Unica"));
            if (pdf.SaveToFile(whole) != 1)
                throw EOvError(pdf.LastErrorText());
        }
        TVelRunOutcome outcome;
        outcome.add({});
        VelCliPdfSplit::Locker nothingToLock{[](const QList<int> &) {}, [](int) { return false; }, {}};
        outcome = VelCliPdfSplit::split(whole, {{p, 1, v * 15}}, outcome, nothingToLock);
        if (outcome.payees.at(0).result != TVelResult::Fatto)
            throw EOvError(outcome.payees.at(0).reason);
    });
    QTest::newRow("catalogue and certificate") << QStringLiteral("rag_QueryText.unxc")
                                               << Writer([](const QString &p, int v) {
        TTorQueryText qt;
        const QString cds = QFileInfo(p).dir().filePath(QStringLiteral("rag_QueryText.cds"));
        if (v == 1) {
            qt.addStatement(QStringLiteral("QRY_SED"), QStringLiteral("SELECT"), 0, QStringLiteral("SELECT 1"));
            qt.saveCatalogue(cds);
        } else {
            // The catalogue changed by hand: its certificate is written again.
            QFile f(cds);
            f.open(QIODevice::Append);
            f.write("\n");
            f.close();
            TTorQueryText::writeCertificate(cds);
        }
    });
    QTest::newRow("XML layout") << QStringLiteral("StpCUD.xml") << Writer([](const QString &p, int v) {
        const QString source = QFileInfo(p).dir().filePath(QStringLiteral("sorgente.xml"));
        if (v == 1) {
            QFile f(source);
            f.open(QIODevice::WriteOnly);
            f.write("<Stampa><Pagina Numero=\"1\"/></Stampa>");
        }
        TVelXMLDocument doc;
        doc.LoadFromFile(source);
        doc.DocumentElement().setAttribute(QStringLiteral("Versione"), v);
        doc.SaveToFile(p);
    });
    QTest::newRow("ini") << QStringLiteral("RagPar.ini") << Writer([](const QString &p, int v) {
        RagParIni::write(2025, TRagLiqCorrente{1, v, 12}, p);
    });
}

// The disk fills up between two saves: the second fails with an Italian
// error naming the file and the cause, the first one's bytes are all there,
// nothing half-written is left beside them.
void TstFileSafety::aFullDiskNeverCostsTheOldFile()
{
    QFETCH(QString, name);
    QFETCH(Writer, write);
    TmpfsMount disk(2 * 1024 * 1024);
    VELCU_REQUIRE_TMPFS(disk);
    const QString path = disk.filePath(name);

    write(path, 1);
    const QByteArray before = readAll(path);
    QVERIFY(!before.isEmpty());
    const QStringList filesBefore = filesIn(disk.path());

    disk.fill();
    try {
        write(path, 2);
        QFAIL("a write on a full disk was reported as done");
    } catch (const EOvException &e) {
        QVERIFY2(e.message().contains(QStringLiteral("spazio su disco esaurito")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(name), qPrintable(e.message()));
        // Said once, however many layers passed the error on.
        QVERIFY2(e.message().count(QStringLiteral("Impossibile scrivere")) <= 1, qPrintable(e.message()));
        QVERIFY2(e.message().count(QStringLiteral("spazio su disco esaurito")) == 1, qPrintable(e.message()));
    }
    QCOMPARE(readAll(path), before);
    QCOMPARE(filesIn(disk.path()), filesBefore);

    // With room again the same save goes through.
    disk.release();
    write(path, 2);
    QVERIFY(readAll(path) != before);
    QCOMPARE(filesIn(disk.path()), filesBefore);
}

void TstFileSafety::newFilesAreTheirOwnersOnly()
{
    QTemporaryDir dir;
    const auto mode = [](const QString &p) {
        return QFileInfo(p).permissions()
            & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther
               | QFile::WriteOther);
    };
    const QString fiscal = dir.filePath(QStringLiteral("CUR26"));
    TOvSafeFile::writeFile(fiscal, "A");
    QCOMPARE(mode(fiscal), QFile::ReadOwner | QFile::WriteOwner);
    const QString shared = dir.filePath(QStringLiteral("StpCUD.xml"));
    TOvSafeFile::writeFile(shared, "<a/>", TOvSafeFile::Access::Shared);
    QCOMPARE(mode(shared), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    // A file replaced keeps the permissions it was given.
    QVERIFY(QFile::setPermissions(fiscal, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    TOvSafeFile::writeFile(fiscal, "B");
    QCOMPARE(mode(fiscal), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    QCOMPARE(readAll(fiscal), QByteArray("B"));
    // A write abandoned half-way leaves the target as it was and no trace.
    {
        TOvSafeFile f(fiscal);
        f.open();
        f.write("CCCC");
    }
    QCOMPARE(readAll(fiscal), QByteArray("B"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // A folder in the target's place is named.
    try {
        TOvSafeFile::writeFile(dir.path(), "X");
        QFAIL("a folder was written over");
    } catch (const EOvError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("cartella")), qPrintable(e.message()));
    }
}

// Every folder the program makes holds fiscal data: its parents too are made
// 0700; a folder that exists keeps what it had; what stands in the way is named.
void TstFileSafety::newFoldersAreTheirOwnersOnly()
{
    QTemporaryDir dir;
    const auto mode = [](const QString &p) {
        struct stat st;
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::ExeOther));
    const QString payee = dir.filePath(QStringLiteral("consegna/2026/RSSMRA80A01H199X"));
    ovMakePath(payee);
    QCOMPARE(mode(dir.filePath(QStringLiteral("consegna"))), 0700);
    QCOMPARE(mode(dir.filePath(QStringLiteral("consegna/2026"))), 0700);
    QCOMPARE(mode(payee), 0700);
    QCOMPARE(mode(dir.path()), 0705);
    ovMakePath(payee); // already there: nothing to do

    const QString file = dir.filePath(QStringLiteral("un-file"));
    TOvSafeFile::writeFile(file, "x");
    QString why;
    QVERIFY(!ovTryMakePath(file + QStringLiteral("/sotto"), &why));
    QCOMPARE(why, QStringLiteral("Impossibile creare la cartella \"%1/sotto\": un elemento del percorso non è una "
                                 "cartella.").arg(file));
    QVERIFY_THROWS_EXCEPTION(EOvError, ovMakePath(file));

    // The installation's folders for prints, supplies and working tables.
    const QByteArray stage = qgetenv("VELCU_STAGE_DIR");
    qputenv("VELCU_STAGE_DIR", QFile::encodeName(dir.filePath(QStringLiteral("installazione"))));
    for (const QString &made : {TorFolders::usrDir(), TorFolders::stpDir(), TorFolders::dichCuDir(),
                                TorFolders::kzDatiDir()}) {
        QVERIFY2(mode(made) == 0700, qPrintable(made));
        QVERIFY2(mode(QFileInfo(QDir::cleanPath(made)).absolutePath()) == 0700, qPrintable(made));
    }
    qputenv("VELCU_STAGE_DIR", stage);
}

// A save killed right after renaming the file to ".BAK" leaves only the
// backup: the next read takes the file back from it and says so.
void TstFileSafety::aMissingFileComesBackFromItsBackup()
{
    QTemporaryDir res;
    TClientDataSet year;
    year.addFieldDef(QStringLiteral("SCUAANNOFIN"), TFieldType::String, 4);
    year.createDataSet();
    year.appendRecord({QStringLiteral("2026")});
    year.saveToFile(res.filePath(QStringLiteral("TCUA_ANNOFIN.BAK")));

    TClientDataSet loaded;
    const VelAnnoFin::Remembered r = VelAnnoFin::load(loaded, res.path() + QLatin1Char('/'));
    QCOMPARE(r.year, QStringLiteral("2026"));
    QVERIFY2(r.warning.contains(QStringLiteral("recuperato dalla copia di sicurezza")), qPrintable(r.warning));
    QVERIFY(QFileInfo::exists(res.filePath(QStringLiteral("TCUA_ANNOFIN.cds"))));
    QVERIFY(!QFileInfo::exists(res.filePath(QStringLiteral("TCUA_ANNOFIN.BAK"))));

    // Any dataset file read through the storage routine: the user is told.
    const QString table = res.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS"));
    year.saveToFile(TorUtil::backupFileName(table));
    {
        ScriptedResponder user;
        TClientDataSet ds;
        TorUtil::loadClientDataSet(ds, table);
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(user.shown().size(), 1);
        QCOMPARE(user.shown().first().icon, OvMessageIcon::Warning);
        QVERIFY(user.lastText().contains(table));
    }
    // Nothing to do when the file is there, or neither is.
    QVERIFY(TorUtil::restoreFromBackup(table).isEmpty());
    QVERIFY(TorUtil::restoreFromBackup(res.filePath(QStringLiteral("NESSUNO.cds"))).isEmpty());

    // A folder where the backup should be: a clear error, nothing moved.
    const QString other = res.filePath(QStringLiteral("ALTRO.cds"));
    QVERIFY(QDir().mkpath(TorUtil::backupFileName(other)));
    try {
        TorUtil::restoreFromBackup(other);
        QFAIL("a folder was taken for a backup");
    } catch (const EOvError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("cartella")) && e.message().contains(other),
                 qPrintable(e.message()));
    }
    QVERIFY(QFileInfo(TorUtil::backupFileName(other)).isDir());
}

// Files written in one batch on a small disk: either every file takes its
// name whole, or the fault is named (the file and the cause) and: when the
// disk fills up in the middle of a file or a folder cannot be written, the
// batch is dropped, nothing takes its name (the file it would have replaced
// keeps its bytes); when a folder took a file's name before the commit, the
// files before it are whole under their names, the others are not there.
// No temporary file stays either way.
void TstFileSafety::aBatchIsWholeOrNamesItsFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("at");    // the file at fault
    QTest::addColumn<int>("named"); // files under their new names afterwards
    QTest::addColumn<QString>("cause");
    QTest::newRow("every file") << QString() << -1 << 4 << QString();
    QTest::newRow("disk full in the middle of a file") << QStringLiteral("pieno") << 2 << 0
                                                       << QStringLiteral("spazio su disco esaurito");
    QTest::newRow("read-only folder") << QStringLiteral("sola lettura") << 1 << 0
                                      << QStringLiteral("il disco è di sola lettura");
    QTest::newRow("a folder takes a name before the commit") << QStringLiteral("cartella") << 2 << 2
                                                             << QStringLiteral("al suo posto c'è una cartella");
}

void TstFileSafety::aBatchIsWholeOrNamesItsFault()
{
    QFETCH(QString, fault);
    QFETCH(int, at);
    QFETCH(int, named);
    QFETCH(QString, cause);
    TmpfsMount disk(1024 * 1024), readOnly(64 * 1024);
    VELCU_REQUIRE_TMPFS(disk);
    VELCU_REQUIRE_TMPFS(readOnly);
    QVERIFY(readOnly.setReadOnly(true));
    const auto path = [&](int i) {
        return (i == at && fault == QLatin1String("sola lettura") ? readOnly : disk)
            .filePath(QStringLiteral("RSSMRA80A01H19%1X.pdf").arg(i));
    };
    const auto bytes = [](int i) { return QByteArray(200 * 1024, char('a' + i)); };
    TOvSafeFile::writeFile(path(0), "vecchio");

    TOvSafeFileBatch batch;
    QString error;
    try {
        for (int i = 0; i < 4; ++i) {
            if (i == at && fault == QLatin1String("pieno"))
                disk.fill(100 * 1024);
            batch.add(path(i), bytes(i));
            if (i == at && fault == QLatin1String("cartella"))
                QVERIFY(QDir().mkpath(path(i)));
        }
        batch.commit();
    } catch (const EOvError &e) {
        error = e.message();
        batch.cancel();
    }
    QCOMPARE(error.isEmpty(), cause.isEmpty());
    if (!cause.isEmpty())
        QVERIFY2(error.contains(cause) && error.contains(QFileInfo(path(at)).fileName()), qPrintable(error));
    if (fault == QLatin1String("cartella"))
        QCOMPARE(batch.failedAt(), at);
    QCOMPARE(batch.size(), 0);
    for (int i = 0; i < 4; ++i) {
        if (i < named)
            QCOMPARE(readAll(path(i)), bytes(i));
        else if (i == 0)
            QCOMPARE(readAll(path(i)), QByteArray("vecchio"));
        else if (i != at || fault != QLatin1String("cartella"))
            QVERIFY2(!QFileInfo::exists(path(i)), qPrintable(path(i)));
    }
    QCOMPARE(filesIn(disk.path()).filter(QStringLiteral(".tmp-")), QStringList());
}

// The cut into one PDF per payee, in batches: a CU is handed to be locked
// only once its file is whole under its name. When the disk fills up, or a
// folder takes a file's name while its batch waits, the payees before are
// done and locked, the one at fault is named with the cause, the others are
// not reached, and no temporary file stays.
void TstFileSafety::theCutLocksOnlyFilesUnderTheirNames_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("cause");
    QTest::newRow("every payee") << QString() << 12 << QString();
    QTest::newRow("disk full") << QStringLiteral("pieno") << 5 << QStringLiteral("spazio su disco esaurito");
    QTest::newRow("a folder in a waiting file's place") << QStringLiteral("cartella") << 4
                                                       << QStringLiteral("al suo posto c'è una cartella");
}

void TstFileSafety::theCutLocksOnlyFilesUnderTheirNames()
{
    QFETCH(QString, fault);
    QFETCH(int, at);
    QFETCH(QString, cause);
    constexpr int payees = 12;
    TmpfsMount disk(2 * 1024 * 1024);
    VELCU_REQUIRE_TMPFS(disk);
    const QString whole = disk.filePath(QStringLiteral("intero.pdf"));
    {
        TPdkPdf pdf;
        pdf.NewDocument();
        for (int i = 0; i < payees; ++i) {
            if (i > 0)
                pdf.NewPage();
            pdf.DrawText(50, 50, QStringLiteral("Percipiente %1").arg(i));
        }
        QCOMPARE(pdf.SaveToFile(whole), 1);
    }
    QList<VelCliPdfSplit::Part> parts;
    TVelRunOutcome outcome;
    for (int i = 0; i < payees; ++i) {
        parts.append({disk.filePath(QStringLiteral("CF%1.pdf").arg(i, 2, 10, QLatin1Char('0'))), i + 1, i + 1});
        outcome.add({});
    }
    QList<int> locked;
    int lockedWithoutFile = 0;
    VelCliPdfSplit::Locker locker{[&](const QList<int> &ks) {
                                      for (const int k : ks) {
                                          TPdkPdf check;
                                          lockedWithoutFile += check.LoadFromFile(parts.at(k).file) ? 0 : 1;
                                      }
                                      locked << ks;
                                  },
                                  [](int) { return false; }, {}};
    // the fault comes once the part before it is in its batch
    const auto progress = [&](int done, int) {
        if (done != at)
            return;
        if (fault == QLatin1String("pieno"))
            disk.fill();
        else if (fault == QLatin1String("cartella"))
            QDir().mkpath(parts.at(at - 1).file);
    };
    outcome = VelCliPdfSplit::split(whole, parts, std::move(outcome), locker, progress);

    const int done = fault == QLatin1String("cartella") ? at - 1 : at;
    QCOMPARE(outcome.count(TVelResult::Fatto), done);
    QCOMPARE(locked.size(), done);
    QCOMPARE(lockedWithoutFile, 0);
    for (int k = done; k < payees; ++k) {
        const TVelPayeeOutcome &p = outcome.payees.at(k);
        if (k == done) {
            QCOMPARE(p.result, TVelResult::Errore);
            QVERIFY2(p.reason.contains(cause) && p.reason.contains(QFileInfo(parts.at(k).file).fileName()),
                     qPrintable(p.reason));
        } else {
            QCOMPARE(p.result, TVelResult::NonEseguito);
            QVERIFY2(p.reason.contains(QStringLiteral("non raggiunto")), qPrintable(p.reason));
            QVERIFY2(!QFileInfo::exists(parts.at(k).file), qPrintable(parts.at(k).file));
        }
    }
    QCOMPARE(filesIn(disk.path()).filter(QStringLiteral(".tmp-")), QStringList());
}

QTEST_MAIN(TstFileSafety)
#include "tst_file_safety.moc"
