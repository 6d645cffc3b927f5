// First start of a workstation with no database: said, and the two ways
// offered. The demo school lands in the data folder and the program goes on;
// server values the office mistyped, or a server that does not answer, write
// no ini.
#include "support/ScriptedResponder.h"

#include "platform/db/InstallRoot.h"
#include "platform/db/OvWorkstationIni.h"
#include "src/prj/unit/shell/TfmVelPrimoAvvio.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class TstFirstStart : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

    // The configuration of a workstation where nothing names a database.
    static TOvDbConfig nothingNamed()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &k : env.keys())
            if (k.startsWith(QStringLiteral("VELCU_DB_")) || k.startsWith(QStringLiteral("PG")))
                env.remove(k);
        return TOvDbOptions::resolve(nullptr, env);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        // the office's files in a folder of this test, the stage's data read only
        qputenv("VELCU_DATA_DIR", m_data.path().toUtf8());
        QCOMPARE(InstallRoot::iniFile(), m_data.filePath(QStringLiteral("velcu.ini")));
    }

    void mistypedOrSilentServersWriteNoIni_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        QTest::newRow("no server") << "" << 5432 << "retribuzioni" << "Indicare il server (nome o indirizzo).";
        QTest::newRow("blank in the name") << "server segreteria" << 5432 << "retribuzioni"
                                           << "Server non valido: \"server segreteria\" (un nome o un indirizzo, senza spazi).";
        QTest::newRow("database") << "127.0.0.1" << 5432 << "retri buzioni" << "Nome del database non valido: \"retri buzioni\".";
        QTest::newRow("nobody answers") << "127.0.0.1" << 1 << "retribuzioni" << "Collegamento al server";
    }

    void mistypedOrSilentServersWriteNoIni()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, name);
        QFETCH(QString, said);
        TfmVelPrimoAvvio dialog;
        dialog.edHost->setText(host);
        dialog.sbPort->setValue(port);
        dialog.edName->setText(name);
        dialog.edUser->setText(QStringLiteral("segreteria1"));
        ScriptedResponder responder;
        QVERIFY(!dialog.clickServer());
        QVERIFY2(responder.lastText().startsWith(said), qPrintable(responder.lastText()));
        QVERIFY(!QFileInfo::exists(dialog.iniFile));
    }

    void theDemoSchoolIsMadeAndTheProgramGoesOn()
    {
        QVERIFY(TOvWorkstationIni::nothingConfigured(nothingNamed()));
        TfmVelPrimoAvvio dialog;
        QVERIFY(dialog.lbIntro->text().startsWith(QStringLiteral("Nessun database configurato per questa postazione.")));
        ScriptedResponder responder;
        QVERIFY2(dialog.clickDemo(), qPrintable(responder.lastText()));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(QFileInfo::exists(m_data.filePath(QStringLiteral("usr/rag/velcu-demo.sqlite"))));
        // the next start asks nothing
        QVERIFY(!TOvWorkstationIni::nothingConfigured(nothingNamed()));
        QVERIFY(TfmVelPrimoAvvio::ensureDatabase(nothingNamed()));
    }
};

QTEST_MAIN(TstFirstStart)
#include "tst_first_start.moc"
