#include "platform/ui/framework/TfmOvChildDoc.h"

#include "platform/framework/OvMessages.h"

#include <QCloseEvent>
#include <QMdiSubWindow>

TfmOvChildDoc::TfmOvChildDoc(QWidget *parent)
    : QWidget(parent)
{
}

void TfmOvChildDoc::ensureFormCreated()
{
    if (m_created)
        return;
    m_created = true;
    formCreate();
}

QMdiSubWindow *TfmOvChildDoc::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

void TfmOvChildDoc::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ovGuarded([this] {
        ensureFormCreated();
        formShow();
    });
}

void TfmOvChildDoc::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    if (!ovGuarded([&] { formCloseQuery(canClose); }))
        canClose = false;
    if (!canClose) {
        event->ignore();
        return;
    }
    ovGuarded([this] { formClose(); });
    event->accept();
    // Closed from inside (a button of the form): take the frame along. When the
    // frame started the close this call returns at once.
    if (QMdiSubWindow *sw = subWindow())
        sw->close();
}
