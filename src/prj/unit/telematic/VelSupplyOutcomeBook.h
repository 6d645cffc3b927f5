#pragma once
// The outcome of a supply's run, certification by certification: one entry
// per visited certification (its row of cdsDip kept alongside), "non
// raggiunta" at the start, then what the generation and the writing of the
// files made of it; "Fatto" only once its D record is in a file under its
// final name. The summary the window's log and the command line show is
// made from here, never from the rows asked for.
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class EOvException;
class TClientDataSet;

class TVelSupplyOutcomeBook
{
public:
    // A run begins on `rows` of `dip` (1-based), the pre-check's warnings carried in.
    void start(const QList<int> &rows, TClientDataSet &dip, const QList<TVelRunWarning> &warnings);
    // The run stopped: why, and the entries not reached say so.
    void stop(const QString &why);
    // The generation ended: the rows whose certification has records to
    // send; the others had nothing to send.
    void generated(const QSet<int> &withRecords);
    // The files could not be written (`e` says why): every entry still open
    // is an error of the writing.
    void notWritten(const EOvException &e);
    // The files are written: the rows whose D record is in them.
    void written(const QSet<qint64> &inFile);

    TVelRunOutcome &outcome() { return m_outcome; }
    const TVelRunOutcome &outcome() const { return m_outcome; }

    // The summary of an outcome as the window's log and the command line show it.
    static QStringList summaryLines(const TVelRunOutcome &outcome);

private:
    TVelRunOutcome m_outcome;
    QList<int> m_rows; // row of cdsDip of each entry of m_outcome
};
