#pragma once
// Start-up of the program: the long-lived modules and windows, created in a
// fixed order, then the main window is shown (its first show connects to the
// database; see TfmVelMain) and the message loop runs.
//
//   TVelStartup startup(options);
//   if (int code = startup.start()) return code;   // the user has been told why
//   return app.exec();
#include "platform/db/OvDbConfig.h"
#include "rag/connection/TdmragConnessione.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class TdmRagCalcola;
class TdmRagParams;
class TfmRagDaPagare66;
class TdmVelMain;
class TdmVelStampePDF;
class TdmVelAttivazioni;
class TTorDBCds;
class TfmVelMain;

class TVelStartup
{
public:
    struct Options
    {
        TOvDbConfig db;
        // Catalogue folders; the installation's own when not given.
        std::optional<TdmragConnessione::Paths> paths;
    };

    explicit TVelStartup(Options options);
    ~TVelStartup();
    TVelStartup(const TVelStartup &) = delete;
    TVelStartup &operator=(const TVelStartup &) = delete;

    // Creates everything and shows the main window. 0 when the message loop
    // should run; otherwise the exit status (the reason was shown).
    int start();

    TdmragConnessione *connessione() const { return m_connessione.get(); }
    TdmRagParams *params() const { return m_params.get(); }
    TdmVelAttivazioni *attivazioni() const { return m_attivazioni.get(); }
    TfmVelMain *mainWindow() const { return m_main.get(); }
    TdmVelMain *dmVelMain() const { return m_dmVelMain.get(); }

    // What the windows opened by the command table work on: the shell hands
    // it to each window it makes (the store exists only after the main
    // window's first show, hence a function).
    struct FormServices
    {
        std::function<TTorDBCds *()> store;
        TdmVelStampePDF *stampe = nullptr;
        TdmVelMain *layout = nullptr;
    };
    // Registers the windows this build of the program has.
    static void registerForms(const FormServices &services);

private:
    Options m_options;
    // Declared in creation order; destroyed the other way round.
    std::unique_ptr<TdmragConnessione> m_connessione;
    std::unique_ptr<TdmRagParams> m_params;
    std::unique_ptr<TdmVelAttivazioni> m_attivazioni;
    std::unique_ptr<TfmVelMain> m_main;
    std::unique_ptr<TdmVelMain> m_dmVelMain;
    std::unique_ptr<TdmVelStampePDF> m_dmStampePDF;
    std::unique_ptr<TdmRagCalcola> m_dmRagCalcola;
    std::unique_ptr<TfmRagDaPagare66> m_fmDaPagare66;
};
