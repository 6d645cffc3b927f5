#pragma once
// A set of files that go together under one name: "CUR26", "CUR26_2",
// "CUR26_3"... (the parts of one supply). A new set never lands beside the
// parts of an earlier one: whatever of the earlier set is in the folder is
// moved, all of it, into a dated sub-folder in the same step that gives the
// new files their names, so that the names the office sends are one set only.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace TorFileSet {

// The files of the folder that belong to the set named `name`: the file of
// that name and those named "<name>_N" (N from 2), ordered by N.
QStringList parts(const QString &name);

// The sub-folder an earlier set named `name` goes into when moved at `when`:
// "<name>-precedente-AAAAMMGG-hhmmss" beside it ("-2", "-3"... when taken).
QString asideFolder(const QString &name, const QDateTime &when);

struct Replaced
{
    QStringList names;  // the files now under their names
    QString aside;      // the folder holding the earlier set; empty when there was none
    QStringList moved;  // the earlier files, as they are named in `aside`
};

// Each staged file takes its name (names[0] is the set's name, the others
// its parts), a file of that name keeping its permissions. Before that, the
// earlier set of names[0] goes into asideFolder(names[0], when). On a failure
// the new names are taken back and the earlier files put back where they
// were, as far as the disk allows, and EOvError names the file and the cause.
Replaced replace(const QStringList &staged, const QStringList &names,
                 const QDateTime &when = QDateTime::currentDateTime());

} // namespace TorFileSet
