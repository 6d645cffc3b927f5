// The programs installed where the office cannot write: a package's tree
// (<prefix>/bin, <prefix>/share/velcu) and a copy of the stage whose owner
// may not write it. HOME is an empty folder: the README's campaign writes its
// database, supply and prints into the user's data folder, and nothing
// anywhere else, least of all into the installation.
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

// Every entry below `dir` with what would show a write: size, time, mode.
QStringList snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(QDir(dir).relativeFilePath(f.filePath()))
                   .arg(f.isDir() ? 0 : f.size())
                   .arg(f.lastModified().toMSecsSinceEpoch())
                   .arg(int(f.permissions()));
    }
    out.sort();
    return out;
}

void copyFile(const QString &from, const QString &to)
{
    QVERIFY(QDir().mkpath(QFileInfo(to).path()));
    QVERIFY2(QFile::copy(from, to), qPrintable(to));
}

// Takes every write permission away, as an installed tree has for the office.
void readOnly(const QString &dir)
{
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList all{dir};
    while (it.hasNext())
        all << it.next();
    for (const QString &p : std::as_const(all)) {
        struct stat st;
        const QByteArray n = QFile::encodeName(p);
        if (::lstat(n.constData(), &st) == 0)
            ::chmod(n.constData(), st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
    }
}

void writable(const QString &dir)
{
    QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+w"), dir});
}

// The staged tree without what the office writes: `bin` and `share` name
// where the programs and the shipped data go.
void install(const QString &bin, const QString &share)
{
    const QDir stage(QStringLiteral(VELCU_STAGE_DIR));
    for (const char *program : {"velcu-cli", "velcu-db"})
        copyFile(stage.filePath(QStringLiteral("bin/") + QLatin1String(program)), bin + QLatin1Char('/') + QLatin1String(program));
    QDirIterator it(stage.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = stage.relativeFilePath(it.next());
        if (rel.startsWith(QStringLiteral("bin/")) || rel.startsWith(QStringLiteral("usr/"))
            || rel.contains(QStringLiteral("/Stp/")) || rel.contains(QStringLiteral("/DichCU/"))
            || rel.startsWith(QStringLiteral("USR/KZDati/")))
            continue;
        copyFile(stage.filePath(rel), share + QLatin1Char('/') + rel);
    }
}

// The README's ten steps, word for word.
QStringList readmeSteps()
{
    QFile readme(QStringLiteral(VELCU_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype from = text.indexOf(QStringLiteral("The demo campaign from the command line"));
    const qsizetype to = text.indexOf(QStringLiteral("Notes for the command line:"), from);
    QStringList steps;
    for (const QString &line : text.mid(from, to - from).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("    bin/")))
            steps << line.trimmed();
    return steps;
}

} // namespace

class TstInstalled : public QObject
{
    Q_OBJECT

    QProcessEnvironment m_env;
    QString m_home;

    Result run(const QString &bin, const QString &step)
    {
        QStringList args = QProcess::splitCommand(step);
        const QString program = bin + QLatin1Char('/') + QFileInfo(args.takeFirst()).fileName();
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.setWorkingDirectory(m_home);
        p.start(program, args);
        if (!p.waitForFinished(600000))
            qFatal("%s did not end", qPrintable(step));
        return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                      QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    // An environment with nothing of ours, HOME an empty folder.
    void emptyHome(const QString &home)
    {
        m_home = home;
        m_env = QProcessEnvironment::systemEnvironment();
        for (const QString &k : m_env.keys())
            if (k.startsWith(QStringLiteral("VELCU_")) || k.startsWith(QStringLiteral("PG"))
                || k.startsWith(QStringLiteral("XDG_")))
                m_env.remove(k);
        m_env.insert(QStringLiteral("HOME"), home);
    }

private slots:
    // The package's tree, the whole campaign: everything lands in
    // ~/.local/share/velcu, the tree stays as installed.
    void theCampaignOfAnInstalledPackageWritesOnlyIntoHome()
    {
        const QStringList steps = readmeSteps();
        QCOMPARE(steps.size(), 10);
        QTemporaryDir tree, home;
        const QString bin = tree.filePath(QStringLiteral("usr/bin"));
        install(bin, tree.filePath(QStringLiteral("usr/share/velcu")));
        readOnly(tree.path());
        auto restore = qScopeGuard([&] { writable(tree.path()); });
        const QStringList before = snapshot(tree.path());
        emptyHome(home.path());

        const QString data = home.filePath(QStringLiteral(".local/share/velcu/"));
        for (const QString &step : steps) {
            const Result r = run(bin, step);
            const QStringList words = step.split(u' ');
            const bool import = words.contains(QStringLiteral("import"));
            // the README's statuses: imports 1, the supply 3 (written, with warnings), the rest 0
            const int expected = import ? 1 : words.contains(QStringLiteral("fornitura")) ? 3 : 0;
            QVERIFY2(r.status == expected, qPrintable(step + QLatin1Char('\n') + r.out + r.err));
            if (step.endsWith(QStringLiteral("create --demo")))
                QVERIFY2(r.err.contains(QStringLiteral("Database: SQLite, file ") + data
                                        + QStringLiteral("usr/rag/velcu-demo.sqlite")),
                         qPrintable(r.err));
            if (step.contains(QStringLiteral("fornitura")))
                QVERIFY2(r.out.contains(QStringLiteral("File scritto: ") + data + QStringLiteral("USR/KZ2025/DichCU/CUR26")),
                         qPrintable(r.out));
            if (step.endsWith(QStringLiteral("stampa --sintetico")))
                QVERIFY2(r.out.contains(QStringLiteral("File scritto: ") + data + QStringLiteral("USR/KZ2025/Stp/CU-2026.pdf")),
                         qPrintable(r.out));
        }
        QCOMPARE(snapshot(tree.path()), before);
        // the year's folders, the office's only
        for (const char *dir : {"usr/rag", "USR/KZ2025/DichCU", "USR/KZ2025/Stp", "USR/KZDati/KZ2025"}) {
            const QFileInfo f(data + QLatin1String(dir));
            QVERIFY2(f.isDir(), dir);
            QCOMPARE(int(f.permissions() & 0x0077), 0); // neither group nor others
        }
        // the relative folder of a step starts from where the office stands: HOME
        QVERIFY(QDir(home.filePath(QStringLiteral("USR/KZ2025/Stp/percipienti"))).entryList(QDir::Files).size() > 20);
    }

    // The same rule for a stage its owner may not write, and a data folder
    // named by XDG_DATA_HOME or VELCU_DATA_DIR.
    void aReadOnlyStageWritesIntoTheUsersDataFolder_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("expected"); // below HOME
        QTest::newRow("default") << "" << ".local/share/velcu/usr/rag/velcu-demo.sqlite";
        QTest::newRow("XDG_DATA_HOME") << "XDG_DATA_HOME" << "xdg/velcu/usr/rag/velcu-demo.sqlite";
        QTest::newRow("VELCU_DATA_DIR") << "VELCU_DATA_DIR" << "xdg/usr/rag/velcu-demo.sqlite";
    }

    void aReadOnlyStageWritesIntoTheUsersDataFolder()
    {
        QFETCH(QString, variable);
        QFETCH(QString, expected);
        QTemporaryDir tree, home;
        install(tree.filePath(QStringLiteral("bin")), tree.path());
        readOnly(tree.path());
        auto restore = qScopeGuard([&] { writable(tree.path()); });
        const QStringList before = snapshot(tree.path());
        emptyHome(home.path());
        if (!variable.isEmpty())
            m_env.insert(variable, home.filePath(QStringLiteral("xdg")));
        const QString bin = tree.filePath(QStringLiteral("bin"));
        Result r = run(bin, QStringLiteral("bin/velcu-db create --demo"));
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY2(QFileInfo::exists(home.filePath(expected)), qPrintable(r.err));
        r = run(bin, QStringLiteral("bin/velcu-cli stato"));
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QCOMPARE(snapshot(tree.path()), before);
    }

    // The same stage, writable: the office's files stay beside the program,
    // as they always did.
    void aWritableStageKeepsItsDataInside()
    {
        QTemporaryDir tree, home;
        install(tree.filePath(QStringLiteral("bin")), tree.path());
        emptyHome(home.path());
        const Result r = run(tree.filePath(QStringLiteral("bin")), QStringLiteral("bin/velcu-db create --demo"));
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY(QFileInfo::exists(tree.filePath(QStringLiteral("usr/rag/velcu-demo.sqlite"))));
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    void everyProgramSaysItsVersion()
    {
        for (const char *program : {"velcu", "velcu-cli", "velcu-db"}) {
            QProcess p;
            p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/") + QLatin1String(program), {QStringLiteral("--version")});
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitCode(), 0);
            const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
            QVERIFY2(out.endsWith(QLatin1Char(' ') + QStringLiteral(VELCU_VERSION)), qPrintable(out));
        }
    }
};

QTEST_GUILESS_MAIN(TstInstalled)
#include "tst_installed.moc"
