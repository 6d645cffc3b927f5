#include "tor/util/TorFileSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace TorFileSet {

namespace {

const QLatin1String kStagingPrefix(".fornitura-");
// the earlier set's list, kept in the staging folder until it goes aside
const QLatin1String kEarlierList(".precedente.parti");

StepHook g_hook = nullptr;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool renameFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Syncs a folder's names to disk; the cause on failure.
bool syncFolder(const QString &folder, int *err)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    *err = ok ? 0 : errno;
    ::close(fd);
    return ok;
}

void syncOrThrow(const QString &folder)
{
    int err = 0;
    if (!syncFolder(folder, &err))
        throw EOvError(QStringLiteral("Impossibile registrare su disco la cartella \"%1\": %2.")
                           .arg(native(folder), ovFileErrorText(err)));
}

struct Part
{
    QString file; // the name, without folder
    qint64 size = 0;
    QByteArray sha256; // hex
};

// The list of a set's parts, as written beside it and in its staging folder.
struct List
{
    QString id;
    QString name;
    QDateTime written;
    QString aside; // the folder the earlier set goes into, without its parent
    QList<Part> parts;

    QByteArray toJson() const
    {
        QJsonArray list;
        for (const Part &p : parts)
            list.append(QJsonObject{{QStringLiteral("file"), p.file},
                                    {QStringLiteral("byte"), p.size},
                                    {QStringLiteral("sha256"), QString::fromLatin1(p.sha256)}});
        const QJsonObject o{{QStringLiteral("contenuto"), QStringLiteral("parti di una fornitura telematica")},
                            {QStringLiteral("fornitura"), id},
                            {QStringLiteral("nome"), name},
                            {QStringLiteral("scritta"), written.toString(Qt::ISODate)},
                            {QStringLiteral("precedente"), aside},
                            {QStringLiteral("parti"), list}};
        return QJsonDocument(o).toJson();
    }

    // False when the file is missing or is not such a list.
    bool read(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QJsonObject o = QJsonDocument::fromJson(f.read(1 << 20)).object();
        id = o.value(QStringLiteral("fornitura")).toString();
        name = o.value(QStringLiteral("nome")).toString();
        written = QDateTime::fromString(o.value(QStringLiteral("scritta")).toString(), Qt::ISODate);
        aside = o.value(QStringLiteral("precedente")).toString();
        parts.clear();
        for (const QJsonValue &v : o.value(QStringLiteral("parti")).toArray()) {
            const QJsonObject p = v.toObject();
            parts.append({p.value(QStringLiteral("file")).toString(),
                          qint64(p.value(QStringLiteral("byte")).toDouble(-1)),
                          p.value(QStringLiteral("sha256")).toString().toLatin1()});
        }
        // names without a folder in them: the list never leads out of its folder
        for (const Part &p : std::as_const(parts))
            if (p.file.isEmpty() || p.file.contains(QLatin1Char('/')) || p.file.startsWith(QLatin1Char('.')))
                return false;
        if (aside.contains(QLatin1Char('/')) || aside.startsWith(QLatin1Char('.')))
            return false;
        return !id.isEmpty() && !name.isEmpty() && !name.contains(QLatin1Char('/')) && !parts.isEmpty();
    }
};

QByteArray digestOf(const QString &path, qint64 *size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return QByteArray();
    *size = f.size();
    return h.result().toHex();
}

// The staging folder's own list, if it has one.
QString journalIn(const QString &staging)
{
    static const QRegularExpression list(QStringLiteral("^\\.(?!precedente\\.parti$).+\\.parti$"));
    const QStringList names = QDir(staging).entryList(QDir::Files | QDir::Hidden);
    for (const QString &n : names)
        if (list.match(n).hasMatch())
            return QDir(staging).filePath(n);
    return QString();
}

