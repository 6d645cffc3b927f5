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
// Per file: record A gets at 522-525 the number of the file and at 526-529
// the number of files ("0000" both for a single file); record B at 402-409 the
// certifications of the whole supply and at 410 whether that file holds the
// Quadro CT (the C records, all in the first file); record Z at 25-33, 34-42,
// 43-51, 52-60 the numbers of C, D, G, H records of that file.
//
// Every file is written complete into a staging folder beside the target
// first; `verify`, when given, is called on the staged files (with the names
// they will take) and raises to refuse them. Only when all are complete and
// accepted do they take their names. On any failure none of them is left
// behind, the files of the same names are untouched and EOvError names the
// file.
#include <QString>
#include <QSet>
#include <QStringList>
#include <functional>

class TClientDataSet;

class VelSupplyWriter
{
public:
    static constexpr int MaxBodyRecords = 8275;

    // The record table must be open with the columns of VelFileTables.
    // `warn` receives the warning about a supply in several files (default:
    // an OvMessageBox warning). Returns the files written; `written`, when
    // given, receives the certification numbers (IFILEPROGRE) of the D records
    // in them, once every file has its name.
    using Verify = std::function<void(const QStringList &staged, const QStringList &names)>;
    static QStringList write(TClientDataSet &recordTable, const QString &fileName, int certifications,
                             const std::function<void(const QString &)> &warn = {}, QSet<qint64> *written = nullptr,
                             const Verify &verify = {});

    // The name of file k of the supply: the chosen name, then "_2", "_3", ...
    static QString partName(const QString &fileName, int k);
    // The fewest files for a number of body records (more when certifications
    // do not fill their files exactly).
    static int fileCount(int bodyRecords);
};
