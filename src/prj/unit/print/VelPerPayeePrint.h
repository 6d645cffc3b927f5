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

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class TVelCuPrint;

namespace VelPerPayeePrint {

// A payee's file name: the tax code, with anything but letters and digits (a
// code typed wrong) made "_" so it cannot lead the file out of the folder;
// numbered when two CUs share it, marked when it is a draft.
QString payeeFileName(const QString &codFis, QHash<QString, int> &seen, bool draft);

struct Result
{
    bool printed = false;                // the whole document was made
    QList<VelPdfSplit::Part> parts;      // one per CU printed, in order
    TVelRunOutcome outcome;              // payees[i] stands for parts[i]
};

// The document goes to the guard's hidden work folder; the parts into
// `payeeDir`. Progress of the cut by `cut`. Raises what the print raises.
Result run(TVelCuPrint &print, const QList<TBookmark> &rows, const QString &payeeDir, VelPdfSplit::FolderGuard &guard,
           const std::function<void(int done, int total)> &cut = {});

} // namespace VelPerPayeePrint
