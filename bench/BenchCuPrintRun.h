#pragma once
// A print run on a school of `count` CUs in a new SQLite store under a
// folder: the store filled (set-up), the run's output in "Stp" there.
#include "BenchCuStore.h"

#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "tor/store/torUDBCds.h"

#include <QDir>
#include <memory>

namespace bench {

struct CuPrintRun
{
    CuPrintRun(const QDir &folder, int count) : c(sqliteFile(folder.filePath(QStringLiteral("bench.sqlite"))))
    {
        openFilledStore(c, store, count);
        run = std::make_unique<TVelCuPrint>(store, stampe, main);
        run->outputFolder = folder.filePath(QStringLiteral("Stp"));
    }

    TOvSQLConnection c;
    TTorDBCds store;
    TdmVelStampePDF stampe;
    TdmVelMain main;
    std::unique_ptr<TVelCuPrint> run;
};

} // namespace bench
