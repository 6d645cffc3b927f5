#pragma once
// One PDF per payee (for delivery by e-mail), as the print window makes it:
// the whole document first, then one file per CU cut from it, named by tax
// code, each CU locked only once its own file is on disk under its final name.
//
//   VelPdfSplit::FolderGuard guard(folder);     // one run at a time in a folder
//   guard.removeLeftovers();
//   const VelPerPayeePrint::Result r = VelPerPayeePrint::run(print, rows, folder, guard);
#include "src/prj/unit/model/VelRunOutcome.h"
#include "src/prj/unit/print/VelPdfSplit.h"

#include "platform/dataset/TClientDataSet.h"

#include <QStringList>
#include <QList>
#include <QString>
#include <functional>

class TVelCuPrint;

namespace VelPerPayeePrint {

// A payee's file name: the tax code, with anything but letters and digits (a
// code typed wrong) made "_" so it cannot lead the file out of the folder;
// marked when it is a draft. Without ".pdf".
QString payeeFileName(const QString &codFis, bool draft);

// The file names of the payees' CUs, in their order. Two CUs that would have
// the same file (two codes made alike by the rule above, or two CUs of one
// payee) are refused before anything is written: EOvError names the file and
// both CUs, for every name shared, so that one is never written over the
// other.
QStringList payeeFileNames(const QList<TVelPayeeOutcome> &payees, bool draft);

struct [[nodiscard]] Result
{
    bool printed = false;                // the whole document was made
    QList<VelPdfSplit::Part> parts;      // one per CU printed, in order
    TVelRunOutcome outcome;              // payees[i] stands for parts[i]
};

// The document goes to the guard's hidden work folder; the parts into
// `payeeDir`. Progress of the cut by `cut`. Raises what the print raises.
[[nodiscard]] Result run(TVelCuPrint &print, const QList<TBookmark> &rows, const QString &payeeDir, VelPdfSplit::FolderGuard &guard,
           const std::function<void(int done, int total)> &cut = {});

} // namespace VelPerPayeePrint
