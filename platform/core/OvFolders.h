#pragma once
// The one way the program creates a folder. What it keeps in its folders (the
// database, prints, supplies, the telematic working tables, one folder per
// payee) is fiscal data: every folder it creates, parents included, is
// readable by its owner only (0700). A folder that already exists keeps its
// permissions.
#include <QString>

// Creates `path` and every missing parent. EOvError "Impossibile creare la
// cartella "X": <causa>." on failure (the cause in Italian).
void ovMakePath(const QString &path);
// The same without raising: false, and the cause in `why` when given.
bool ovTryMakePath(const QString &path, QString *why = nullptr);
