#pragma once
// The two working tables of the telematic supply, kept as dataset files in
// USR/KZDati/KZ2025/ between the generation and the saving of the supply:
//
// TFIFI_FIELDSFILE  one row per written field of records C, D, G, H
//   SFIFICODREC  record type letter
//   SFIFIPROGRE  progressive of the certification, 18 digits
//   SFIFIRECORD  field code and encoded value (key-value field) or the value (head field)
//
// TFILE_FILETELEM   one row per record of the supply, in the index order
//                   "IFILEPROGRE;SFILECODREC"
//   SFILECODREC  record type letter
//   SFILEPROGRE  18-digit progressive (C, D, G, H); null for A, B, Z
//   SFILERECORD  the record as the file holds it: 1,898 bytes in Windows-1252
//                (content and the closing "A"), one byte a character
//   IFILEPROGRE  certification number (D, G, H), 0 (C), null (A, B, Z)
#include <QString>

#include <functional>

class TClientDataSet;

namespace VelFileTables {

inline constexpr const char *FieldFileName = "TFIFI_FIELDSFILE.CDS";
inline constexpr const char *RecordFileName = "TFILE_FILETELEM.CDS";
inline constexpr const char *RecordIndex = "IFILEPROGRE;SFILECODREC";

// Their files: TorFolders::kzDatiDir() + the names above (found without regard to case).
QString fieldFilePath();
QString recordFilePath();

// Gives the dataset the table's fields and creates it empty.
void createFieldTable(TClientDataSet &ds);
void createRecordTable(TClientDataSet &ds);

// For a new generation: the table made afresh, empty, with its own columns
// in their order (the rows are written into them by position), whatever the
// last generation's file holds; that file is replaced only when the new
// generation saves. The record table gets its index.
void openFieldTableForGeneration(TClientDataSet &ds);
void openRecordTableForGeneration(TClientDataSet &ds);

// For saving the supply: the field rows of the last generation. A missing or
// unreadable file, or one without the table's columns, raises EOvError. A file
// put back from its backup is said to `warn` (default: the unattended run host).
void loadFieldTable(TClientDataSet &ds, const QString &path = fieldFilePath(),
                    const std::function<void(const QString &)> &warn = {});

// Saves with a ".BAK" backup (TorUtil::saveWithBackup).
void saveTable(TClientDataSet &ds, const QString &path);

} // namespace VelFileTables
