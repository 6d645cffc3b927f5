#pragma once
// The coded annotations of a CU: the codes its annotation text names, as the
// supply and the ordinary CU print rebuild the rows of TCUDA_ANNOTAZIONI.
//
// A line "BO)" names no code; any other line whose ")" stands at the second
// character or later names the text before the first ")", upper-cased, when
// the notes table TNOT_NOTE knows it. Lines are read in order; a code that the
// table lacks is skipped.
#include <QSet>
#include <QString>
#include <QStringList>

namespace VelAnnotationCodes {

QStringList codesOf(const QString &notes, const QSet<QString> &known);

// The codes of the notes table ("TNOT_NOTE.cds" in the Tabelle folder),
// upper-cased. Raises EOvError when the table cannot be read or has no CODICE.
QSet<QString> readNoteTable();

// SANN701, SANN702, ...: the field of the n-th code of a row (n from 0).
QString column(int n);

} // namespace VelAnnotationCodes
