#pragma once
// First start of a workstation with no database configured (no ini, no
// variable, no option, no demo database yet): the program says so and offers
// the two ways, the demo school to try it (velcu-db create --demo, run as the
// office would from the command line) or the office's PostgreSQL server (the
// ini's [Database] keys, checked and tried before the file is written).
#include "platform/db/OvWorkstationIni.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TfmVelPrimoAvvio : public QDialog
{
    Q_OBJECT
public:
    explicit TfmVelPrimoAvvio(QWidget *parent = nullptr);

    static QString introText();

    QLabel *lbIntro = nullptr;
    QPushButton *buDemo = nullptr;
    QLineEdit *edHost = nullptr;
    QSpinBox *sbPort = nullptr;
    QLineEdit *edName = nullptr;
    QLineEdit *edUser = nullptr;
    QLineEdit *edPassword = nullptr;
    QPushButton *buServer = nullptr;
    QPushButton *buEsci = nullptr;

    // What the buttons do; true when the database is ready and the dialog
    // closed. A failure is shown and the dialog stays.
    bool clickDemo();
    bool clickServer();

    // The ini the server's choice writes (the program's own by default).
    QString iniFile;
    // The set-up tool the demo's choice runs (velcu-db beside the program).
    QString setUpTool;

    // Shows the dialog when `config` names nothing; true when the program may
    // go on (a database was made or configured, or there was nothing to ask).
    static bool ensureDatabase(const TOvDbConfig &config);
};
