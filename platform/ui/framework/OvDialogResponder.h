#pragma once
// The windowed program's responder: every message as a real QMessageBox with
// Italian buttons. TOvApplication makes it the default one.
#include "platform/framework/OvMessages.h"

class TOvDialogResponder : public IOvMessageResponder
{
public:
    int respond(const OvMessage &msg) override;
    bool showsWindows() const override { return true; }
};
