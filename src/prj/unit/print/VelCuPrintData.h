#pragma once
// What the parts of the CU print share: the CU structure's name, the way a
// CU's field is read as text (by its id) and the check of a PDF operation.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "velcu/VelFields.h"

#include <QString>

namespace VelCuPrintData {

inline const QString kCud = rec::TCUD_DATICUD::id.qs();

// A field of the CU's current row as text; empty when the dataset lacks it.
inline QString text(TClientDataSet &ds, const VelFieldId &field)
{
    const TField f = ds.findField(field.qs());
    return f ? f.asString() : QString();
}

// A text as an SQL literal of a dataset filter.
inline QString quoted(const QString &text)
{
    QString t = text;
    return QLatin1Char('\'') + t.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// A failing operation raises its label with qpdf's reason when there is one.
inline void check(TPdkPdf &pdf, int result, const QString &label)
{
    if (result != 0)
        return;
    const QString reason = pdf.LastErrorText().trimmed();
    throw EOvError(reason.isEmpty() ? label : label + QStringLiteral("\n") + reason);
}

} // namespace VelCuPrintData
