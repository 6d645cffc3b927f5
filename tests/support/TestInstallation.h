#pragma once
// The whole program in a temporary installation: catalogue with a version row
// for the test program, the shipped year file, a database (the demo school by
// default) and the start-up of the windows on it.
//
//   Installation inst;
//   QVERIFY(inst.startWithYear(QStringLiteral("2025")));
//   inst.table()->Execute(QStringLiteral("xafDatiCud"));
#include "support/ModalWatch.h"
#include "support/TestDb.h"

#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/shell/TfmVelMain.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/shell/VelStartup.h"
#include "tor/query/torCQueryText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

// An installation in a temporary folder: catalogue with a version row for
// this test program, the shipped year file, and a database.
struct Installation
{
    QTemporaryDir root;
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TVelStartup> startup;

    explicit Installation(bool demo = true)
    {
        qputenv("VELCU_STAGE_DIR", root.path().toUtf8());
        for (const char *dir : {"etc/rag", "usr/rag", "USR/KZ2025/Res", "USR/KZ2025/Stp"})
            QDir().mkpath(root.filePath(QLatin1String(dir)));
        TTorQueryText qt;
        qt.loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        qt.addStatement(TTorQueryText::versionRowName(), QStringLiteral("6.97.29"), 0, QString());
        qt.saveCatalogue(etc() + QStringLiteral("/rag_QueryText.cds"));
        QFile::copy(QStringLiteral(VELCU_SOURCE_DIR "/data/USR/KZ2025/Res/TCUA_ANNOFIN.cds"), yearFile());
        // the configuration the build installs (the software producer)
        QFile::copy(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/velcu-produttore.ini"),
                    etc() + QStringLiteral("/velcu-produttore.ini"));
        db = TestDb::open(demo);
        seedStructures(*db, QStringLiteral("vel"), 2025);
    }
    ~Installation()
    {
        startup.reset();
        qunsetenv("VELCU_STAGE_DIR");
    }

    QString etc() const { return root.filePath(QStringLiteral("etc/rag")); }
    QString res() const { return root.filePath(QStringLiteral("USR/KZ2025/Res")) + QLatin1Char('/'); }
    QString yearFile() const { return res() + QStringLiteral("TCUA_ANNOFIN.cds"); }

    int start(const TOvDbConfig &config = TestDb::config())
    {
        startup = std::make_unique<TVelStartup>(TVelStartup::Options{config, TdmragConnessione::Paths{QString(), etc()}});
        return startup->start();
    }
    // Every file the build stages in the resource folder (models, layouts,
    // documents, code tables), as an installation delivers them.
    void copyStagedResources()
    {
        const QString from = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res");
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString to = res() + QDir(from).relativeFilePath(file);
            QDir().mkpath(QFileInfo(to).absolutePath());
            QFile::remove(to);
            QFile::copy(file, to);
        }
    }

    TfmVelMain *main() const { return startup->mainWindow(); }
    TdmVelAttivazioni *table() const { return startup->attivazioni(); }

    // Starts and answers the year dialog with `year`; true when all went well.
    bool startWithYear(const QString &year, const TOvDbConfig &config = TestDb::config())
    {
        bool answered = false;
        QTimer *watcher = whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<TfmVelParametri *>(w);
            if (!dialog)
                return;
            dialog->edAnnoFin->setText(year);
            answered = dialog->clickOk();
        });
        if (start(config) != 0) {
            delete watcher;
            return false;
        }
        main()->notesPauseMs = 0;
        if (!QTest::qWaitFor([&] { return answered; }, 10000)) {
            delete watcher;
            return false;
        }
        return main()->firstActivationDone();
    }
};

