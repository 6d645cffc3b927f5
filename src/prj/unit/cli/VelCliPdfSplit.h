#pragma once
// The cut into one PDF per payee lives with the prints, where the print
// window uses it too; the command line keeps its name for it.
#include "src/prj/unit/print/VelPdfSplit.h"

namespace VelCliPdfSplit = VelPdfSplit;
