#pragma once
// The catalogue of statements, its certificate and the report definitions in
// etc/rag are the program's configuration: everybody reads them, only their
// owner may change them (the certificate guards against accidental edits, not
// against someone who may rewrite it).
#include <QString>

// Makes the folder and everything below it read-only for everyone but the
// owner. Returns the number of entries whose permissions changed.
int protectConfigurationFolder(const QString &folder);
