#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "tor/util/TorCampagna.h"

#include "src/prj/unit/model/VelParametriUtente.h"
#include "src/prj/unit/import/VelImportReport.h"

#include "platform/core/OvExceptions.h"
#include "platform/ui/framework/OvFormRegistry.h"
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TfmOvMDIMain.h"
#include "rag/connection/TdmragConnessione.h"
#include "rag/params/dmRagParams.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"
#include "tor/util/TorUUtil.h"
#include "velcu/VelFields.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QSet>

namespace {

const QString kResFolder = Campagna::cartellaRes();
const QString kStpFolder = Campagna::cartellaStampe();

QString laterVersionHint()
{
    return QStringLiteral("Disponibile con una prossima versione del programma.");
}

// Closes the school record however the launch ends.
struct CloseOnExit
{
    TClientDataSet &ds;
    ~CloseOnExit() { ds.close(); }
};

} // namespace

TdmVelAttivazioni::TdmVelAttivazioni(TdmragConnessione *connessione, TdmRagParams *params, QObject *parent)
    : TdmOvAttivazioni(parent), m_connessione(connessione), m_params(params)
{
    setObjectName(QStringLiteral("dmVelAttivazioni"));
    declarePages();
    declareForms();
    declareActions();
    declareDocuments();

    xqcSos.setObjectName(QStringLiteral("xqcSos"));
    xqcSos.setConnection(m_connessione ? &m_connessione->xqoMain : nullptr);
    xqcSos.PacketRecords = 25;
    cdsTmp.setObjectName(QStringLiteral("cdsTmp"));
    defineParametri();
}

TdmVelAttivazioni::~TdmVelAttivazioni() = default;

QString TdmVelAttivazioni::missingConfiguration()
{
    return QStringLiteral("ATTENZIONE: Non è stata  trovata la configurazione di Istituto-Anno Scolastico-Anno "
                          "finanziario nei\r\nparametri dell'applicazione compensi per l'anno finanziario di "
                          "interesse, il programma verrà terminato");
}

QString TdmVelAttivazioni::questionIntegraDMA()
{
    return QStringLiteral("ATTENZIONE: l'importazione da storico deve essere usata solo se non è stato possibile "
                          "acquisire i dati dal DMA.\r\nI dati INPDAP saranno sovrascritti. Continuare ?");
}

QString TdmVelAttivazioni::questionIntegraINPS()
{
    return QStringLiteral("ATTENZIONE: questa operazione cancella i dati INPS contenuti nei CUD selezionati in "
                          "seguito, sostituendoli con quelli importati da Emens.\r\nN.B. il campo \"Contributi a "
                          "carico del lavoratore trattenuti\" viene sempre lasciato vuoto.  Continuare ?");
}

// ---- declarations ---------------------------------------------------------

void TdmVelAttivazioni::declarePages()
{
    xpgDatiCud = addPage(QStringLiteral("xpgDatiCud"), QStringLiteral("Operazioni"), 0, 0);
    xpgStampe = addPage(QStringLiteral("xpgStampe"), QStringLiteral("Stampe"), 10, 0);
    xpgFile = addPage(QStringLiteral("xpgFile"), QStringLiteral("File telematico"), 20);
    xpgStrumenti = addPage(QStringLiteral("xpgStrumenti"), QStringLiteral("Strumenti"), 30);
}

void TdmVelAttivazioni::declareForms()
{
    const auto form = [this](const char *name, TOvApgPage *page, int order, const char *caption,
                             const char *classe, bool modal, int image) {
        return addForm(QLatin1String(name), page, order, QString::fromUtf8(caption), QLatin1String(classe), modal,
                       image);
    };
    xafDatiCud = form("xafDatiCud", xpgDatiCud, 2, "Dati CU", "TfmVelCud", false, 0);
    xafFornitore = form("xafFornitore", xpgDatiCud, 3, "Fornitore", "TfmVelFornitore", false, 3);
    axfDatiSost = form("axfDatiSost", xpgDatiCud, 4, "Dati Sostituto", "TfmVelSost", false, 3);
    xafQuaCT = form("xafQuaCT", xpgDatiCud, 5, "Quadro CT", "TfmVelQuaCT", false, 3);
    xafAlktriSost = form("xafAlktriSost", xpgDatiCud, 100, "Dati Altri Sostituti", "TfmVelAltriSost", false, 6);
    xafAlktriSost->Visible = false;

    xafStampa = form("xafStampa", xpgStampe, 1, "Stampa CU Sintetico", "TfmVelPdf", true, 1);
    xafStampa->BeforeExecute = [this](TOvAttCommand *, bool &) { setCuOrdinario(false); };
    xafStpCuOrd = form("xafStpCuOrd", xpgStampe, 5, "Stampa CU Ordinario", "TfmVelPdf", true, 1);
    xafStpCuOrd->BeforeExecute = [this](TOvAttCommand *, bool &) { setCuOrdinario(true); };
    xafStpSost = form("xafStpSost", xpgStampe, 20, "Stampa Frontespizio", "TfmVelPdfSost", true, 1);
    xaFQuadroCT = form("xaFQuadroCT", xpgStampe, 30, "Stampa Quadro CT", "TfmVelPdfQuadroCT", true, 1);
    xafStampaFirme = form("xafStampaFirme", xpgStampe, 50, "Firma ricevute", "TfmVelStampaFirme", true, 1);

    xafFile = form("xafFile", xpgFile, 10, "File Telematico", "TfmVelFile", true, 3);
    xafParametri = form("xafParametri", xpgStrumenti, 0, "Parametri", "TfmVelParametri", false, 4);
}

