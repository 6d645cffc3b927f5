#pragma once
// Whoever runs an engine: what the engine tells the office and what it asks.
// An engine shows nothing itself. The windows answer with their boxes
// (dialogs/VelBoxRunHost), the command line from its options; an engine
// nobody gave a host to speaks through the unattended one below.
#include <QString>
#include <QStringList>

enum class TVelNotice {
    Information,  // the run went as asked ("Fine operazione")
    Warning,      // something to look at; the run goes on
    Error,        // a payee or a step failed; the run's outcome says it too
    WarningAlert, // a warning in a window titled "Attenzione"
    ErrorAlert,   // the run as a whole failed, in a window titled "Errore"
};

class IVelRunHost
{
public:
    virtual ~IVelRunHost() = default;
    virtual void notice(const QString &text, TVelNotice kind) = 0;
    // A yes/no question; true for yes.
    virtual bool question(const QString &text) = 0;
    // The lines of "Informazioni"; with ask they end with "Si desidera
    // proseguire?" and true means go on. Without ask the answer is true.
    virtual bool information(const QStringList &lines, bool ask) = 0;
};

// No one to ask: notices go to standard error, every question gets the
// cautious answer (no: nothing replaced, nothing written past a warning).
class TVelUnattendedRunHost : public IVelRunHost
{
public:
    void notice(const QString &text, TVelNotice kind) override;
    bool question(const QString &text) override;
    bool information(const QStringList &lines, bool ask) override;

    static TVelUnattendedRunHost &instance();
};
