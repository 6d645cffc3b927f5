#pragma once
// The payroll agent's parameters of a configuration (QRY_PACO), edited in
// place: TfrRagPacoBase holds the row (xqcMain, written back through the
// catalogue's insert and update statements), TfrRagPacoCud shows the fields
// the CU import uses.
#include "platform/sql/OvQueryCollection.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class TOvSQLConnection;

class TfrRagPacoBase : public QWidget
{
    Q_OBJECT
public:
    explicit TfrRagPacoBase(QWidget *parent = nullptr);

    TOvQueryCollection xqcMain;

    // Opens the row of the configuration; inserts one when there is none,
    // and puts it in edit state.
    void apri(int idwgid, TOvSQLConnection *connection = nullptr);
    // Posts a pending edit and writes it to the database.
    void salva();

protected:
    // Fills the editors from the row.
    virtual void leggi() {}

private:
    int m_idwgid = 0;
};

class TfrRagPacoCud : public TfrRagPacoBase
{
    Q_OBJECT
public:
    explicit TfrRagPacoCud(QWidget *parent = nullptr);

    QLineEdit *edMatrAzienda = nullptr;   // SPACOMATRAZIENDA
    QLineEdit *edMatrAzAcc = nullptr;     // SPACOMATRAZACC
    QLineEdit *edCfInps = nullptr;        // SPACOCFINPS
    QCheckBox *chCudInpdap = nullptr;     // LPACOCUDINPDAP (read-only)
    QLineEdit *edCfMef = nullptr;         // SPACOCFMEF

protected:
    void leggi() override;

private:
    void bind(QLineEdit *edit, const char *field);
    bool m_reading = false;
};
