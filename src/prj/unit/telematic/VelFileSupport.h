#pragma once
// Small pieces the supply's data module shares between its files.
#include "platform/dataset/TClientDataSet.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace VelFileSupport {

// Gives back to the system the pages of the blocks freed so far. glibc keeps
// freed small blocks in its heap, while the large blocks that follow (a
// file's text, the records' text) are mapped afresh: without this they would
// add to the pages still held instead of taking their place. A few ms.
inline void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// The text of a column of the current row; empty when the dataset has no such column.
inline QString text(TClientDataSet &ds, const char *column)
{
    const TField f = ds.findField(QLatin1String(column));
    return f ? f.asString() : QString();
}

} // namespace VelFileSupport
