#pragma once
// The rows of the positions dialog ("Posizioni giuridiche") as the import
// hands them over: ITNOID, ITNOORVEXCODE, STNOLDESC, LPER_ALTRI_DATI, LPER_INPS.
#include "platform/dataset/TClientDataSet.h"

#include <QVariantList>

inline void positionRows(TClientDataSet &rows, const QList<QVariantList> &values)
{
    rows.setFieldDefs({{QStringLiteral("ITNOID"), TFieldType::Integer, 0},
                       {QStringLiteral("ITNOORVEXCODE"), TFieldType::Integer, 0},
                       {QStringLiteral("STNOLDESC"), TFieldType::String, 100},
                       {QStringLiteral("LPER_ALTRI_DATI"), TFieldType::Integer, 0},
                       {QStringLiteral("LPER_INPS"), TFieldType::Integer, 0}});
    rows.createDataSet();
    for (const QVariantList &v : values)
        rows.appendRecord(v);
}
