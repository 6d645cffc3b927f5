#pragma once
// The program's main window: outline bar with the command pages on the left,
// page menus and the Help additions, the status bar with the financial year.
//
// First show: the command table connects (connection checks, school record);
// when it cannot, the program ends. Then the fiscal store of this program is
// created; it lives until the window closes. First activation (once): menu
// and outline bar, the update notes when "Check.txt" is there, and the
// financial-year dialog.
#include "platform/ui/framework/TfmOvMDIMain.h"

#include <memory>

class QAction;
class TdmVelAttivazioni;
class TTorDBCds;

class TfmVelMain : public TfmOvMDIMain
{
    Q_OBJECT
public:
    explicit TfmVelMain(TdmVelAttivazioni *attivazioni, QWidget *parent = nullptr);
    ~TfmVelMain() override;

    // The program's main window, when it is one of these.
    static TfmVelMain *instance();

    TdmVelAttivazioni *attivazioni() const { return m_attivazioni; }

    // The folder above the program folder, ending with '/'.
    QString mainFolder() const { return m_mainFolder; }

    // Financial year chosen in the year dialog, as text ("2025").
    QString financialYearText() const { return m_annoFin; }
    void setFinancialYearText(const QString &year) { m_annoFin = year; }
    // Date of the model (dd/mm/yyyy), set by the year dialog; empty until then.
    QString modelDate() const { return m_dataModello; }
    void setModelDate(const QString &date) { m_dataModello = date; }
    void refreshStatusBar();

    // The fiscal store of this program (null before the first show and after close).
    TTorDBCds *fiscalStore() const { return m_store.get(); }

    bool firstActivationDone() const { return m_firstActivationDone; }
    // Pause after the update notes were opened, so they come up before the year dialog.
    int notesPauseMs = 1000;

    // Help additions.
    QAction *acNoteTel = nullptr;
    QAction *acIstruzioni = nullptr;
    QAction *miIstruzioni = nullptr;   // the Help item of acIstruzioni
    QAction *acProvAppr = nullptr;

    // Ends the program with an exit status: at once when the message loop
    // runs, otherwise the start-up sees terminating() and stops.
    void terminate(int exitCode);
    bool terminating() const { return m_terminating; }
    int exitCode() const { return m_exitCode; }

protected:
    void formCreate() override;
    void formShow() override;
    void formActivate() override;
    void formClose() override;

private:
    void firstActivation();
    void runCommand(const QString &name);

    TdmVelAttivazioni *m_attivazioni;
    QString m_mainFolder;
    QString m_annoFin;
    QString m_dataModello;
    std::unique_ptr<TTorDBCds> m_store;
    bool m_firstActivationDone = false;
    bool m_terminating = false;
    int m_exitCode = 0;
};
