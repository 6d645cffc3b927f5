#pragma once
// Base of the modal dialogs.
//
// Closing (OK, Cancel, Esc, the window's close box) always passes through
// formCloseQuery, which may keep the dialog open; modalResult() tells it which
// way the dialog is being closed. With SetAutoDestroy(true) the dialog deletes
// itself (deferred) once closed; with false (the default) it stays alive so the
// caller reads its result and deletes it, or reuses it.
#include "platform/ui/framework/OvForms.h"

#include <QDialog>

class TfmOvDialog : public QDialog, public IOvForm
{
    Q_OBJECT
public:
    explicit TfmOvDialog(QWidget *parent = nullptr);

    void ensureFormCreated() override;

    void SetAutoDestroy(bool on) { m_autoDestroy = on; }
    bool autoDestroy() const { return m_autoDestroy; }

    // While closing: the result the dialog is closing with; afterwards the
    // dialog's result (QDialog::Accepted / Rejected or any done() code).
    int modalResult() const { return m_closing ? m_pendingResult : result(); }

    int exec() override;
    // exec() with the answers of the message functions: mrOk when accepted,
    // mrCancel when rejected, any other done() code as it is.
    int ShowModal();
    void done(int r) override;

protected:
    virtual void formCreate() {}
    virtual void formShow() {}                 // first show
    virtual void formCloseQuery(bool &canClose) { Q_UNUSED(canClose); }
    virtual void formClose() {}

    void showEvent(QShowEvent *event) override;

private:
    bool m_created = false;
    bool m_shown = false;
    bool m_autoDestroy = false;
    bool m_closing = false;
    int m_pendingResult = 0;
};
