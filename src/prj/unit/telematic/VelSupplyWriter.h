#pragma once
// Writes the supply files from the record table: record A, record B, the body
// records (C, D, G, H in the table's index order "IFILEPROGRE;SFILECODREC"), record Z;
// each line 1,898 characters and CR LF, one byte per character (Windows-1252):
// 1,900 bytes. Above MaxBodyRecords body records the supply is split into
// several files ("CUR26", "CUR26_2", ...), each with A, B and Z. A
// certification is never split: its D, G and H records (one certification
// number) all go into one file, and when they would not fit within the
// records left in a file the next file begins, so that every file is a
// complete supply. Files needed: at least fileCount(body records).
//
// Per file the writer puts into records A, B and Z what it counts: the
// number of the file and the number of files ("0000" both for a single file),
// the certifications of the whole supply, whether that file holds the Quadro
// CT (the C records, all in the first file), and the numbers of records of
// each type in that file. Where each goes is read from the templates of A, B
// and Z (the fields whose `Calc` is "invio", "invii", "certificazioni",
// "quadro-ct", "conteggio:X"): VelSupplyPlaces.
//
// Every file is written complete into a hidden staging folder inside the
// target's first; `verify`, when given, is called on the staged files (with
// the names they will take) and raises to refuse them. Only when all are
// complete and accepted do they take their names, as one set
// (TorFileSet::Folder): a list of the new parts is put beside them, the parts
// of an earlier supply of the same name ("CUR26", "CUR26_2", ...) are moved
// together into a dated sub-folder and the new files renamed, the folder
// synced. A failure before the list is in place leaves the earlier supply as
// it was; a kill after it is completed by the next run in the folder, which
// first sets right (and names) what a killed run left. EOvError names the
// file or the folder on any failure.
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "tor/util/TorFileSet.h"

class TClientDataSet;
class TXMLRecordType;

// A place in a record: 0-based offset and width.
struct VelSupplyPlace
{
    int offset = -1;
    int width = 0;
};

// Where the writer puts what it counts, read from the templates of records A,
// B and Z (a field's offset is the sum of the widths before it).
struct VelSupplyPlaces
{
    VelSupplyPlace fileNumber;     // A: the number of this file
    VelSupplyPlace fileCount;      // A: the number of files
    VelSupplyPlace certifications; // B: the certifications of the supply
    VelSupplyPlace quadroCT;       // B: this file holds the Quadro CT
    struct Count
    {
        QChar letter;
        VelSupplyPlace place;
    };
    QList<Count> counts;           // Z: the records of each type in this file

    // Raises EOvError naming the template and the rule when a place is
    // missing or given twice, or a count names a record type twice.
    static VelSupplyPlaces fromTemplates(const TXMLRecordType &a, const TXMLRecordType &b, const TXMLRecordType &z);
};

class VelSupplyWriter
{
public:
    static constexpr int MaxBodyRecords = 8275;

    // The record table must be open with the columns of VelFileTables.
    // `warn` receives the warning about a supply in several files (default:
    // the unattended run host, on standard error). Returns the files written; `written`, when
    // given, receives the certification numbers (IFILEPROGRE) of the D records
    // in them, once every file has its name; `aside`, when given, where the
    // earlier supply of that name went and what was set right of a killed
    // run (its notices are there also when the write fails).
    using Verify = std::function<void(const QStringList &staged, const QStringList &names)>;
    static QStringList write(TClientDataSet &recordTable, const VelSupplyPlaces &places, const QString &fileName,
                             int certifications,
                             const std::function<void(const QString &)> &warn = {}, QSet<qint64> *written = nullptr,
                             const Verify &verify = {}, TorFileSet::Replaced *aside = nullptr);

    // The name of file k of the supply: the chosen name, then "_2", "_3", ...
    static QString partName(const QString &fileName, int k);
    // The fewest files for a number of body records (more when certifications
    // do not fill their files exactly).
    static int fileCount(int bodyRecords);
};
