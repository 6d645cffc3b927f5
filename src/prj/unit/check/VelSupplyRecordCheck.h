#pragma once
// The supply checker's reading of one file against the published record
// layout: every line as it is read (its length, its end, the bytes it may
// hold), the order of the records, the positional fields of records A, B and
// Z and of the records' heads, the key-value area of C, D, G and H by the
// layout's table of codes (VelSupplyCheckFields.h), and at the end of the
// file what every file holds and record Z's counts. A certification's D, G
// and H records are kept together and what its D records must carry is
// checked when it ends.
//
// What the values mean (VelSupplyRules) is asked of the meaning check as the
// fields are read; the problems go to the run's findings.
#include <QByteArray>

class TVelSupplyFindings;
class TVelSupplyMeaningCheck;
struct TVelSupplyCheckFile;

class TVelSupplyRecordCheck
{
public:
    TVelSupplyRecordCheck(TVelSupplyFindings &findings, TVelSupplyMeaningCheck &meaning)
        : m_findings(findings), m_meaning(meaning)
    {
    }

    // One line of a file, 1-based `number`, as read (up to its LF); `length`
    // is its whole length when only the beginning of a longer one was kept.
    void checkLine(TVelSupplyCheckFile &info, int number, const QByteArray &line, qint64 length);
    // The file ended after line `number`: its last certification, the records
    // every file must hold, record Z's counts and record B's Quadro CT.
    void checkEnd(TVelSupplyCheckFile &info, int number);

private:
    void checkRecord(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void checkA(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void checkB(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void checkBody(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void checkSlots(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void finishCertification(TVelSupplyCheckFile &info);
    void checkZ(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    void problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                 const QString &message);

    TVelSupplyFindings &m_findings;
    TVelSupplyMeaningCheck &m_meaning;
};
