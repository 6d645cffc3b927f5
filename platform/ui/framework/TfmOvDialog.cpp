#include "platform/ui/framework/TfmOvDialog.h"

#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TfmOvOkCancDlg.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfmOvDialog::TfmOvDialog(QWidget *parent)
    : QDialog(parent)
{
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TfmOvDialog::ensureFormCreated()
{
    if (m_created)
        return;
    m_created = true;
    formCreate();
}

int TfmOvDialog::exec()
{
    ensureFormCreated();
    return QDialog::exec();
}

int TfmOvDialog::ShowModal()
{
    const int r = exec();
    if (r == QDialog::Accepted)
        return mrOk;
    if (r == QDialog::Rejected)
        return mrCancel;
    return r;
}

void TfmOvDialog::done(int r)
{
    if (m_closing)
        return;
    m_closing = true;
    m_pendingResult = r;
    bool canClose = true;
    if (!ovGuarded([&] { formCloseQuery(canClose); }))
        canClose = false;
    if (!canClose) {
        m_closing = false;
        return;
    }
    ovGuarded([this] { formClose(); });
    m_closing = false;
    QDialog::done(r);
    if (m_autoDestroy)
        deleteLater();
}

void TfmOvDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ovGuarded([this] {
        ensureFormCreated();
        formShow();
    });
}

TfmOvOkCancDlg::TfmOvOkCancDlg(QWidget *parent)
    : TfmOvDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    pnClient = new QWidget(this);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    layout->addWidget(pnClient, 1);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    pnButtons = new QHBoxLayout;
    pnButtons->addStretch(1);
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buOk->setDefault(true);
    buCancel = new QPushButton(QStringLiteral("Annulla"), this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    pnButtons->addWidget(buOk);
    pnButtons->addWidget(buCancel);
    layout->addLayout(pnButtons);
    connect(buOk, &QPushButton::clicked, this, [this] { clickOk(); });
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfmOvOkCancDlg::clickOk()
{
    bool ok = false;
    ovGuarded([&] { ok = formCheckOk(); });
    if (!ok)
        return false;
    setResult(QDialog::Rejected);
    accept();
    return result() == QDialog::Accepted; // unchanged when the close query kept it open
}
