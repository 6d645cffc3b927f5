#pragma once
// A set of files that go together under one name: "CUR26", "CUR26_2",
// "CUR26_3"... (the parts of one supply). A set is replaced as a whole:
//
//   1. its files are written whole into a hidden staging folder inside the
//      target folder (".fornitura-XXXXXX"), each synced to disk;
//   2. a list of the parts (".CUR26.parti": the set's identity, and each
//      part's name, size and SHA-256) is written into the staging folder,
//      then beside the set, in place of the earlier set's list. That rename
//      is the moment the new set counts as written: before it the folder
//      holds the earlier set untouched, after it the new set is completed
//      even by the next run if this one is killed;
//   3. the earlier set's files go into a dated sub-folder
//      ("CUR26-precedente-AAAAMMGG-hhmmss"), the new files take their
//      names, the folder is synced, the staging folder removed.
//
// Between the renames of step 3 the names in the folder may hold parts of
// two sets for an instant; the list says which set they must be, so the check
// of a supply refuses such a mix (check()), and the next run in the folder
// finishes what a killed one began (Folder::recover()). The list is hidden
// and its name is not one of a supply's parts: the files the office sends are
// only the set's own.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace TorFileSet {

// The files of the folder that belong to the set named `name`: the file of
// that name and those named "<name>_N" (N from 2), ordered by N.
QStringList parts(const QString &name);

// The sub-folder an earlier set named `name` goes into when moved at `when`:
// "<name>-precedente-AAAAMMGG-hhmmss" beside it ("-2", "-3"... when taken).
QString asideFolder(const QString &name, const QDateTime &when);

// The list of the parts of the set named `name`: ".<name>.parti" beside it.
QString listPath(const QString &name);

// Whether a name in a folder is a staging folder of a set.
bool isStaging(const QString &fileName);

struct Replaced
{
    QStringList names;   // the files now under their names
    QString aside;       // the folder holding the earlier set; empty when there was none
    QStringList moved;   // the earlier files, as they are named in `aside`
    QStringList notices; // what the run found and set right of a killed one (Italian)
};

// What the list of a set says of the files found under its names.
struct Check
{
    bool listed = false;  // a list of the parts is beside the set
    QStringList problems; // Italian, one per part that is not the listed one
};

// The files `files` (a set: the first named `name` or "<name>_N") against
// the list beside them. Without a list nothing is said (a set written before
// lists were kept, or copied elsewhere).
Check check(const QString &name, const QStringList &files);

// The folder of a set, held by one writer at a time (an advisory lock on the
// folder itself, which the system releases however the process ends).
class Folder
{
public:
    // Raises EOvError when another run is writing a set in the folder.
    explicit Folder(const QString &folder);
    ~Folder();
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // Sets right what killed runs left: a staging folder from before its
    // list was in place is removed; one from after is completed. Returns an
    // Italian line for each, naming the staging folder. Raises EOvError when
    // one cannot be dealt with.
    QStringList recover();
    // This run's staging folder, made at the first call; removed with the
    // object unless the set was committed.
    QString staging();
    // The files staged (in staging()) take their names; names[0] is the
    // set's name, the others its parts. See the steps above. A failure before
    // the list is in place leaves the earlier set as it was; one after leaves
    // the staging folder for the next run to complete. Either way EOvError
    // names the file or the folder and the cause. `digests`, when given, are
    // the staged files' SHA-256 (hex) as their writer computed them; else
    // they are read back.
    Replaced commit(const QStringList &staged, const QStringList &names, const QList<QByteArray> &digests = {},
                    const QDateTime &when = QDateTime::currentDateTime());

private:
    QString m_folder;
    int m_fd = -1;
    std::unique_ptr<QTemporaryDir> m_staging;
};

// Called between the steps of a commit with the step's name; a test sets it
// to stop the process there.
using StepHook = void (*)(const char *step);
void setStepHook(StepHook hook);
void step(const char *name);

} // namespace TorFileSet