void TdmVelAttivazioni::declareActions()
{
    // "Import" does all its work before the framework's own execution, which
    // it always cancels.
    xacImport = addComponent(QStringLiteral("xacImport"), xpgDatiCud, 1, QStringLiteral("Import"), 2);
    xacImport->BeforeExecute = [this](TOvAttCommand *, bool &allow) {
        allow = false;
        if (!refuseWithChildren())
            RunImport(0);
    };

    // The last import's report, kept in the year's folder until the next one.
    xacRapportoImport = addComponent(QStringLiteral("xacRapportoImport"), xpgDatiCud, 6,
                                     QStringLiteral("Rapporto ultima importazione"), 2,
                                     [](TOvAttComponent *) { ShowImportReport(); });

    xacIntegraDMA = addComponent(QStringLiteral("xacIntegraDMA"), xpgStrumenti, 10, QStringLiteral("Inpdap da storico"),
                                 2, [this](TOvAttComponent *) { askAndImport(questionIntegraDMA(), 1); });
    xacIntegraINPS = addComponent(QStringLiteral("xacIntegraINPS"), xpgStrumenti, 20, QStringLiteral("Inps da Emens"),
                                  2, [this](TOvAttComponent *) { askAndImport(questionIntegraINPS(), 2); });
    for (TOvAttComponent *c : {xacIntegraDMA, xacIntegraINPS}) {
        c->Visible = false;
        c->Enabled = false;
        c->BeforeExecute = [this](TOvAttCommand *, bool &allow) { allow = !refuseWithChildren(); };
    }
}

void TdmVelAttivazioni::declareDocuments()
{
    xasInformativa = addShell(QStringLiteral("xasInformativa"), xpgStampe, 60, QStringLiteral("Informativa"),
                              QStringLiteral("informativa.pdf"));
    xasInformativa->Visible = false;
    xasInformativa->Enabled = false;
    xasInformativa->BeforeExecute = [this](TOvAttCommand *, bool &) {
        if (!WriteInformativa)
            throw EOvError(QStringLiteral("La stampa dell'informativa non è disponibile in questa versione del programma."));
        WriteInformativa(xasInformativa->filePath());
    };

    xasNotizie = addShell(QStringLiteral("xasNotizie"), nullptr, 50, QStringLiteral("Notizie"), QStringLiteral("News.pdf"));
    xasIstruzioni = addShell(QStringLiteral("xasIstruzioni"), nullptr, 50, QStringLiteral("Istruzioni CUD 2011"),
                             QStringLiteral("istruzioni.pdf"));
    xasNoteTel = addShell(QStringLiteral("xasNoteTel"), nullptr, 50, QStringLiteral("Istruzioni Invio Telematico"),
                          QStringLiteral("invio_telematico.pdf"));
    xasProvvAppr = addShell(QStringLiteral("xasProvvAppr"), nullptr, 50, QStringLiteral("Istruzioni CUD 2011"),
                            QStringLiteral("ProvvedimentoAppr.pdf"));
    for (TOvAttShell *c : {xasNotizie, xasIstruzioni, xasNoteTel, xasProvvAppr})
        c->Enabled = false;   // reached from the Help menu, which runs them directly

    // Shipped documents are found whatever the case of their names.
    const auto inResFolder = [this](const QString &name) {
        return TorFolders::resolveFile(mainFolder() + kResFolder, name);
    };
    const auto sameFolder = [](TOvAttCommand *cmd, bool &) {
        auto *shell = static_cast<TOvAttShell *>(cmd);
        if (!shell->Directory.isEmpty() && QFileInfo(shell->FileName).isRelative())
            shell->FileName = QFileInfo(TorFolders::resolveFile(shell->Directory, shell->FileName)).fileName();
    };
    xasNotizie->BeforeExecute = sameFolder;
    xasNoteTel->BeforeExecute = sameFolder;
    xasIstruzioni->BeforeExecute = [inResFolder](TOvAttCommand *cmd, bool &) {
        static_cast<TOvAttShell *>(cmd)->FileName = inResFolder(Campagna::istruzioni());
    };
    xasProvvAppr->BeforeExecute = [inResFolder](TOvAttCommand *cmd, bool &) {
        static_cast<TOvAttShell *>(cmd)->FileName = inResFolder(QStringLiteral("Provvedimento.pdf"));
    };
    // The update notes are shown once: their marker goes once they were opened.
    xasNotizie->AfterExecute = [inResFolder](TOvAttCommand *) {
        const QString marker = inResFolder(QStringLiteral("Check.txt"));
        if (QFileInfo::exists(marker) && !QFile::remove(marker))
            throw EOvError(QStringLiteral("Impossibile eliminare il file %1.").arg(marker));
    };
}