// The second half of a commit, also the completion of a killed one: the
// earlier set aside, the staged files under their names, the folder synced,
// the staging folder gone. Every step can be done again after a kill.
void completeFrom(const QString &folder, const QString &staging, const List &list, Replaced &r)
{
    const QDir dir(folder);
    const QString name = dir.filePath(list.name);
    QStringList newNames;
    for (const Part &p : list.parts)
        newNames << p.file;
    QStringList earlier;
    for (const QString &f : parts(name)) {
        const QString fn = QFileInfo(f).fileName();
        // a part already renamed before the kill is the new one
        if (!(newNames.contains(fn) && !QFileInfo::exists(QDir(staging).filePath(fn))))
            earlier << f;
    }
    const QString earlierList = QDir(staging).filePath(kEarlierList);
    if (!earlier.isEmpty() || QFileInfo::exists(earlierList)) {
        r.aside = dir.filePath(list.aside.isEmpty() ? QFileInfo(asideFolder(name, list.written)).fileName() : list.aside);
        QString why;
        if (!ovTryMakePath(r.aside, &why))
            throw EOvError(ovWriteFailedText(r.aside, why));
        if (QFileInfo::exists(earlierList))
            renameFile(earlierList, QDir(r.aside).filePath(QFileInfo(listPath(name)).fileName()));
        for (const QString &old : std::as_const(earlier)) {
            const QString to = QDir(r.aside).filePath(QFileInfo(old).fileName());
            if (!renameFile(old, to))
                throw EOvError(QStringLiteral("Impossibile spostare il file \"%1\" nella cartella \"%2\": %3.")
                                   .arg(native(old), native(r.aside), ovFileErrorText(errno)));
            r.moved << to;
            step("parte precedente spostata");
        }
    }
    for (const Part &p : list.parts) {
        const QString from = QDir(staging).filePath(p.file);
        const QString to = dir.filePath(p.file);
        if (QFileInfo::exists(from)) {
            // the new file takes the permissions the one it replaces had
            const QString was = r.aside.isEmpty() ? QString() : QDir(r.aside).filePath(p.file);
            if (!was.isEmpty() && QFileInfo::exists(was))
                QFile::setPermissions(from, QFile::permissions(was));
            if (!renameFile(from, to))
                throw EOvError(ovWriteFailedText(to, ovFileErrorText(errno)));
            step("parte al suo nome");
        }
        r.names << to;
    }
    if (!r.aside.isEmpty())
        syncOrThrow(r.aside);
    syncOrThrow(folder);
    QDir(staging).removeRecursively();
    int ignored = 0;
    syncFolder(folder, &ignored); // the staging folder, if it came back, is removed by the next run
}

} // namespace

void setStepHook(StepHook hook)
{
    g_hook = hook;
}

void step(const char *name)
{
    if (g_hook)
        g_hook(name);
}

QStringList parts(const QString &name)
{
    const QFileInfo target(name);
    const QDir dir = target.absoluteDir();
    const QString base = target.fileName();
    const QRegularExpression part(QStringLiteral("^%1_([1-9][0-9]{0,5})$").arg(QRegularExpression::escape(base)));
    QMap<int, QString> found;
    if (target.isFile())
        found.insert(1, target.absoluteFilePath());
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const auto m = part.match(fi.fileName());
        if (m.hasMatch() && m.captured(1).toInt() >= 2)
            found.insert(m.captured(1).toInt(), fi.absoluteFilePath());
    }
    return found.values();
}

QString asideFolder(const QString &name, const QDateTime &when)
{
    const QFileInfo target(name);
    const QString stem = QStringLiteral("%1-precedente-%2")
                             .arg(target.fileName(), when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = target.absoluteDir().filePath(stem);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = target.absoluteDir().filePath(QStringLiteral("%1-%2").arg(stem).arg(n));
    return path;
}

QString listPath(const QString &name)
{
    const QFileInfo target(name);
    return target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".parti"));
}

bool isStaging(const QString &fileName)
{
    return fileName.size() == kStagingPrefix.size() + 6 && fileName.startsWith(kStagingPrefix);
}

Check check(const QString &name, const QStringList &files)
{
    Check c;
    const QString path = listPath(name);
    if (!QFileInfo::exists(path))
        return c;
    c.listed = true;
    List list;
    if (!list.read(path)) {
        c.problems << QStringLiteral("l'elenco delle parti \"%1\" non è leggibile").arg(native(path));
        return c;
    }
    const QString when = list.written.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    QMap<QString, QString> given; // by name
    for (const QString &f : files)
        given.insert(QFileInfo(f).fileName(), f);
    QStringList listed;
    for (const Part &p : std::as_const(list.parts)) {
        listed << p.file;
        const QString f = given.value(p.file);
        if (f.isEmpty()) {
            c.problems << QStringLiteral("manca %1, parte %2 di %3 della fornitura scritta il %4")
                              .arg(p.file)
                              .arg(listed.size())
                              .arg(list.parts.size())
                              .arg(when);
            continue;
        }
        qint64 size = -1;
        const QByteArray digest = digestOf(f, &size);
        if (size != p.size || digest != p.sha256)
            c.problems << QStringLiteral("%1 non è la parte %2 di %3 della fornitura scritta il %4 (contenuto diverso)")
                              .arg(p.file)
                              .arg(listed.size())
                              .arg(list.parts.size())
                              .arg(when);
    }
    for (auto it = given.cbegin(); it != given.cend(); ++it)
        if (!listed.contains(it.key()))
            c.problems << QStringLiteral("%1 non fa parte della fornitura scritta il %2 (che ha %3 file: %4)")
                              .arg(it.key(), when)
                              .arg(list.parts.size())
                              .arg(listed.join(QStringLiteral(", ")));
    return c;
}

// ---------------------------------------------------------------- the folder

Folder::Folder(const QString &folder) : m_folder(QDir(folder).absolutePath())
{
    m_fd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        throw EOvError(QStringLiteral("Impossibile aprire la cartella \"%1\": %2.")
                           .arg(native(m_folder), ovFileErrorText(errno)));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(m_fd);
        m_fd = -1;
        throw EOvError(QStringLiteral("Un'altra fornitura sta scrivendo nella cartella \"%1\": attendere che finisca.")
                           .arg(native(m_folder)));
    }
    // Where the file system has no such locks the run goes on as before.
}

