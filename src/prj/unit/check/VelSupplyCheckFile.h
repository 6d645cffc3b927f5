#pragma once
// What the supply checker keeps of one file while it reads it; shared by the
// checker's parts (the reading of the records, the meaning of their values,
// the supply as a whole, the findings).
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

struct TVelSupplyCheckFile
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
    int certificationLast = 0;       // its last record read so far
    QSet<QByteArray> certificationCodes; // the field codes of its D records
    QList<QByteArray> certificationKeys; // in file order
    QHash<QByteArray, int> firstRecordOf;
    // what the rules between values read of the current certification: the
    // first value of a field with its record and position, the payee's name,
    // the amounts summed over its G records, its records' modules and fields
    struct Slot
    {
        QByteArray value;
        int record = 0;
        int position = 0;
    };
    QHash<QByteArray, Slot> values;
    QByteArray surname, firstName;
    QHash<QByteArray, qint64> amounts;
    QMap<char, int> lastModule;
    QHash<QByteArray, int> moduleFields; // type, module and field code -> record
    QHash<QByteArray, int> recordTexts;  // a G or H record's content -> record
    QByteArray supplierType;             // record A, positions 21-22
    QSet<QByteArray> saidOnce;           // the agent's values of the D records already checked
    int zRecord = 0;
    QByteArray zCounts;       // positions 16-60 of record Z
};
