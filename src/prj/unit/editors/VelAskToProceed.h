#pragma once
// The question the supplier editor asks when the mandatory-field check finds
// problems: the problem lines are shown in the list "Informazioni" (OvInfoList)
// with its question "Si desidera proseguire?" and the user says whether to go
// on. Every caller goes through velAskToProceed().
#include <QStringList>

// True when the user answers "Si" to going on despite the lines shown.
bool velAskToProceed(const QStringList &lines);
