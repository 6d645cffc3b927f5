#include "platform/ui/framework/TfmOvWizard.h"

#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

TfmOvWizard::TfmOvWizard(QWidget *parent)
    : TfmOvDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    pcMain = new QStackedWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    layout->addWidget(pcMain, 1);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    pnButtons = new QHBoxLayout;
    pnButtons->addStretch(1);
    buPrior = new QPushButton(QStringLiteral("< Indietro"), this);
    buPrior->setObjectName(QStringLiteral("buPrior"));
    buNext = new QPushButton(QStringLiteral("Avanti >"), this);
    buNext->setObjectName(QStringLiteral("buNext"));
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buCancel = new QPushButton(QStringLiteral("Annulla"), this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    for (QPushButton *b : {buPrior, buNext, buOk, buCancel}) {
        b->setAutoDefault(false);
        pnButtons->addWidget(b);
    }
    pnButtons->insertSpacing(3, 12);
    layout->addLayout(pnButtons);

    connect(buPrior, &QPushButton::clicked, this, [this] { ChangePage(false); });
    connect(buNext, &QPushButton::clicked, this, [this] { ChangePage(true); });
    connect(buOk, &QPushButton::clicked, this, [this] { clickOk(); });
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateButtons();
}

int TfmOvWizard::addPage(QWidget *page, const QString &name)
{
    if (!name.isEmpty())
        page->setObjectName(name);
    return pcMain->addWidget(page);
}

void TfmOvWizard::Add(const QString &pathName, const QString &steps)
{
    QStringList list;
    for (const QString &s : steps.split(QLatin1Char(';'))) {
        const QString t = s.trimmed();
        if (!t.isEmpty())
            list << t;
    }
    if (list.isEmpty())
        throw EAssertionFailed(QStringLiteral("Percorso \"%1\" della procedura guidata senza pagine.").arg(pathName));
    m_paths.insert(pathName, list);
}

QList<QWidget *> TfmOvWizard::resolve(const QString &pathName) const
{
    QList<QWidget *> pages;
    for (const QString &step : m_paths.value(pathName)) {
        bool isIndex = false;
        const int index = step.toInt(&isIndex);
        QWidget *page = nullptr;
        if (isIndex) {
            page = pcMain->widget(index);
        } else {
            for (int i = 0; i < pcMain->count() && !page; ++i)
                if (pcMain->widget(i)->objectName() == step)
                    page = pcMain->widget(i);
        }
        if (!page)
            throw EAssertionFailed(QStringLiteral("Percorso \"%1\" della procedura guidata: la pagina \"%2\" non esiste.")
                                       .arg(pathName, step));
        pages << page;
    }
    return pages;
}

void TfmOvWizard::SetActivePath(const QString &pathName)
{
    if (!m_paths.contains(pathName))
        throw EAssertionFailed(QStringLiteral("Percorso \"%1\" della procedura guidata non definito.").arg(pathName));
    m_pathPages = resolve(pathName);
    m_activePath = pathName;
    m_hasActivePath = true;
    m_step = -1;
    goToStep(0);
}

QWidget *TfmOvWizard::currentPage() const
{
    return (m_step >= 0 && m_step < m_pathPages.size()) ? m_pathPages.at(m_step) : nullptr;
}

bool TfmOvWizard::ChangePage(bool forward)
{
    const int target = m_step + (forward ? 1 : -1);
    if (m_step < 0 || target < 0 || target >= stepCount())
        return false;
    bool allow = true;
    if (!ovGuarded([&] { beforeChangePage(currentPage(), forward, allow); }))
        allow = false;
    if (!allow)
        return false;
    goToStep(target);
    return true;
}

void TfmOvWizard::goToStep(int step)
{
    m_step = step;
    QWidget *page = currentPage();
    if (page)
        pcMain->setCurrentWidget(page);
    updateButtons();
    if (page) {
        ovGuarded([&] { afterChangePage(page); });
        emit pageChanged(page);
    }
}

void TfmOvWizard::updateButtons()
{
    const bool onPath = m_step >= 0 && m_step < stepCount();
    buPrior->setEnabled(onPath && !isFirstStep());
    buNext->setEnabled(onPath && !isLastStep());
    buOk->setEnabled(onPath && isLastStep());
    if (buNext->isEnabled())
        buNext->setDefault(true);
    else if (buOk->isEnabled())
        buOk->setDefault(true);
}

bool TfmOvWizard::clickOk()
{
    bool allow = true;
    if (!ovGuarded([&] {
            beforeChangePage(currentPage(), true, allow);
            if (allow)
                allow = formCheckOk();
        }))
        allow = false;
    if (!allow)
        return false;
    setResult(QDialog::Rejected);
    accept();
    return result() == QDialog::Accepted;
}

void TfmOvWizard::showEvent(QShowEvent *event)
{
    // The first show runs formCreate/formShow; a wizard that chose no path by
    // then walks every page in order.
    TfmOvDialog::showEvent(event);
    if (!m_hasActivePath && pcMain->count() > 0) {
        QStringList all;
        for (int i = 0; i < pcMain->count(); ++i)
            all << QString::number(i);
        m_paths.insert(QString(), all);
        SetActivePath(QString());
    }
}
