#pragma once
// The mandatory-field check of the agent's data, the supplier and every
// certification before a supply is written: the fixed list of 40 fields with
// their labels, and the rules between related fields (the representative's
// name, the INPS "tutti i mesi" boxes, the self-employed payee, the
// dependants). It looks at the current row of each dataset given and at
// whatever fields that dataset has.
#include <QList>
#include <QString>
#include <QStringList>

class TClientDataSet;

// Adds to `problems` one entry per problem found (an entry of the related-
// field rules may hold several lines separated by "\r\n"); true when none.
bool CheckMandatoryFields(QStringList &problems, const QList<TClientDataSet *> &datasets);

namespace VelMandatoryFields {

// The list and the rules name the fields of the supply's modules ("SDIP7COGNOME",
// "LINPS7GENNAIO", "LCFC7RELPARCON"); the record model names the same boxes
// with "CUD" ("SCUDCOGNOME", "lCudGennaio", "LCUDRELPARCON"). Either name is
// recognised, so the check works on the CU's own datasets.
QString modelName(const QString &field);
// A name of the record model's kind: type letter, then "CUD".
bool isModelName(const QString &field);

// The fixed list: field name -> label ("SSOSDENOM" -> "Denominazione del
// sostituto"), in the list's order.
const QList<QPair<QString, QString>> &list();

// Whether a field of the current row has a value: a text not empty, a date
// after 0, any other field a text that reads as a number (0 included).
bool hasValue(TClientDataSet &ds, const QString &field);

// The related-field rules for one field met in the current row: empty when
// nothing is wrong or no rule is about that field.
QString relatedFieldRules(TClientDataSet &ds, const QString &field);

} // namespace VelMandatoryFields
