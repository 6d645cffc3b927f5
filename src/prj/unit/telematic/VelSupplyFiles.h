#pragma once
// The supply's files as "Salva" writes them: the assembled records of the
// workspace written by VelSupplyWriter under staged names, read back by the
// supply checker before they take the names the office sends, and what
// happened to an earlier supply of those names said in the log. A warning of
// the checker the office already confirmed in the pre-check is not said again;
// any error refuses the files.
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class VelFileWorkspace;

class TVelSupplyFiles
{
public:
    using Line = std::function<void(const QString &line)>;

    // `say`: the run's log; `warn`: a notice the office reads.
    TVelSupplyFiles(VelFileWorkspace &ws, Line say, Line warn)
        : m_ws(ws), m_say(std::move(say)), m_warn(std::move(warn))
    {
    }

    struct Written
    {
        QStringList files;    // under their final names
        QSet<qint64> inFile;  // the rows of cdsDip whose D record is in them
        QString asideLine;    // where the earlier supply was moved; empty when there was none
    };
    // Writes the records of the workspace's record table into the files of
    // `fileName` (`confirmed`: the pre-check's warnings, "<rule>|<tax code>").
    // Raises EOvException when they are not written (EVelError when the
    // checker refuses them), the notices of the earlier supply said first.
    Written write(const QString &fileName, int certifications, const QSet<QString> &confirmed) const;

    // Raises EVelError (Fornitura, naming the first file), listing the
    // problems, when the checker refuses the staged files of a supply
    // (`names`: the names they would take).
    void verify(const QStringList &staged, const QStringList &names, const QSet<QString> &confirmed) const;

private:
    void say(const QString &line) const;

    VelFileWorkspace &m_ws;
    Line m_say;
    Line m_warn;
};
