#pragma once
// The findings of one run of the supply checker, in the order they are met:
// where each one is (file, record, position), what was found there, and
// where the office corrects it, by the type of the record being read and, in
// its key-value area, by the field's code; a rule's finding with its id and
// level; the findings of a certification with its payee.
#include "src/prj/unit/check/VelSupplyCheck.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct TVelSupplyCheckFile;

class TVelSupplyFindings
{
public:
    // A problem of a file at record and position (0: the file, or the record,
    // as a whole); the value as found, shown with the bytes outside printable
    // ASCII as \xNN (a null value: none shown).
    void problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                 const QString &message);
    void problem(const QString &file, int record, int position, const QString &value, const QString &message);
    // A finding of a rule of VelSupplyRules: its level, and where to correct
    // it by the record type and field code.
    void finding(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                 const QString &message, const char *rule, char type, const QByteArray &code);
    // The record being read (its 1-based number) while it is read; nullptr after.
    void setRecord(const QByteArray *record, int number)
    {
        m_record = record;
        m_recordNumber = number;
    }
    // Names the payee on the findings of a certification of `file` found so
    // far between its records `first` and `last` that name none yet.
    void namePayee(const QString &file, int first, int last, const QString &who, const QString &code);

    qsizetype count() const { return m_problems.size(); }
    const QList<TVelSupplyProblem> &list() const { return m_problems; }

private:
    QList<TVelSupplyProblem> m_problems;
    const QByteArray *m_record = nullptr; // the record being read, for where a problem is corrected
    int m_recordNumber = 0;
};
