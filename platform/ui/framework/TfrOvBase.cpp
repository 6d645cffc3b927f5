#include "platform/ui/framework/TfrOvBase.h"

#include "platform/ui/framework/TOvActionList.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>

TfrOvBase::TfrOvBase(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnContext = new QWidget(this);
    pnContext->setObjectName(QStringLiteral("pnContext"));
    pnContext->setAutoFillBackground(true);
    QPalette pal = pnContext->palette();
    pal.setColor(QPalette::Window, QColor(0x3b, 0x5a, 0x80));
    pal.setColor(QPalette::WindowText, Qt::white);
    pnContext->setPalette(pal);
    auto *ctx = new QVBoxLayout(pnContext);
    ctx->setContentsMargins(8, 4, 8, 4);
    lbContext = new QLabel(pnContext);
    lbContext->setObjectName(QStringLiteral("lbContext"));
    QFont f = lbContext->font();
    f.setBold(true);
    lbContext->setFont(f);
    ctx->addWidget(lbContext);
    layout->addWidget(pnContext);

    tbFrame = new QToolBar(this);
    tbFrame->setObjectName(QStringLiteral("tbFrame"));
    tbFrame->setIconSize(QSize(20, 20));
    tbFrame->setToolButtonStyle(Qt::ToolButtonIconOnly);
    layout->addWidget(tbFrame);

    alFrame = new TOvActionList(this);
    alFrame->setObjectName(QStringLiteral("alFrame"));
    alFrame->setImages(&images);

    mmFrame = new QMenu(this);
    mmFrame->setObjectName(QStringLiteral("mmFrame"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (!mmFrame->isEmpty())
            mmFrame->popup(mapToGlobal(pos));
    });

    pnClient = new QWidget(this);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    layout->addWidget(pnClient, 1);
}

void TfrOvBase::setContextCaption(const QString &caption)
{
    lbContext->setText(caption);
}

QString TfrOvBase::contextCaption() const
{
    return lbContext->text();
}

void TfrOvBase::addFrameAction(QAction *action, bool inMenu)
{
    tbFrame->addAction(action);
    if (inMenu)
        mmFrame->addAction(action);
}
