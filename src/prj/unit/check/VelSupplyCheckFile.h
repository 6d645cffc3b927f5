#pragma once
// What the supply checker keeps of one file while it reads it; shared by the
// checker's sources (records, supply).
#include "src/prj/unit/check/VelSupplyCheck.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>

struct TVelSupplyCheck::FileInfo
{
    QString name;
    bool readable = false;
    // record A
    QByteArray supplier, supplyCode;
    int part = -1, parts = -1;
    // record B
    QByteArray agent;
    int bRecord = 0;
    qint64 declaredCertifications = -1;
    // records in the file, by type
    QMap<char, int> counts;
    // order
    QByteArray previous;      // type of the record before ('\0' at the start)
    bool zSeen = false;
    bool bSeen = false;
    bool aSeen = false;
    QByteArray bRecordText;   // record B, for the comparison between the files of a supply
    char quadroCt = ' ';      // record B, position 410
    QByteArray certification; // payee and progressive of the current certification
    char operation = ' ';     // its operation (position 84 of its D record)
    int certificationRecord = 0;     // its first D record
    QSet<QByteArray> certificationCodes; // the field codes of its D records
    QList<QByteArray> certificationKeys; // in file order
    QHash<QByteArray, int> firstRecordOf;
    int zRecord = 0;
    QByteArray zCounts;       // positions 16-60 of record Z
};
