#include "VelCliPdfSplit.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/pdf/TPdkPdf.h"

#include <memory>

namespace VelCliPdfSplit {

namespace {
// The workspace keeps every document it made until it goes: a fresh one every
// so many parts keeps the memory of a run of thousands of payees flat.
constexpr int PartsPerWorkspace = 500;
}

void split(const QString &document, const QList<Part> &parts, const std::function<void(int, int)> &progress)
{
    std::unique_ptr<TPdkPdf> pdf;
    int source = 0;
    const int total = int(parts.size());
    for (int i = 0; i < total; ++i) {
        const Part &part = parts.at(i);
        if (i % PartsPerWorkspace == 0) {
            pdf = std::make_unique<TPdkPdf>();
            source = pdf->LoadFromFile(document);
            if (!source)
                throw EOvError(QStringLiteral("Impossibile leggere il documento \"%1\": %2").arg(document, pdf->LastErrorText()));
        }
        if (part.firstPage < 1 || part.lastPage < part.firstPage)
            throw EOvError(QStringLiteral("Pagine non valide per il file \"%1\": %2-%3")
                               .arg(part.file)
                               .arg(part.firstPage)
                               .arg(part.lastPage));
        const int doc = pdf->NewDocument();
        // The new document's empty page goes once the CU's pages are in.
        const bool ok = doc && pdf->CopyPageRanges(source, QStringLiteral("%1-%2").arg(part.firstPage).arg(part.lastPage))
                        && pdf->DeletePages(1, 1) && pdf->SaveToFile(part.file);
        if (!ok)
            throw EOvError(ovWriteFailedText(part.file, pdf->LastErrorText()));
        if (progress)
            progress(i + 1, total);
    }
}

} // namespace VelCliPdfSplit
