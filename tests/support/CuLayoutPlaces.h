#pragma once
// Where a CU layout file places a field: the print tests look for the value
// there.
#include "src/prj/unit/print/VelCudLayout.h"

#include <QtGlobal>

namespace CuLayoutPlaces {

// The field of layout page `pag` named `name` (case aside); fatal when absent.
inline TXMLCudEdit editOf(const TXMLCud &cud, int pag, const QString &name)
{
    const TXMLCudPage page = cud.Pag(pag);
    for (int s = 0; s < page.Count(); ++s)
        for (int e = 0; e < page.Section(s).Count(); ++e)
            if (page.Section(s).Edit(e).Name().compare(name, Qt::CaseInsensitive) == 0)
                return page.Section(s).Edit(e);
    qFatal("no %s on page %d", qPrintable(name), pag);
}

inline TXMLCudPrintRect placeOf(const TXMLCud &cud, int pag, const QString &name)
{
    return editOf(cud, pag, name).PrintRect();
}

} // namespace CuLayoutPlaces
