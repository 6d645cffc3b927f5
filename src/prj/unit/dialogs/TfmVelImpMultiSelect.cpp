#include "src/prj/unit/dialogs/TfmVelImpMultiSelect.h"

#include "src/prj/unit/dialogs/TfmVelCudTno.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/import/VelImportReport.h"

#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorUUtil.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QPushButton>
#include <QVBoxLayout>

TfmVelImpMultiSelect::TfmVelImpMultiSelect(TTorDBCds &store, const TVelImportOptions &options, TClientDataSet *sos,
                                           QWidget *parent)
    : TfmragFiscImpMultiSelect(parent), m_import(std::make_unique<TVelImportCud>(store, QueryText()))
{
    setObjectName(QStringLiteral("fmVelImpMultiSelect"));
    resize(720, 560);
    m_import->options() = options;
    m_import->setRunHost(TVelBoxRunHost::instance());
    if (m_import->options().anno <= 0)
        m_import->options().anno = store.year();
    // the engine takes the workgroup it is given; the window gives the program's
    if (m_import->options().IDWGID <= 0)
        m_import->options().IDWGID = TorUtil::workgroupId();
    m_import->setSede(sos);
    connection = store.connection();
    cbForzaStampati = new QCheckBox(QStringLiteral("Forza l'importazione dei modelli già stampati"), this);
    cbForzaStampati->setObjectName(QStringLiteral("cbForzaStampati"));
    if (auto *layout = qobject_cast<QVBoxLayout *>(pnClient->layout()))
        layout->insertWidget(layout->count() - 1, cbForzaStampati);
    m_import->hooks().onProgress = [this](int pos, int count, const QString &who) { progresso(pos, count, who); };
    m_import->hooks().onPosizioni = [this](TClientDataSet &rows, bool &cococo, const QString &who) {
        TfmVelCudTno::Execute(rows, cococo, who, this);
    };
    // The end log is shown with the counts once the run has returned them.
    m_import->hooks().onInfo = [this](const QStringList &lines) { m_log = lines; };
    // Between employees the window answers its "Annulla" button.
    m_import->hooks().interrotto = [this] {
        QApplication::processEvents();
        return m_stop;
    };
}

TfmVelImpMultiSelect::~TfmVelImpMultiSelect() = default;

bool TfmVelImpMultiSelect::carica()
{
    if (m_import->caricaCandidati() == 0)
        return false;
    mostraLista(&m_import->candidati(), {{QStringLiteral("CODICE"), {QStringLiteral("Codice"), 50}},
                                          {QStringLiteral("SANACOGNOMENOME"), {QStringLiteral("Dipendente"), 349}},
                                          {QStringLiteral("MESE_INIZIALE"), {QStringLiteral("Da mese"), 48}},
                                          {QStringLiteral("MESE_FINALE"), {QStringLiteral("A mese"), 48}},
                                          {QStringLiteral("CONGUAGLIO"), {QStringLiteral("Conguaglio"), 60}}});
    // Titles whole ("Da mese", "A mese"): a column is never narrower than its title.
    for (int c = 0; c < grMain->model()->columnCount(); ++c)
        grMain->setColumnWidth(c, qMax(grMain->columnWidth(c), grMain->horizontalHeader()->sectionSizeHint(c)));
    caricaFiltri();
    return true;
}

void TfmVelImpMultiSelect::importa(const QList<int> &keys)
{
    m_import->setSovraScrivi(TVelSovraScrivi(sovraScrivi()));
    m_import->setForzaStampati(cbForzaStampati->isChecked());
    QList<int> work = keys;
    if (work.isEmpty())
        return;
    // While the run goes only "Annulla" answers.
    m_running = true;
    m_stop = false;
    const QList<QWidget *> locked{grMain,       cbCalFiltro, cbTnoFiltro, cbQarFiltro, buSelectAll,
                                  buSelectNone, rgSovraScrivi, cbForzaStampati, buOk};
    for (QWidget *w : locked)
        w->setEnabled(false);
    const auto restore = [this, locked] {
        m_running = false;
        for (QWidget *w : locked)
            w->setEnabled(true);
        buCancel->setEnabled(true);
    };
    m_log.clear();
    try {
        m_ultimo = m_import->importa(work);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    QStringList report = rapportoFinale(m_ultimo, m_log);
    // Kept in the year's folder until the next import; a report that
    // cannot be kept is still shown, saying so.
    try {
        VelImportReport::save(report, m_import->options().anno);
    } catch (const std::exception &e) {
        report << QString() << QStringLiteral("Rapporto non salvato: ") + exceptionText(e);
    }
    TfmVelInfo::Execute(report, false, this);
}

void TfmVelImpMultiSelect::reject()
{
    if (!m_running) {
        TfmragFiscImpMultiSelect::reject();
        return;
    }
    m_stop = true;
    buCancel->setEnabled(false);
    lbProgresso->setText(QStringLiteral("Annullamento: l'importazione si ferma dopo il dipendente in corso."));
}

QStringList TfmVelImpMultiSelect::rapportoFinale(const TVelRunOutcome &outcome, const QStringList &log)
{
    return TVelImportCud::rapportoCompleto(outcome, log);
}

void TfmVelImpMultiSelect::Execute(TTorDBCds &store, TClientDataSet &parametri, TClientDataSet *sos, QWidget *parent)
{
    TfmVelImpMultiSelect w(store, TVelImportOptions::fromParametri(parametri), sos, parent);
    if (!w.carica()) {
        OvMessageBox(QStringLiteral("Nessuna dato da importare!"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    w.ShowModal();
}
