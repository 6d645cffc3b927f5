// The demo school's year as a new office produces it, compared with reviewed
// expected files in tests/golden/: the supply's bytes (one record a line) and
// the text of the summary and ordinary CUs (pdftotext -layout). Everything is
// done by the installed programs on a fresh demo database, as the README says.
// Today's date, the only value that changes from one day to the next, is
// written as GGMMAAAA / GG/MM/AAAA in the compared text.
//
// A change to any of these outputs comes with the expected file reviewed in
// the same commit: VELCU_GOLDEN_UPDATE=1 writes them anew into the source tree.
//
// Beside the demo year, a corpus of faulty payrolls (tests/golden/faulty/):
// each case a fault the offices meet, made over the demo payroll by its
// guasto.sql, with the payee's import report (importazione.txt) and the
// command's exit status (esito.txt) as expected; LEGGIMI.md says what the
// fault is and why that is the right answer. A case whose fault one engine
// cannot hold says so in solo-sqlite.txt.
#include "support/StagedProgram.h"
#include "support/TestDb.h"

#include "platform/db/OvSQLConnection.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using StagedProgram::Run;

Run program(const QString &name, const QStringList &args)
{
    return StagedProgram::run(name, args);
}

QString fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString withoutToday(QString text)
{
    const QDate today = QDate::currentDate();
    text.replace(today.toString(QStringLiteral("dd/MM/yyyy")), QStringLiteral("GG/MM/AAAA"));
    text.replace(today.toString(QStringLiteral("ddMMyyyy")), QStringLiteral("GGMMAAAA"));
    // the printed model's three boxes of a date
    text.replace(QRegularExpression(QStringLiteral("\\b%1(\\s+)%2(\\s+)%3\\b")
                                        .arg(today.toString(QStringLiteral("dd")), today.toString(QStringLiteral("MM")),
                                             today.toString(QStringLiteral("yyyy")))),
                 QStringLiteral("GG\\1MM\\2AAAA"));
    return text;
}

// The supply as text: one 1,900-byte record a line, its end-of-record
// characters shown.
QString supplyText(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    QString text;
    for (qsizetype at = 0; at < bytes.size(); at += 1900) {
        QByteArray record = bytes.mid(at, 1900);
        record.replace('\r', "\\r").replace('\n', "\\n");
        text += QString::fromLatin1(record) + QLatin1Char('\n');
    }
    return text;
}

// The text of a PDF as pdftotext -layout lays it out, kept short enough to
// review: no trailing blanks, no empty lines, wide gaps written as two blanks.
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QString();
    static const QRegularExpression gap(QStringLiteral(" {3,}"));
    QString text;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.replace(gap, QStringLiteral("  "));
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        if (!line.isEmpty())
            text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