void TdmVelAttivazioni::defineParametri()
{
    cdsParametri.setObjectName(QStringLiteral("cdsParametri"));
    const auto integer = [](const char *n) { return TFieldDef{QLatin1String(n), TFieldType::Integer, 0}; };
    const auto boolean = [](const char *n) { return TFieldDef{QLatin1String(n), TFieldType::Boolean, 0}; };
    cdsParametri.setFieldDefs({
        integer("ICOTID"), integer("IMESID"), integer("ITIPOESECUZIONE"), integer("ICOTFONDAMENTALE"),
        integer("ICALID"), integer("IVPROID"), integer("ICOSID"),
        boolean("DAINIZIO"), boolean("SOLOINPS"), boolean("SOSTITUTO"),
        TFieldDef{QStringLiteral("CFAMM"), TFieldType::String, 20},
        boolean("ANCHE_SENZA_CONGUAGLIO"), boolean("ACCONTO_ADD_COM"), boolean("ARRETRATI_DETR"),
        boolean("ACCONTO_ADD_COM_ANNO"),
        integer("INCLUDI_INPDAP_MEF"),
        TFieldDef{QStringLiteral("SCODFISALTRISOS"), TFieldType::String, 16},
        boolean("CALC_IRPEF_DA_INPS_COCOCO"), boolean("FISCALE_NOIPA"),
    });
}

// ---- connect step and menu ------------------------------------------------

bool TdmVelAttivazioni::Connect()
{
    if (!m_connessione || !m_connessione->OpenConnection())
        return false;
    // A fresh installation has no workgroup yet: take the year's configuration
    // found in the database. When that fails the school record below is not
    // found either, and the user is told so.
    QString defaultsCause;
    try {
        VelParametriUtente::applyDefaults(*m_params);
    } catch (const std::exception &e) {
        defaultsCause = exceptionText(e);
    }
    if (!readSchoolRecord(defaultsCause))
        return false;
    VelParametriUtente::takeYearsFrom(m_params->xpmOvuParams, xqcSos);
    VelParametriUtente::save(m_params->xpmOvuParams);
    return true;
}

QString TdmVelAttivazioni::mainFolder() const
{
    return m_mainFolder.isEmpty() ? TorFolders::mainDir() : m_mainFolder;
}

void TdmVelAttivazioni::SetDocumentFolders(const QString &folder)
{
    m_mainFolder = folder;
    const QString res = folder + kResFolder;
    // the prints go where the office writes: the data folder of an installed
    // package, the main folder itself on a stage
    const QString stp = folder == TorFolders::mainDir() ? TorFolders::stpDir() : folder + kStpFolder;
    for (auto [cmd, dir] : {std::pair{xasInformativa, stp}, std::pair{xasIstruzioni, stp},
                            std::pair{xasNotizie, res}, std::pair{xasNoteTel, res}})
        if (cmd->Directory.isEmpty())
            cmd->Directory = dir;
}

void TdmVelAttivazioni::BuildMenu()
{
    for (TOvAttCommand *c : commands()) {
        if (c->kind() != TOvAttCommand::FormCommand)
            continue;
        const bool available = isFormClassRegistered(static_cast<TOvAttForm *>(c)->ClasseForm);
        c->setEnabled(available);
        c->Hint = available ? QString() : laterVersionHint();
    }
    Execute();
    // Every menu of the bar opens with Alt and a letter of its own.
    if (TfmOvMDIMain *main = mainForm())
        giveAccelerators(main->menuBar()->actions());
}

