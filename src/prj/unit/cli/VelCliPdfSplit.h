#pragma once
// Cuts a printed document into one PDF per payee: each part takes a range of
// the document's pages into a file of its own, written through the PDF
// workspace (a temporary file, renamed when complete).
#include <QList>
#include <QString>
#include <functional>

namespace VelCliPdfSplit {

struct Part
{
    QString file;
    int firstPage = 0; // 1-based, inclusive
    int lastPage = 0;
};

// Raises EOvError naming the file on the first part that cannot be written;
// the parts written before it stay.
void split(const QString &document, const QList<Part> &parts,
           const std::function<void(int done, int total)> &progress = {});

} // namespace VelCliPdfSplit
