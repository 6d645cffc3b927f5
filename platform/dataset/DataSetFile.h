#pragma once
// Reading and writing the dataset file format (docs/dataset-file-format.md).
// Not a public API: use TClientDataSet::saveToFile / loadFromFile.
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/DataSetStorage.h"

#include <QByteArray>
#include <functional>
#include <memory>

namespace dsinternal {

// The format's name, and its version: the one written, the newest read.
inline constexpr char DataSetFileFormat[] = "velcu-dataset";
inline constexpr int DataSetFileVersion = 1;

QByteArray writeDataSetFile(const Storage &storage);
// The same text appended to `out`; `flush`, when given, receives `out` each
// time it holds a block (and at the end), and `out` is emptied after each call.
void writeDataSetFile(const Storage &storage, QByteArray &out, const std::function<void(QByteArray &)> &flush);
// Raises EDatabaseError "File '<source>' non valido: <problem>" (with the line).
std::unique_ptr<Storage> readDataSetFile(const QByteArray &data, const QString &source);

// The file at `path`, written as it is made, a block at a time, into the
// temporary file that takes the name once whole.
void writeDataSetFileTo(const Storage &storage, const QString &path, TOvSafeFile::Access access);
// The file at `path` read; EDatabaseError when it is missing or unreadable.
std::unique_ptr<Storage> readDataSetFileAt(const QString &path);

} // namespace dsinternal
