#pragma once
// The print windows never replace a PDF on disk without asking, as the
// command line never does without --sovrascrivi; and a draft never takes the
// place of a final print, whatever the answer would be.
#include <QString>

namespace VelAskReplace {

// The question asked before an existing document is replaced.
QString question(const QString &path);
// True when `path` may be written: it is not there, or the office said Yes
// (and, for a draft, it is itself a draft: otherwise the refusal is shown).
// `said` receives the line for the window's log when the answer is no.
bool mayWrite(const QString &path, bool draft, QString *said = nullptr);

} // namespace VelAskReplace
