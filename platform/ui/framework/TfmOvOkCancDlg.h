#pragma once
// Dialog with a client area and the buttons "OK" and "Annulla". OK runs
// formCheckOk() first: false (or an exception, which is shown) keeps the dialog
// open.
#include "platform/ui/framework/TfmOvDialog.h"

class QHBoxLayout;
class QPushButton;

class TfmOvOkCancDlg : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmOvOkCancDlg(QWidget *parent = nullptr);

    QWidget *pnClient = nullptr;       // derived forms put their controls here
    QHBoxLayout *pnButtons = nullptr;  // the button row (extra buttons go on its left)
    QPushButton *buOk = nullptr;
    QPushButton *buCancel = nullptr;

    // What pressing OK does: the check, then accept(). Returns true when the
    // dialog was closed.
    bool clickOk();

protected:
    virtual bool formCheckOk() { return true; }
};
