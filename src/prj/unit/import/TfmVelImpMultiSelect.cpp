#include "TfmVelImpMultiSelect.h"

#include "TfmVelCudTno.h"
#include "VelImportCud.h"

#include "platform/framework/OvMessages.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"
#include "tor/store/torUDBCds.h"

#include <QCheckBox>
#include <QVBoxLayout>

TfmVelImpMultiSelect::TfmVelImpMultiSelect(TTorDBCds &store, const TVelImportOptions &options, TClientDataSet *sos,
                                           QWidget *parent)
    : TfmragFiscImpMultiSelect(parent), m_import(std::make_unique<TVelImportCud>(store))
{
    setObjectName(QStringLiteral("fmVelImpMultiSelect"));
    resize(720, 560);
    m_import->options = options;
    if (m_import->options.anno <= 0)
        m_import->options.anno = store.year();
    m_import->sos = sos;
    connection = store.connection();
    cbForzaStampati = new QCheckBox(QStringLiteral("Forza l'importazione dei modelli già stampati"), this);
    cbForzaStampati->setObjectName(QStringLiteral("cbForzaStampati"));
    if (auto *layout = qobject_cast<QVBoxLayout *>(pnClient->layout()))
        layout->insertWidget(layout->count() - 1, cbForzaStampati);
    m_import->onProgress = [this](int pos, int count, const QString &who) { progresso(pos, count, who); };
    m_import->onPosizioni = [this](TClientDataSet &rows, bool &cococo, const QString &who) {
        TfmVelCudTno::Execute(rows, cococo, who, this);
    };
    m_import->onInfo = [this](const QStringList &lines) { TfmVelInfo::Execute(lines, false, this); };
}

TfmVelImpMultiSelect::~TfmVelImpMultiSelect() = default;

bool TfmVelImpMultiSelect::carica()
{
    if (m_import->caricaCandidati() == 0)
        return false;
    mostraLista(&m_import->cdsCandidati, {{QStringLiteral("CODICE"), {QStringLiteral("Codice"), 50}},
                                          {QStringLiteral("SANACOGNOMENOME"), {QStringLiteral("Dipendente"), 349}},
                                          {QStringLiteral("MESE_INIZIALE"), {QStringLiteral("Da mese"), 48}},
                                          {QStringLiteral("MESE_FINALE"), {QStringLiteral("A mese"), 48}},
                                          {QStringLiteral("CONGUAGLIO"), {QStringLiteral("Conguaglio"), 60}}});
    caricaFiltri();
    return true;
}

void TfmVelImpMultiSelect::importa(const QList<int> &keys)
{
    m_import->sovraScrivi = TVelSovraScrivi(sovraScrivi());
    m_import->forzaStampati = cbForzaStampati->isChecked();
    QList<int> work = keys;
    if (work.isEmpty())
        return;
    m_import->importa(work);
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