class TstDbGolden : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_db;

    // The produced text against its expected file: the first line that
    // differs, and the whole produced text kept beside the test's output.
    void compare(const QString &name, const QString &produced)
    {
        QVERIFY2(!produced.isEmpty(), qPrintable(name + QStringLiteral(": nothing produced")));
        const QString expectedPath = QStringLiteral(VELCU_SOURCE_DIR "/tests/golden/") + name;
        if (qEnvironmentVariableIntValue("VELCU_GOLDEN_UPDATE") == 1 && !TestDb::isPostgres()) {
            QFile out(expectedPath);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(produced.toUtf8());
            return;
        }
        QFile in(expectedPath);
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(expectedPath));
        const QStringList expected = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
        const QStringList got = produced.split(QLatin1Char('\n'));
        const QString kept = m_dir.filePath(name);
        QFile keep(kept);
        if (keep.open(QIODevice::WriteOnly))
            keep.write(produced.toUtf8());
        for (qsizetype i = 0; i < std::max(expected.size(), got.size()); ++i) {
            const QString e = expected.value(i), g = got.value(i);
            if (e != g) {
                m_dir.setAutoRemove(false);
                QFAIL(qPrintable(QStringLiteral("%1, line %2:\n  expected: %3\n  produced: %4\n(produced text: %5)")
                                     .arg(name).arg(i + 1).arg(e, g, kept)));
            }
        }
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
        TestDb::openEmpty();
        m_db = TestDb::cliArgs();
        const Run created = program(QStringLiteral("velcu-db"), QStringList{QStringLiteral("create"), QStringLiteral("--demo")} + m_db);
        QVERIFY2(created.status == 0, qPrintable(created.err + created.out));
    }

    void theDemoYear()
    {
        Run r = program(QStringLiteral("velcu-cli"),
                        QStringList{QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                                    QStringLiteral("--inpdap"), QStringLiteral("uniemens")} + m_db);
        QVERIFY2(r.status == 0 || r.status == 1, qPrintable(r.err + r.out));
        compare(QStringLiteral("demo-importazione.txt"), withoutToday(r.out));

        const QString supply = m_dir.filePath(QStringLiteral("CUR26"));
        r = program(QStringLiteral("velcu-cli"), QStringList{QStringLiteral("fornitura"), QStringLiteral("--out"), supply,
                                                              QStringLiteral("--cartella-lavoro"), m_dir.path()} + m_db);
        // written whole; the coherence check's findings on the demo make it status 3
        QVERIFY2(r.status == 3, qPrintable(r.err + r.out));
        compare(QStringLiteral("demo-CUR26.txt"), withoutToday(supplyText(supply)));

        const QString summary = m_dir.filePath(QStringLiteral("CU-sintetico.pdf"));
        r = program(QStringLiteral("velcu-cli"), QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"),
                                                              QStringLiteral("--out"), summary} + m_db);
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        compare(QStringLiteral("demo-sintetico.txt"), withoutToday(pdfText(summary)));

        const QString ordinary = m_dir.filePath(QStringLiteral("CU-ordinario.pdf"));
        r = program(QStringLiteral("velcu-cli"), QStringList{QStringLiteral("stampa"), QStringLiteral("--ordinario"),
                                                              QStringLiteral("--out"), ordinary} + m_db);
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        compare(QStringLiteral("demo-ordinario.txt"), withoutToday(pdfText(ordinary)));
    }

    void faultyPayrolls_data()
    {
        QTest::addColumn<QString>("name");
        const QDir corpus(QStringLiteral(VELCU_SOURCE_DIR "/tests/golden/faulty"));
        for (const QString &name : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            QTest::newRow(qPrintable(name)) << name;
        QVERIFY(corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() >= 5);
    }
    // A fresh demo database, the fault, the import of the payee concerned.
    void faultyPayrolls()
    {
        QFETCH(QString, name);
        const QDir dir(QStringLiteral(VELCU_SOURCE_DIR "/tests/golden/faulty/") + name);
        if (TestDb::isPostgres() && dir.exists(QStringLiteral("solo-sqlite.txt")))
            QSKIP(qPrintable(fileText(dir.filePath(QStringLiteral("solo-sqlite.txt"))).trimmed()));
        const auto db = TestDb::openEmpty();
        const QStringList args = TestDb::cliArgs();
        const Run created = program(QStringLiteral("velcu-db"), QStringList{QStringLiteral("create"), QStringLiteral("--demo")} + args);
        QVERIFY2(created.status == 0, qPrintable(created.err + created.out));
        for (const QString &statement : fileText(dir.filePath(QStringLiteral("guasto.sql"))).split(QLatin1Char(';'))) {
            if (statement.trimmed().isEmpty())
                continue;
            QSqlQuery q(db->database());
            QVERIFY2(q.exec(statement.trimmed()), qPrintable(statement + QStringLiteral(": ") + q.lastError().text()));
        }
        const QString payee = fileText(dir.filePath(QStringLiteral("percipiente.txt"))).trimmed();
        const Run r = program(QStringLiteral("velcu-cli"),
                              QStringList{QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                                          QStringLiteral("--inpdap"), QStringLiteral("uniemens"), QStringLiteral("--cf"),
                                          payee} + args);
        compare(QStringLiteral("faulty/%1/importazione.txt").arg(name), withoutToday(r.out));
        if (qEnvironmentVariableIntValue("VELCU_GOLDEN_UPDATE") == 1 && !TestDb::isPostgres()) {
            QFile status(dir.filePath(QStringLiteral("esito.txt")));
            QVERIFY(status.open(QIODevice::WriteOnly | QIODevice::Truncate));
            status.write(QByteArray::number(r.status) + '\n');
            return;
        }
        QVERIFY2(r.status == fileText(dir.filePath(QStringLiteral("esito.txt"))).trimmed().toInt(),
                 qPrintable(QStringLiteral("exit status %1\n").arg(r.status) + r.err));
    }
};

QTEST_GUILESS_MAIN(TstDbGolden)
#include "tst_db_golden.moc"
