#include "src/prj/unit/editors/TfmVelSostituti.h"

#include "src/prj/unit/editors/TfrVelSostituti.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"

#include <QVBoxLayout>

TfmVelAgentForm::TfmVelAgentForm(QWidget *parent)
    : TfmOvChildDBDA(parent)
{
}

TTorDBCds *TfmVelAgentForm::store() const
{
    return m_store;
}

void TfmVelAgentForm::formCreate()
{
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    m_frame = createFrame();
    l->addWidget(m_frame);
}

void TfmVelAgentForm::formShow()
{
    TTorDBCds *s = store();
    if (!s)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    m_frame->setStore(s);
    m_frame->open();
}

void TfmVelAgentForm::formClose()
{
    if (m_frame)
        m_frame->close();
}

bool TfmVelAgentForm::saveAll()
{
    if (!m_frame)
        return TfmOvChildDBDA::saveAll();
    const bool rule = m_frame->confirmOnly();
    m_frame->setConfirmOnly(false);
    bool ok = false;
    try {
        ok = TfmOvChildDBDA::saveAll();
    } catch (...) {
        m_frame->setConfirmOnly(rule);
        throw;
    }
    m_frame->setConfirmOnly(rule);
    return ok;
}

TfmVelSost::TfmVelSost(QWidget *parent)
    : TfmVelAgentForm(parent)
{
    setObjectName(QStringLiteral("fmVelSost"));
    setWindowTitle(QStringLiteral("Dati Sostituto"));
}

TfrVelAgentBase *TfmVelSost::createFrame()
{
    resize(1280, 700);
    return frVelSost = new TfrVelSost(this);
}

TfmVelAltriSost::TfmVelAltriSost(QWidget *parent)
    : TfmVelAgentForm(parent)
{
    setObjectName(QStringLiteral("fmVelAltriSost"));
    setWindowTitle(QStringLiteral("Dati Sostituto"));
}

TfrVelAgentBase *TfmVelAltriSost::createFrame()
{
    resize(1280, 460);
    return frVelAltriSost = new TfrVelAltriSost(this);
}

TfmVelQuaCT::TfmVelQuaCT(QWidget *parent)
    : TfmVelAgentForm(parent)
{
    setObjectName(QStringLiteral("fmVelQuaCT"));
    setWindowTitle(QStringLiteral("Quadro CT"));
}

TfrVelAgentBase *TfmVelQuaCT::createFrame()
{
    resize(1280, 460);
    return frVelQuaCt = new TfrVelQuaCt(this);
}

TfmVelFornitore::TfmVelFornitore(QWidget *parent)
    : TfmVelAgentForm(parent)
{
    setObjectName(QStringLiteral("fmVelFornitore"));
    setWindowTitle(QStringLiteral("Dati Fornitore"));
}

TfrVelAgentBase *TfmVelFornitore::createFrame()
{
    resize(620, 300);
    return frVelFornitore = new TfrVelFornitore(this);
}

void TfmVelFornitore::formCloseQuery(bool &canClose)
{
    TClientDataSet *ds = frVelFornitore ? frVelFornitore->cdsMain : nullptr;
    if (ds && ds->active() &&
        (ds->state() == TDataSetState::Edit || ds->state() == TDataSetState::Insert)) {
        OvMessageBox(QStringLiteral("Non è possibile chiudere la finestra prima di aver salvato le modifiche"),
                     MB_OK | MB_ICONINFORMATION);
        canClose = false;
    }
}
