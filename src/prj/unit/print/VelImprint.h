#pragma once
// The line printed along the left edge of every printed page, naming who made
// it, and the same in a PDF's own information (title, author, program, date).
#include <QDateTime>
#include <QString>

class TPdkPdf;

namespace VelImprint {

// The producer's line (prints made from the print configuration).
QString producerLine();
// The CU pages' line: the producer's line, four spaces and the reference to the
// revenue agency's approval of the model.
QString cuLine();

// When a print is made: now, or the moment SOURCE_DATE_EPOCH gives (seconds
// since 1970, the convention of reproducible outputs) when it is set.
QDateTime printDate();
// The selected document's title and author (the withholding agent), the
// program and printDate(). The workspace's result (0 on failure).
int setDocumentInfo(TPdkPdf &pdf, const QString &title, const QString &author);

} // namespace VelImprint
