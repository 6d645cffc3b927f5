#include "src/prj/unit/dialogs/TfmVelPdfSost.h"
#include "src/prj/unit/dialogs/VelAskReplace.h"

#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmVelPdfSost::TfmVelPdfSost(QWidget *parent, TdmVelStampePDF *stampe)
    : TfmVelPdfSost(parent, stampe, TVelAgentPrint::Frontespizio)
{
}

TfmVelPdfSost::TfmVelPdfSost(QWidget *parent, TdmVelStampePDF *stampe, TVelAgentPrint::Kind kind)
    : TfmOvDialog(parent), m_stampe(stampe), m_kind(kind)
{
    setObjectName(kind == TVelAgentPrint::Frontespizio ? QStringLiteral("fmVelPdfSost")
                                                       : QStringLiteral("fmVelPdfQuadroCT"));
    auto *layout = new QVBoxLayout(this);
    auto *file = new QHBoxLayout;
    laFile = new QLabel(QStringLiteral("&Nome file stampa pdf:"), this);
    edFile = new QLineEdit(this);
    edFile->setObjectName(QStringLiteral("edFile"));
    laFile->setBuddy(edFile);
    file->addWidget(laFile);
    file->addWidget(edFile, 1);
    layout->addLayout(file);
    meInfo = new QPlainTextEdit(this);
    meInfo->setObjectName(QStringLiteral("meInfo"));
    meInfo->setReadOnly(true);
    layout->addWidget(meInfo, 1);
    auto *buttons = new QHBoxLayout;
    buCrea = new QPushButton(QStringLiteral("&Crea stampa dichiarazione"), this);
    buApri = new QPushButton(QStringLiteral("&Apri stampa dichiarazione"), this);
    buEsci = new QPushButton(QStringLiteral("&Esci"), this);
    buCrea->setObjectName(QStringLiteral("buCrea"));
    buApri->setObjectName(QStringLiteral("buApri"));
    buEsci->setObjectName(QStringLiteral("buEsci"));
    buApri->setEnabled(false);
    buttons->addStretch(1);
    for (QPushButton *b : {buCrea, buApri, buEsci}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(buCrea, &QPushButton::clicked, this, [this] { ovGuarded([this] { crea(); }); });
    connect(buApri, &QPushButton::clicked, this, [this] { ovGuarded([this] { apri(); }); });
    connect(buEsci, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 260);
}

TfmVelPdfSost::~TfmVelPdfSost() = default;

void TfmVelPdfSost::formCreate()
{
    if (!m_stampe)
        throw EOvError(QStringLiteral("Modulo di stampa non disponibile"));
    m_run = std::make_unique<TVelAgentPrint>(*m_stampe, m_kind);
    m_run->log = [this](const QString &line) { meInfo->appendPlainText(line); };
    setWindowTitle(m_run->caption());
}

void TfmVelPdfSost::formShow()
{
    meInfo->clear();
    edFile->setText(m_run->defaultFileName());
    edFile->setFocus();
    m_run->open();
}

void TfmVelPdfSost::formClose()
{
    if (m_stampe)
        m_stampe->closeDataSets();
}

bool TfmVelPdfSost::crea()
{
    QString path;
    QString said;
    const QString target = QDir(m_stampe->stpDir()).filePath(edFile->text().trimmed() + QStringLiteral(".pdf"));
    if (!edFile->text().trimmed().isEmpty() && !VelAskReplace::mayWrite(target, false, &said)) {
        meInfo->appendPlainText(said);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        path = m_run->print(edFile->text());
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        meInfo->appendPlainText(QStringLiteral("Stampa non eseguita."));
        showException(e);
        return false;
    }
    QApplication::restoreOverrideCursor();
    m_lastFile = path;
    buApri->setEnabled(true);
    buApri->setFocus();
    return true;
}

void TfmVelPdfSost::apri()
{
    const QString path = m_lastFile.isEmpty() ? QDir(m_stampe->stpDir()).filePath(edFile->text().trimmed() + QStringLiteral(".pdf"))
                                              : m_lastFile;
    ovShell()->openDocument(path, QString(), QFileInfo(path).absolutePath(), false);
}

TfmVelPdfQuadroCT::TfmVelPdfQuadroCT(QWidget *parent, TdmVelStampePDF *stampe)
    : TfmVelPdfSost(parent, stampe, TVelAgentPrint::QuadroCT)
{
}
