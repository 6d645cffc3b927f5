#include "src/prj/unit/shell/VelStartup.h"

#include "src/prj/unit/dialogs/TfmVelInfo.h"

#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/shell/VelImportLaunch.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/dialogs/TfmVelPdfSost.h"
#include "src/prj/unit/dialogs/TfmVelStampaFirme.h"
#include "src/prj/unit/shell/TfmVelMain.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelSostituti.h"
#include "src/prj/unit/model/VelParametriUtente.h"

#include "platform/core/OvParamManager.h"
#include "platform/ui/framework/OvFormRegistry.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/TdmRagCalcola.h"
#include "rag/ui/calc/TfmRagDaPagare66.h"
#include "rag/params/dmRagParams.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorAnni.h"
#include "src/prj/unit/dialogs/TfmVelFile.h"
#include "tor/util/TorCampagna.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QCoreApplication>

TVelStartup::TVelStartup(Options options)
    : m_options(std::move(options))
{
}

TVelStartup::~TVelStartup()
{
    setInfoListWindow(nullptr);
    if (m_attivazioni) {
        m_attivazioni->onCuOrdinario = nullptr;
        m_attivazioni->WriteInformativa = nullptr;
    }
    m_dmStampePDF.reset();
    m_dmVelMain.reset();
    m_main.reset();
    if (m_params && OvMainParams() == &m_params->xpmOvuParams) {
        setOvMainParams(nullptr);
        annoFinanziario().setParams(nullptr);
        annoScolastico().setParams(nullptr);
    }
    m_attivazioni.reset();
    m_params.reset();
    m_connessione.reset();
}

namespace {

// A window of the agents' or the CU editor, given the store before it shows.
template <class T>
void registerEditor(const QString &name, const std::function<TTorDBCds *()> &store)
{
    registerFormClass(name, [store](QWidget *parent) -> QWidget * {
        T *form = ovCreate<T>(parent);
        form->setStore(store());
        return form;
    });
}

} // namespace

void TVelStartup::registerForms(const FormServices &services)
{
    const std::function<TTorDBCds *()> store = [s = services.store] { return s ? s() : nullptr; };
    registerFormClass<TfmVelParametri>(QStringLiteral("TfmVelParametri"));
    registerEditor<TfmVelCud>(QStringLiteral("TfmVelCud"), store);
    registerEditor<TfmVelSost>(QStringLiteral("TfmVelSost"), store);
    registerEditor<TfmVelAltriSost>(QStringLiteral("TfmVelAltriSost"), store);
    registerEditor<TfmVelQuaCT>(QStringLiteral("TfmVelQuaCT"), store);
    registerEditor<TfmVelFornitore>(QStringLiteral("TfmVelFornitore"), store);
    // "File Telematico"
    registerFormClass(QStringLiteral("TfmVelFile"), [store](QWidget *parent) -> QWidget * {
        return ovCreate<TfmVelFile>(parent, store());
    });
    // "Stampa CU Sintetico"
    registerFormClass(QStringLiteral("TfmVelPdf"), [store, services](QWidget *parent) -> QWidget * {
        return ovCreate<TfmVelPDF>(parent, store(), services.stampe, services.layout);
    });
    // "Stampa Frontespizio", "Stampa Quadro CT"
    registerFormClass(QStringLiteral("TfmVelPdfSost"), [services](QWidget *parent) -> QWidget * {
        return ovCreate<TfmVelPdfSost>(parent, services.stampe);
    });
    registerFormClass(QStringLiteral("TfmVelPdfQuadroCT"), [services](QWidget *parent) -> QWidget * {
        return ovCreate<TfmVelPdfQuadroCT>(parent, services.stampe);
    });
    // "Firma ricevute"
    registerFormClass(QStringLiteral("TfmVelStampaFirme"), [store, services](QWidget *parent) -> QWidget * {
        return ovCreate<TfmVelStampaFirme>(parent, store(), services.stampe);
    });
}

int TVelStartup::start()
{
    QCoreApplication::setApplicationName(Campagna::titoloApplicazione());

    // 1. Connection module: creating it loads the query catalogue.
    try {
        m_connessione = m_options.paths ? std::make_unique<TdmragConnessione>(*m_options.paths)
                                        : std::make_unique<TdmragConnessione>();
        m_connessione->xqoMain.setConfig(m_options.db);
    } catch (const std::exception &e) {
        showException(e);
        return 1;
    }
    // Without a catalogue nothing below can work; the connection's own
    // certificate check refuses it with the message the office knows.
    if (QueryText().isEmpty() && !m_connessione->OpenConnection())
        return 1;

    try {
        // 2. Parameters, with the values kept for this installation.
        m_params = std::make_unique<TdmRagParams>();
        VelParametriUtente::load(m_params->xpmOvuParams);
        // 3. Command table.
        m_attivazioni = std::make_unique<TdmVelAttivazioni>(m_connessione.get(), m_params.get());
        installImportWindows(*m_attivazioni);
        // 4. Main window.
        m_main.reset(ovCreate<TfmVelMain>(m_attivazioni.get()));
        QObject::connect(m_attivazioni.get(), &TdmVelAttivazioni::terminateRequested, m_main.get(),
                         &TfmVelMain::terminate);
        // 5.-6. The notes window and the search window come here.
        // 7. The main data module (the CU layout of the prints).
        m_dmVelMain = std::make_unique<TdmVelMain>();
        // 8. The print module: the print commands set its ordinary-CU flag.
        m_dmStampePDF = std::make_unique<TdmVelStampePDF>();
        m_dmStampePDF->setRunHost(TVelBoxRunHost::instance());
        m_attivazioni->onCuOrdinario = [stampe = m_dmStampePDF.get()](bool on) { stampe->ordinario = on; };
        // "Informativa": the leaflet is written, then the command opens it.
        m_attivazioni->WriteInformativa = [stampe = m_dmStampePDF.get()](const QString &file) {
            stampe->StampaInformativa(10, 17, file, false);
        };
        // 9. The calculation module and 10. the payment dialog of its rules.
        m_dmRagCalcola = std::make_unique<TdmRagCalcola>();
        m_fmDaPagare66 = std::make_unique<TfmRagDaPagare66>();
        // 11. The telematic module comes here.
        // 12. Financial-year dialog (made when asked for).
        const auto fiscalStore = [main = m_main.get()] { return main->fiscalStore(); };
        m_dmStampePDF->setStore(fiscalStore);
        registerForms(FormServices{fiscalStore, m_dmStampePDF.get(), m_dmVelMain.get()});
        setInfoListWindow(&TfmVelInfo::Execute);
    } catch (const std::exception &e) {
        showException(e);
        return 1;
    }

    m_main->show();
    m_main->activateWindow();
    if (m_main->terminating())
        return m_main->exitCode() != 0 ? m_main->exitCode() : 1;
    return 0;
}
