#include "rag/ui/calc/TfmRagDaPagare66.h"

#include "platform/framework/OvMessages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmRagDaPagare66::TfmRagDaPagare66(QWidget *parent)
    : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmRagDaPagare66"));
    setWindowTitle(QStringLiteral("Bonus Irpef"));
    lbLiquidazioni = new QLabel(QStringLiteral("Liquidazioni su cui suddividere il bonus/detrazione"), this);
    lbDipendente = new QLabel(this);
    lbDipendente->setObjectName(QStringLiteral("lbDipendente"));
    QFont bold = lbDipendente->font();
    bold.setBold(true);
    lbDipendente->setFont(bold);
    edLiquidazioni = new QLineEdit(this);
    edLiquidazioni->setObjectName(QStringLiteral("edLiquidazioni"));
    edLiquidazioni->setMaximumWidth(80);
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buOk->setDefault(true);
    connect(buOk, &QPushButton::clicked, this, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->addWidget(lbLiquidazioni);
    row->addWidget(edLiquidazioni);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buOk);
    auto *main = new QVBoxLayout(this);
    main->addWidget(lbDipendente);
    main->addLayout(row);
    main->addLayout(buttons);
}

int TfmRagDaPagare66::chiedi(const QString &dipendente, int liquidazioni)
{
    lbDipendente->setText(dipendente);
    edLiquidazioni->setText(QString::number(liquidazioni));
    m_liquidazioni = liquidazioni;
    ShowModal();
    return m_liquidazioni;
}

void TfmRagDaPagare66::formCloseQuery(bool &canClose)
{
    TfmOvDialog::formCloseQuery(canClose);
    if (modalResult() != QDialog::Accepted)
        return;
    bool ok = false;
    const int n = edLiquidazioni->text().trimmed().toInt(&ok);
    if (!ok || n < 1) {
        OvMessageBox(QStringLiteral("Valore errato"), MB_OK | MB_ICONERROR);
        canClose = false;
        return;
    }
    m_liquidazioni = n;
}