void TdmVelAttivazioni::giveAccelerators(const QList<QAction *> &actions)
{
    QSet<QChar> used;
    for (QAction *a : actions) {
        const QString t = a->text();
        const qsizetype at = t.indexOf(u'&');
        if (at >= 0 && at + 1 < t.size())
            used.insert(t.at(at + 1).toLower());
    }
    for (QAction *a : actions) {
        QString t = a->text();
        if (a->isSeparator() || t.isEmpty() || t.contains(u'&'))
            continue;
        // The first letter of a word, else any letter, not taken yet.
        qsizetype at = -1;
        for (qsizetype i = 0; i < t.size() && at < 0; ++i)
            if (t.at(i).isLetter() && (i == 0 || t.at(i - 1) == u' ') && !used.contains(t.at(i).toLower()))
                at = i;
        for (qsizetype i = 0; i < t.size() && at < 0; ++i)
            if (t.at(i).isLetter() && !used.contains(t.at(i).toLower()))
                at = i;
        if (at < 0)
            continue;
        used.insert(t.at(at).toLower());
        a->setText(t.insert(at, u'&'));
    }
}

// ---- commands -------------------------------------------------------------

bool TdmVelAttivazioni::childrenOpen() const
{
    TfmOvMDIMain *main = mainForm();
    return main && main->mdiChildCount() > 0;
}

bool TdmVelAttivazioni::refuseWithChildren()
{
    if (!childrenOpen())
        return false;
    OvMessageBox(refusalWithChildren(), MB_OK | MB_ICONERROR);
    return true;
}

void TdmVelAttivazioni::setCuOrdinario(bool on)
{
    m_cuOrdinario = on;
    if (onCuOrdinario)
        onCuOrdinario(on);
}

void TdmVelAttivazioni::ShowImportReport()
{
    const QStringList lines = VelImportReport::load();
    if (lines.isEmpty()) {
        OvMessageBox(VelImportReport::noneYet(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    OvInfoList(lines);
}

void TdmVelAttivazioni::askAndImport(const QString &question, int mode)
{
    if (OvMessageBox(question, MB_YESNO | MB_ICONWARNING) == IDYES)
        RunImport(mode);
}

bool TdmVelAttivazioni::readSchoolRecord(const QString &earlierCause)
{
    bool found = false;
    QString cause = earlierCause;
    try {
        xqcSos.close();
        QueryText().SetQuery(QStringLiteral("QRY_SED"), xqcSos, 0, QStringLiteral("EXECUTE"));
        xqcSos.paramByName(QStringLiteral("IDWGID")).setAsInteger(TorUtil::workgroupId());
        xqcSos.open();
        found = !xqcSos.isEmpty();
    } catch (const std::exception &e) {
        // The configuration may well be there: say what went wrong after the
        // message the office knows.
        found = false;
        cause = exceptionText(e);
    }
    if (!found) {
        xqcSos.close();
        QString text = missingConfiguration();
        if (!cause.isEmpty())
            text += QStringLiteral("\r\n\r\nCausa: ") + cause;
        OvMessageBox(text, MB_OK | MB_ICONERROR);
    }
    return found;
}

void TdmVelAttivazioni::RunImport(int mode)
{
    Q_UNUSED(mode); // the three launches lead to the same wizard and import
    if (!m_store)
        throw EAssertionFailed(QStringLiteral("Archivio fiscale non disponibile per l'importazione."));
    CloseOnExit closeSos{xqcSos};

    // 1. The working year of the year object (and, once they are part of the
    //    program, of the calculation classes) is the store's.
    annoFinanziario().setYearText(QString::number(m_store->year()));

    // 2. A fresh parameter record; the agent's data are imported too when
    //    the store has none for this year.
    cdsParametri.close();
    cdsParametri.createDataSet();
    cdsParametri.append();
    cdsParametri.fieldByName(QStringLiteral("SOSTITUTO"))
        .setAsBoolean(!m_store->HasRows(rec::TCUS_DATISOST::id.qs()));

    // 3. The school record, read again.
    if (!readSchoolRecord()) {
        emit terminateRequested(1);
        return;
    }

    // 4. The wizard, then the selection of the employees.
    if (!RunImportWizard) {
        OvMessageBox(QStringLiteral("L'importazione dei dati dalle retribuzioni sarà disponibile con una prossima "
                                    "versione del programma."),
                     MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!RunImportWizard(cdsParametri, xqcSos))
        return;
    if (cdsParametri.fieldByName(QStringLiteral("SOSTITUTO")).asBoolean()) {
        if (!cdsParametri.modified())
            cdsParametri.edit();
        cdsParametri.fieldByName(QStringLiteral("CFAMM"))
            .setAsString(xqcSos.fieldByName(QStringLiteral("SSEDNOMCODICEFISC")).asString());
    } else {
        xqcSos.close();
    }
    if (cdsParametri.modified())
        cdsParametri.post();
    if (cdsParametri.fieldByName(QStringLiteral("ICOTFONDAMENTALE")).asInteger() == 1) {
        if (RunImportSelection)
            RunImportSelection(cdsParametri, xqcSos);
        else
            OvMessageBox(QStringLiteral("La selezione dei dipendenti da importare sarà disponibile con una prossima "
                                        "versione del programma."),
                         MB_OK | MB_ICONINFORMATION);
    }
}
