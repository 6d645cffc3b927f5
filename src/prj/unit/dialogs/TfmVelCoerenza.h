#pragma once
// "Controllo di coerenza dei CU": the findings of the coherence check of the
// year's CUs in one list (payee, box, value, rule), with the counts and, when
// the payroll could not be read, what was not checked. "Aggiorna" runs the
// check again after a correction in "Dati CU"; "Stampa" writes the list as a
// PDF into the print folder and opens it.
#include "platform/ui/framework/TfmOvDialog.h"
#include "src/prj/unit/check/VelCoherence.h"

class QLabel;
class QPushButton;
class QTableWidget;
class TTorDBCds;

class TfmVelCoerenza : public TfmOvDialog
{
    Q_OBJECT
public:
    // Without a store the window only shows what setResult gives it.
    explicit TfmVelCoerenza(TTorDBCds *store = nullptr, int workgroup = 0, QWidget *parent = nullptr);

    QLabel *lbRiepilogo = nullptr;
    QTableWidget *grElenco = nullptr;
    QPushButton *buAggiorna = nullptr;
    QPushButton *buStampa = nullptr;
    QPushButton *buChiudi = nullptr;

    // Runs the check on the store and shows it.
    void aggiorna();
    void setResult(const TVelCoherenceResult &result);
    const TVelCoherenceResult &result() const { return m_result; }

    // The list as a PDF at `path` (written through the checked file routine);
    // returns the path.
    QString stampa(const QString &path);
    // "Coerenza-CU.pdf" in the print folder, then opened with the shell.
    QString stampaEApri();

    // Opens the window on the store, modally.
    static void Execute(TTorDBCds &store, int workgroup, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("Controllo di coerenza dei CU"); }

private:
    QString riepilogo() const;

    TTorDBCds *m_store;
    int m_workgroup;
    TVelCoherenceResult m_result;
};
