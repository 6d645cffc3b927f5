#pragma once
// Reading and writing the dataset file format (docs/dataset-file-format.md).
// Not a public API: use TClientDataSet::saveToFile / loadFromFile.
#include "platform/dataset/DataSetStorage.h"

#include <QByteArray>
#include <memory>

namespace dsinternal {

// The format's name, and its version: the one written, the newest read.
inline constexpr char DataSetFileFormat[] = "velcu-dataset";
inline constexpr int DataSetFileVersion = 1;

QByteArray writeDataSetFile(const Storage &storage);
// Raises EDatabaseError "File '<source>' non valido: <problem>" (with the line).
std::unique_ptr<Storage> readDataSetFile(const QByteArray &data, const QString &source);

} // namespace dsinternal
