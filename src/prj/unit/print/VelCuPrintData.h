#pragma once
// What the parts of the CU print share: the CU structure's name, the way a
// CU's field is read (by its id, as its kind says) and the check of a PDF
// operation.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "velcu/VelFields.h"

#include <QString>

namespace VelCuPrintData {

inline const QString kCud = rec::TCUD_DATICUD::id.qs();

// A text field of the CU's current row (free text, a code); empty when the
// dataset lacks it. A field of another kind is read by its kind below: asked
// as text it does not compile.
template <VelFieldKind K>
inline QString text(TClientDataSet &ds, const VelField<K> &field)
{
    static_assert(K == VelFieldKind::Text || K == VelFieldKind::Memo || K == VelFieldKind::Lookup
                      || K == VelFieldKind::List,
                  "a number, an amount, a date or a flag is read by its kind");
    const TField f = ds.findField(field.qs());
    return f ? f.asString() : QString();
}

// A whole-number field; 0 when empty or when the dataset lacks it.
inline qint64 integer(TClientDataSet &ds, const VelIntegerField &field)
{
    const TField f = ds.findField(field.qs());
    return f && !f.isNull() ? f.asString().trimmed().toLongLong() : 0;
}

// A box ticked with "X".
inline bool ticked(TClientDataSet &ds, const VelField<VelFieldKind::FlagX> &field)
{
    const TField f = ds.findField(field.qs());
    return f && f.asString().trimmed() == QLatin1String("X");
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
