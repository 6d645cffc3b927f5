#pragma once
// Reading and writing the dataset file format (docs/dataset-file-format.md).
// Not a public API: use TClientDataSet::saveToFile / loadFromFile.
#include "platform/dataset/DataSetStorage.h"

#include <QByteArray>
#include <memory>

namespace dsinternal {

QByteArray writeDataSetFile(const Storage &storage);
// Raises EDatabaseError "File '<source>' non valido: <problem>" (with the line).
std::unique_ptr<Storage> readDataSetFile(const QByteArray &data, const QString &source);

} // namespace dsinternal
