#pragma once
// The end report of an import, one text for the selection window and the
// command line: the run's log, then the payees not imported, the CUs kept and
// those paid in the year but not in the list, each with its reason and, where
// the run knows it, what the office does about it. The last report is kept in
// the year's folder until the next import, so that it can be read again.
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QDateTime>
#include <QStringList>

namespace VelImportReport {

// The sections after the log, each under its "--- " heading, empty ones left out.
QStringList sections(const TVelRunOutcome &outcome, const QStringList &log);

// What the office does about a payee the import could not certify or kept:
// said after the reason.
QString remedyNoTaxCode();
QString remedyMixedSources();
QString remedyPrinted(const QString &codFis);
QString remedyNotOverwritten(const QString &codFis);

// The kept report: the year's folder, "Rapporto-importazione.txt".
QString file();
// Writes the report (its first line says when the import ran and for which
// year) in place of the one before.
void save(const QStringList &lines, int year, const QDateTime &when = QDateTime::currentDateTime());
// The kept report's lines; empty when no import has been reported yet.
QStringList load();
// Said when there is none.
QString noneYet();

} // namespace VelImportReport