Folder::~Folder()
{
    m_staging.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

QStringList Folder::recover()
{
    QStringList said;
    const QDir dir(m_folder);
    static const QRegularExpression listTemp(QStringLiteral("^\\.\\..+\\.parti\\.tmp-.{6}$"));
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        if (m_staging && e.absoluteFilePath() == QDir(m_staging->path()).absolutePath())
            continue;
        if (listTemp.match(e.fileName()).hasMatch() && e.isFile()) {
            QFile::remove(e.absoluteFilePath()); // a list never renamed: nothing counted on it
            continue;
        }
        if (!isStaging(e.fileName()) || !e.isDir() || e.isSymLink())
            continue;
        const QString staging = e.absoluteFilePath();
        List journal;
        List beside;
        const QString own = journalIn(staging);
        const bool committed = !own.isEmpty() && journal.read(own)
                               && beside.read(listPath(dir.filePath(journal.name))) && beside.id == journal.id;
        if (committed) {
            Replaced r;
            completeFrom(m_folder, staging, journal, r);
            said << QStringLiteral("Completata la fornitura \"%1\" del %2, interrotta mentre i suoi file prendevano "
                                   "il nome; rimossa la cartella provvisoria \"%3\".")
                        .arg(journal.name, journal.written.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                             native(staging));
            if (!r.aside.isEmpty() && !r.moved.isEmpty())
                said << QStringLiteral("La fornitura precedente è nella cartella %1.").arg(native(r.aside));
            continue;
        }
        if (!QDir(staging).removeRecursively())
            throw EOvError(QStringLiteral("Impossibile rimuovere la cartella provvisoria \"%1\", lasciata da una "
                                          "fornitura interrotta.")
                               .arg(native(staging)));
        said << QStringLiteral("Rimossa la cartella provvisoria \"%1\", lasciata da una fornitura interrotta prima "
                               "di sostituire i file: la fornitura nella cartella è rimasta com'era.")
                    .arg(native(staging));
    }
    if (!said.isEmpty())
        syncOrThrow(m_folder);
    return said;
}

QString Folder::staging()
{
    if (!m_staging) {
        m_staging = std::make_unique<QTemporaryDir>(QDir(m_folder).filePath(kStagingPrefix + QStringLiteral("XXXXXX")));
        if (!m_staging->isValid()) {
            const QString why = m_staging->errorString();
            m_staging.reset();
            throw EOvError(QStringLiteral("Impossibile creare una cartella provvisoria in \"%1\": %2")
                               .arg(native(m_folder), why));
        }
    }
    return m_staging->path();
}

Replaced Folder::commit(const QStringList &staged, const QStringList &names, const QList<QByteArray> &digests,
                        const QDateTime &when)
{
    Replaced r;
    if (names.isEmpty())
        return r;
    const QString stagingDir = staging();
    List list;
    list.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    list.name = QFileInfo(names.first()).fileName();
    list.written = when;
    list.aside = QFileInfo(asideFolder(names.first(), when)).fileName();
    for (qsizetype i = 0; i < staged.size(); ++i) {
        const QString file = QFileInfo(names.at(i)).fileName();
        if (QFileInfo(staged.at(i)).absoluteFilePath() != QDir(stagingDir).filePath(file))
            throw EAssertionFailed(QStringLiteral("File \"%1\" non preparato nella cartella provvisoria").arg(staged.at(i)));
        Part p{file, -1, {}};
        if (i < digests.size()) {
            p.sha256 = digests.at(i);
            p.size = QFileInfo(staged.at(i)).size();
        } else {
            p.sha256 = digestOf(staged.at(i), &p.size);
        }
        if (p.sha256.isEmpty() || p.size < 0)
            throw EOvError(QStringLiteral("Impossibile rileggere il file \"%1\".").arg(native(staged.at(i))));
        list.parts << p;
    }
    const QString beside = listPath(names.first());
    // the earlier set's list goes aside with it; a copy, so that the earlier
    // set keeps its list until the new one takes its place
    if (QFileInfo::exists(beside)) {
        const QString keep = QDir(stagingDir).filePath(kEarlierList);
        if (::link(QFile::encodeName(beside).constData(), QFile::encodeName(keep).constData()) != 0)
            QFile::copy(beside, keep);
    }
    const QByteArray json = list.toJson();
    TOvSafeFile::writeFile(QDir(stagingDir).filePath(QFileInfo(beside).fileName()), json);
    step("elenco nella cartella provvisoria");
    TOvSafeFile::writeFile(beside, json);
    // from here the new set is the folder's: a kill leaves it to the next run
    m_staging->setAutoRemove(false);
    step("elenco al suo posto");
    try {
        completeFrom(m_folder, stagingDir, list, r);
    } catch (const EOvError &e) {
        throw EOvError(e.message()
                       + QStringLiteral("\nLa fornitura \"%1\" è completa nella cartella provvisoria \"%2\": la "
                                        "completa la prossima fornitura o il controllo della cartella.")
                             .arg(list.name, native(stagingDir)));
    }
    m_staging.reset();
    step("cartella provvisoria rimossa");
    return r;
}

} // namespace TorFileSet
