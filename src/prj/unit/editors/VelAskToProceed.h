#pragma once
// The question the supplier editor asks when the mandatory-field check finds
// problems: the problem lines are shown and the user says whether to go on.
//
// Integration point: this is where the information dialog TfmVelInfo (lines
// shown read-only with its question "Si desidera proseguire?") is to be
// called; until then the lines go into a Yes/No message through the message
// seam (OvMessageBox), so the scripted responder of the tests answers it.
// Every caller goes through velAskToProceed(), so pointing it at the dialog
// is a change of this function's body only.
#include <QStringList>

// True when the user answers "Si" to going on despite the lines shown.
bool velAskToProceed(const QStringList &lines);

// The text of the Yes/No message: the lines, then the question.
QString velAskToProceedText(const QStringList &lines);
