#pragma once
// Qt's own Italian translations (Debian qt6-translations-l10n, installed by
// scripts/setup.sh): the standard file dialogs, the buttons of message boxes
// and button boxes, the command-line parser's help. Installed at the start
// of every program, before any of those texts is made.
class QCoreApplication;

// True when Qt's Italian catalogue was found and installed; without it the
// program works with Qt's English texts.
bool ovInstallItalian(QCoreApplication &app);
