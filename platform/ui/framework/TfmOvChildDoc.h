#pragma once
// Base of the MDI child windows (the editors). The form lives inside a
// QMdiSubWindow of the main window's area and is deleted with it.
#include "platform/ui/framework/OvForms.h"

#include <QWidget>

class QMdiSubWindow;

class TfmOvChildDoc : public QWidget, public IOvForm
{
    Q_OBJECT
public:
    explicit TfmOvChildDoc(QWidget *parent = nullptr);

    void ensureFormCreated() override;

    // The sub-window holding the form (nullptr until it is shown as a child).
    QMdiSubWindow *subWindow() const;

    // Opens maximised inside the MDI area.
    void setOpenMaximized(bool on) { m_openMaximized = on; }
    bool openMaximized() const { return m_openMaximized; }

    // Save / drop every pending change of the document. saveAll returns false
    // when something could not be saved.
    virtual bool saveAll() { return true; }
    virtual void cancelAll() {}

protected:
    virtual void formCreate() {}
    virtual void formShow() {}                 // first show
    virtual void formCloseQuery(bool &canClose) { Q_UNUSED(canClose); }
    virtual void formClose() {}

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_created = false;
    bool m_shown = false;
    bool m_openMaximized = false;
};
