#include "src/prj/unit/editors/TfmVelCudIns.h"

#include "platform/framework/OvMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kMonthRequired = QStringLiteral("Mese di chiusura obbligatorio!!!");
}

TfmVelCudIns::TfmVelCudIns(QWidget *parent)
    : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmVelCudIns"));
    setWindowTitle(QStringLiteral("Conguaglio/Chiusura"));
    auto *l = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    chConguaglio = new QCheckBox(QStringLiteral("Conguaglio"), this);
    chConguaglio->setObjectName(QStringLiteral("chConguaglio"));
    cbMese = new QComboBox(this);
    cbMese->setObjectName(QStringLiteral("cbMese"));
    cbMese->addItem(QString());
    const char *months[] = {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno",
                            "Luglio", "Agosto", "Settembre", "Ottobre", "Novembre", "Dicembre"};
    for (const char *m : months)
        cbMese->addItem(QString::fromLatin1(m));
    cbMese->setCurrentIndex(12);
    form->addRow(QStringLiteral("Mese di riferimento"), cbMese);
    form->addRow(QString(), chConguaglio);
    l->addLayout(form);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buOK = new QPushButton(QStringLiteral("OK"), this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(true);
    buAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    buAnnulla->setObjectName(QStringLiteral("buAnnulla"));
    buttons->addWidget(buOK);
    buttons->addWidget(buAnnulla);
    l->addLayout(buttons);
    connect(buOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(buAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(chConguaglio, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked && month().isEmpty())
            OvMessageBox(kMonthRequired, MB_OK | MB_ICONWARNING);
    });
    setTabOrder(chConguaglio, cbMese);
    setTabOrder(cbMese, buOK);
}

QString TfmVelCudIns::month() const
{
    const int i = cbMese->currentIndex();
    return i >= 1 && i <= 12 ? QStringLiteral("%1").arg(i, 2, 10, QChar(u'0')) : QString();
}

QString TfmVelCudIns::adjustmentFlag() const
{
    return chConguaglio->isChecked() ? QStringLiteral("X") : QStringLiteral("0");
}

void TfmVelCudIns::formShow()
{
    chConguaglio->setFocus();
}

void TfmVelCudIns::formCloseQuery(bool &canClose)
{
    if (modalResult() == QDialog::Accepted && month().isEmpty()) {
        OvMessageBox(kMonthRequired, MB_OK | MB_ICONWARNING);
        canClose = false;
    }
}
