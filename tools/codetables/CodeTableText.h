#pragma once
// The text form of a code table, as the shipped sources (tables/*.tsv) and a
// table typed by an office or a distributor from the official instructions
// are written: UTF-8, lines beginning with "#" are comments, the first other
// line names the columns separated by tabs, each "Name" (text) or
// "Name:Type" (a type of the dataset file format); the first two are Codice
// and Descrizione; every further line is a row. The code must be present,
// unique and free of surrounding blanks.
#include <QString>

namespace CodeTableText {

// Converts `source` into the dataset file `target`, checked; EOvError
// "<file>:<line>: <what>" at the first fault. With requireDescriptions a row
// without a description is a fault too. Returns the number of rows.
int convert(const QString &source, const QString &target, bool requireDescriptions = false);

} // namespace CodeTableText
