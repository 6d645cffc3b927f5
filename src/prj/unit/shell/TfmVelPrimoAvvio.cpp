#include "src/prj/unit/shell/TfmVelPrimoAvvio.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/framework/OvMessages.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfmVelPrimoAvvio::TfmVelPrimoAvvio(QWidget *parent)
    : QDialog(parent)
    , iniFile(InstallRoot::iniFile())
    , setUpTool(InstallRoot::binDir() + QStringLiteral("/velcu-db"))
{
    setWindowTitle(QStringLiteral("Primo avvio"));
    auto *layout = new QVBoxLayout(this);
    lbIntro = new QLabel(introText(), this);
    lbIntro->setWordWrap(true);
    layout->addWidget(lbIntro);

    auto *demo = new QGroupBox(QStringLiteral("Per provare il programma"), this);
    auto *demoLayout = new QVBoxLayout(demo);
    auto *demoText = new QLabel(QStringLiteral("Un istituto dimostrativo con le sue retribuzioni, in un database SQLite "
                                               "nella cartella dei dati dell'utente."),
                                demo);
    demoText->setWordWrap(true);
    demoLayout->addWidget(demoText);
    buDemo = new QPushButton(QStringLiteral("Crea l'istituto dimostrativo"), demo);
    demoLayout->addWidget(buDemo);
    layout->addWidget(demo);

    auto *server = new QGroupBox(QStringLiteral("Server PostgreSQL dell'ufficio"), this);
    auto *form = new QFormLayout(server);
    edHost = new QLineEdit(server);
    sbPort = new QSpinBox(server);
    sbPort->setRange(1, 65535);
    sbPort->setValue(5432);
    edName = new QLineEdit(server);
    edUser = new QLineEdit(server);
    edPassword = new QLineEdit(server);
    edPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Server"), edHost);
    form->addRow(QStringLiteral("Porta"), sbPort);
    form->addRow(QStringLiteral("Database"), edName);
    form->addRow(QStringLiteral("Utente"), edUser);
    form->addRow(QStringLiteral("Password"), edPassword);
    auto *note = new QLabel(QStringLiteral("Senza password qui, il programma la legge dalla variabile VELCU_DB_PASSWORD; "
                                           "scritta qui, resta in velcu.ini leggibile dal solo utente."),
                            server);
    note->setWordWrap(true);
    form->addRow(note);
    buServer = new QPushButton(QStringLiteral("Collegati al server dell'ufficio"), server);
    form->addRow(buServer);
    layout->addWidget(server);

    auto *buttons = new QDialogButtonBox(this);
    buEsci = buttons->addButton(QStringLiteral("Esci"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(buDemo, &QPushButton::clicked, this, [this] { clickDemo(); });
    connect(buServer, &QPushButton::clicked, this, [this] { clickServer(); });
    connect(buEsci, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfmVelPrimoAvvio::introText()
{
    return QStringLiteral("Nessun database configurato per questa postazione.\n\n"
                          "Si può creare l'istituto dimostrativo per provare il programma, oppure collegarsi al "
                          "server PostgreSQL dell'ufficio, dove sono le retribuzioni.");
}

bool TfmVelPrimoAvvio::clickDemo()
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    p.start(setUpTool, {QStringLiteral("create"), QStringLiteral("--demo"), QStringLiteral("-q")});
    const bool ended = p.waitForFinished(600000);
    QApplication::restoreOverrideCursor();
    if (!ended || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QString why = QString::fromUtf8(p.readAllStandardError()).trimmed();
        OvMessageBox(QStringLiteral("Creazione dell'istituto dimostrativo non riuscita.\r\n%1")
                         .arg(why.isEmpty() ? p.errorString() : why),
                     MB_OK | MB_ICONERROR);
        return false;
    }
    accept();
    return true;
}

bool TfmVelPrimoAvvio::clickServer()
{
    TOvWorkstationIni::Server s;
    s.host = edHost->text();
    s.port = sbPort->value();
    s.database = edName->text();
    s.user = edUser->text();
    s.password = edPassword->text();
    if (const QString why = TOvWorkstationIni::problem(s); !why.isEmpty()) {
        OvMessageBox(why, MB_OK | MB_ICONWARNING);
        return false;
    }
    // tried before anything is written: a wrong server is said now
    TOvDbConfig trial = TOvWorkstationIni::config(s);
    if (trial.password.isEmpty())
        trial.password = qEnvironmentVariable("VELCU_DB_PASSWORD", qEnvironmentVariable("PGPASSWORD"));
    {
        TOvSQLConnection conn(trial);
        if (!conn.open()) {
            OvMessageBox(QStringLiteral("Collegamento al server %1 non riuscito.\r\n%2")
                             .arg(trial.describe(), conn.lastErrorText()),
                         MB_OK | MB_ICONERROR);
            return false;
        }
    }
    try {
        TOvWorkstationIni::write(iniFile, s);
        TOvIniFile::check(iniFile);
    } catch (const EOvException &e) {
        OvMessageBox(e.message(), MB_OK | MB_ICONERROR);
        return false;
    }
    accept();
    return true;
}

bool TfmVelPrimoAvvio::ensureDatabase(const TOvDbConfig &config)
{
    if (!TOvWorkstationIni::nothingConfigured(config))
        return true;
    TfmVelPrimoAvvio dialog;
    return dialog.exec() == QDialog::Accepted;
}
