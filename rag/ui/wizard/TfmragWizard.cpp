#include "TfmragWizard.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

TfmragWizard::TfmragWizard(QWidget *parent) : TfmOvWizard(parent)
{
    tsTipoCompenso = new QWidget;
    auto *l = new QVBoxLayout(tsTipoCompenso);
    l->addWidget(new QLabel(QStringLiteral("Tipo di compenso"), tsTipoCompenso));
    rbFondamentali = new QRadioButton(QStringLiteral("Compensi fondamentali"), tsTipoCompenso);
    rbAccessori = new QRadioButton(QStringLiteral("Compensi accessori"), tsTipoCompenso);
    rbCollaboratori = new QRadioButton(QStringLiteral("Compensi ai collaboratori"), tsTipoCompenso);
    rbFondamentali->setObjectName(QStringLiteral("rbFondamentali"));
    rbAccessori->setObjectName(QStringLiteral("rbAccessori"));
    rbCollaboratori->setObjectName(QStringLiteral("rbCollaboratori"));
    auto *group = new QButtonGroup(tsTipoCompenso);
    for (QRadioButton *b : {rbFondamentali, rbAccessori, rbCollaboratori}) {
        group->addButton(b);
        l->addWidget(b);
    }
    rbFondamentali->setChecked(true);
    l->addStretch(1);
    addPage(tsTipoCompenso, QStringLiteral("tsTipoCompenso"));

    tsGruppo = new QWidget;
    auto *g = new QVBoxLayout(tsGruppo);
    g->addWidget(new QLabel(QStringLiteral("Gruppo"), tsGruppo));
    edGruppo = new QLineEdit(QStringLiteral("1"), tsGruppo);
    edGruppo->setObjectName(QStringLiteral("edGruppo"));
    g->addWidget(edGruppo);
    g->addStretch(1);
    addPage(tsGruppo, QStringLiteral("tsGruppo"));
}

void TfmragWizard::setDataSets(TClientDataSet *parametri, TClientDataSet *sos)
{
    m_parametri = parametri;
    m_sos = sos;
}

int TfmragWizard::tipoCompenso() const
{
    if (rbAccessori->isChecked())
        return 3;
    if (rbCollaboratori->isChecked())
        return 2;
    return 1;
}

void TfmragWizard::impostaTipoCompenso()
{
    if (!m_parametri)
        return;
    if (!m_parametri->modified())
        m_parametri->edit();
    m_parametri->fieldByName(QStringLiteral("ICOTFONDAMENTALE")).setAsInteger(tipoCompenso());
}

bool TfmragWizard::controllaGruppo()
{
    bool ok = false;
    const int gruppo = edGruppo->text().trimmed().toInt(&ok);
    return ok && gruppo > 0;
}

bool TfmragWizard::formCheckOk()
{
    if (!controllaGruppo()) {
        OvMessageBox(QStringLiteral("Gruppo non impostato."), MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

bool TfmragWizard::Execute(const std::function<TfmragWizard *(QWidget *)> &create, TClientDataSet &parametri,
                           TClientDataSet &sos, QWidget *parent)
{
    std::unique_ptr<TfmragWizard> w(create(parent));
    w->setDataSets(&parametri, &sos);
    w->impostaTipoCompenso();
    if (w->ShowModal() != mrOk)
        return false;
    w->impostaTipoCompenso();
    w->salvaParametri();
    return true;
}
