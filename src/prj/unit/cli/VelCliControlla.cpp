// velcu-cli controlla: the supply files' check. A folder (the year's, or one
// named) is checked supply by supply; the parts of a supply by name
// ("CUR26", "CUR26_2", ...) are first held against the list of parts written
// beside them (or, without one, read for what says they belong to one
// supply), so that an old part left beside a new supply is named as such.
#include "src/prj/unit/cli/VelCliCommon.h"

#include "tor/util/TorFileSet.h"

#include <QDateTime>
#include <QFile>
#include <QMap>

namespace VelCli::detail {

namespace {

// What records A and B of a file say of the supply it belongs to.
struct PartHead
{
    QString name;
    bool read = false;
    QByteArray supplyCode, supplier, part, parts, agent, certifications;
    QDateTime written;
};

PartHead readHead(const QString &path)
{
    PartHead h;
    h.name = QFileInfo(path).fileName();
    h.written = QFileInfo(path).lastModified();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return h;
    const QByteArray a = f.read(TVelSupplyCheck::RecordLength);
    const QByteArray b = f.read(TVelSupplyCheck::RecordLength);
    if (a.size() < 529 || !a.startsWith('A'))
        return h;
    h.read = true;
    h.supplyCode = a.mid(15, 5);
    h.supplier = a.mid(22, 16);
    h.part = a.mid(521, 4);
    h.parts = a.mid(525, 4);
    if (b.size() >= 409 && b.startsWith('B')) {
        h.agent = b.mid(1, 16);
        h.certifications = b.mid(401, 8);
    }
    return h;
}

// The sets of files by name: a name with the "_N" parts of it among `files`.
QList<QStringList> namedSets(const QStringList &files)
{
    static const QRegularExpression part(QStringLiteral("^(.+)_(\\d+)$"));
    QSet<QString> given;
    for (const QString &f : files)
        given.insert(QFileInfo(f).absoluteFilePath());
    QMap<QString, QMap<int, QString>> byBase;
    for (const QString &f : files) {
        const QFileInfo fi(f);
        const auto m = part.match(fi.fileName());
        const QString base = m.hasMatch() ? fi.absoluteDir().filePath(m.captured(1)) : QString();
        if (m.hasMatch() && m.captured(2).toInt() >= 2 && given.contains(base))
            byBase[base].insert(m.captured(2).toInt(), f);
        else
            byBase[fi.absoluteFilePath()].insert(1, f);
    }
    QList<QStringList> out;
    for (const auto &parts : std::as_const(byBase))
        out << parts.values();
    return out;
}

// The name of the supply a set of files belongs to: its first file's, or the
// name whose part it is ("CUR26" for a "CUR26_2" alone) when that name has a
// list of its parts.
QString supplyName(const QStringList &set)
{
    static const QRegularExpression part(QStringLiteral("^(.+)_(\\d+)$"));
    const QFileInfo first(set.first());
    const auto m = part.match(first.fileName());
    if (m.hasMatch() && QFileInfo::exists(TorFileSet::listPath(first.absoluteDir().filePath(m.captured(1)))))
        return first.absoluteDir().filePath(m.captured(1));
    return first.absoluteFilePath();
}

// Why the files of a named set are not the parts of one supply; empty when
// nothing says so. The list of the parts written beside a supply decides;
// without one (a supply copied elsewhere, or written before lists were kept)
// what records A and B say.
QStringList mixedReasons(const QStringList &set)
{
    QStringList why;
    if (set.isEmpty())
        return why;
    const TorFileSet::Check listed = TorFileSet::check(supplyName(set), set);
    if (listed.listed)
        return listed.problems;
    if (set.size() < 2)
        return why;
    QList<PartHead> heads;
    for (const QString &f : set)
        heads << readHead(f);
    for (const PartHead &h : heads)
        if (!h.read)
            return why; // not a supply: the checker says so file by file
    const PartHead &first = heads.first();
    auto differs = [&](QByteArray PartHead::*field, const QString &what) {
        for (const PartHead &h : heads)
            if (h.*field != first.*field) {
                why << s("%1 diverso (%2 \"%3\", %4 \"%5\")")
                           .arg(what, first.name, QString::fromLatin1(first.*field).trimmed(), h.name,
                                QString::fromLatin1(h.*field).trimmed());
                return;
            }
    };
    differs(&PartHead::parts, s("numero totale degli invii (posizioni 526-529 del record A)"));
    for (const PartHead &h : heads)
        if (h.parts == "0000") {
            why << s("%1 è una fornitura in un solo file (invio \"0000\" di \"0000\")").arg(h.name);
            break;
        }
    QSet<QByteArray> numbers;
    for (const PartHead &h : heads)
        if (h.parts != "0000" && numbers.contains(h.part)) {
            why << s("progressivo dell'invio \"%1\" ripetuto (%2)").arg(QString::fromLatin1(h.part), h.name);
            break;
        } else {
            numbers.insert(h.part);
        }
    differs(&PartHead::agent, s("sostituto d'imposta"));
    differs(&PartHead::supplier, s("fornitore"));
    differs(&PartHead::supplyCode, s("codice fornitura"));
    differs(&PartHead::certifications, s("numero delle certificazioni della fornitura (record B)"));
    // the parts of a supply are written together
    for (const PartHead &h : heads)
        if (std::abs(h.written.secsTo(first.written)) > 3600) {
            why << s("file scritti in momenti diversi (%1 il %2, %3 il %4)")
                       .arg(first.name, first.written.toString(QStringLiteral("dd/MM/yyyy HH:mm")), h.name,
                            h.written.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
            break;
        }
    return why;
}

// Says when a named set mixes supplies; true when it does.
bool sayMixed(Command &c, const QStringList &set)
{
    const QStringList why = mixedReasons(set);
    if (why.isEmpty())
        return false;
    QStringList names;
    for (const QString &f : set)
        names << QFileInfo(f).fileName();
    c.out << s("I file %1 non sono le parti di una sola fornitura: %2. Controllare e inviare ogni fornitura per "
               "conto suo; i file di una fornitura precedente vanno tolti dalla cartella.\n")
                 .arg(names.join(QStringLiteral(", ")), why.join(QStringLiteral("; ")));
    c.out << s("Controllo non superato: file di forniture diverse.\n");
    return true;
}

// The supplies in a folder: each file with the parts written after it
// ("CUR26", "CUR26_2", ...), by name; a part without its first file is a
// set of its own.
QList<QStringList> suppliesInFolder(const QString &folder)
{
    static const QRegularExpression part(QStringLiteral("^(.+)_(\\d+)$"));
    QMap<QString, QMap<int, QString>> byBase;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const QString name = fi.fileName();
        // the files a write leaves before its rename, and the backups
        if (name.contains(QLatin1String(".tmp")) || name.endsWith(QLatin1String(".BAK"), Qt::CaseInsensitive))
            continue;
        const auto m = part.match(name);
        if (m.hasMatch() && QFileInfo::exists(QDir(folder).filePath(m.captured(1))))
            byBase[m.captured(1)].insert(m.captured(2).toInt(), fi.absoluteFilePath());
        else
            byBase[name].insert(1, fi.absoluteFilePath());
    }
    QList<QStringList> out;
    for (const auto &parts : std::as_const(byBase))
        out << parts.values();
    return out;
}

// Every supply of a folder, each on its own: the worst of their statuses.
int checkFolder(Command &c, const QString &folder, bool *none)
{
    const QList<QStringList> supplies = suppliesInFolder(folder);
    *none = supplies.isEmpty();
    int status = Ok;
    for (const QStringList &supply : supplies) {
        c.out << s("Fornitura %1:\n").arg(QDir::toNativeSeparators(supply.first()));
        status = worseStatus(status, sayMixed(c, supply) ? Errors : printCheck(c, supply));
    }
    return status;
}

} // namespace

int printCheck(Command &c, const QStringList &files, const QSet<QString> &confirmed)
{
    TVelSupplyCheck check;
    int errors = 0;
    int warnings = 0;
    for (const TVelSupplyProblem &pr : check.run(files)) {
        // a warning the office already confirmed at the pre-check is not said again
        if (pr.warning && confirmed.contains(pr.key()))
            continue;
        c.out << pr.text() << '\n';
        ++(pr.warning ? warnings : errors);
    }
    if (errors == 0)
        c.out << s("Controllo superato: %1 file, %2 record, %3 certificazioni%4.\n")
                     .arg(files.size())
                     .arg(check.records())
                     .arg(check.certifications())
                     .arg(warnings > 0 ? s("; %1 avvisi da verificare").arg(warnings) : QString());
    else
        c.out << s("Controllo non superato: %1 problemi in %2 file.\n").arg(errors + warnings).arg(files.size());
    return errors > 0 ? Errors : warnings > 0 ? Warnings : Ok;
}

int controlla(Command &c)
{
    QStringList files;
    QStringList folders;
    for (const QString &arg : c.p.positionalArguments())
        (QFileInfo(arg).isDir() ? folders : files) << arg;
    if (files.isEmpty() && folders.isEmpty())
        folders << TdmVelFile::defaultFolder(); // without files: the year's folder
    // what a killed supply left in these folders is set right first, as the
    // next supply would, so that what is checked is one supply
    QStringList touched;
    for (const QString &f : std::as_const(folders))
        touched << QFileInfo(f).absoluteFilePath();
    for (const QString &f : std::as_const(files))
        touched << QFileInfo(f).absolutePath();
    touched.removeDuplicates();
    for (const QString &folder : std::as_const(touched)) {
        if (!QFileInfo(folder).isDir())
            continue;
        try {
            TorFileSet::Folder held(folder);
            for (const QString &line : held.recover())
                c.err << line << '\n';
        } catch (const EOvException &e) {
            c.err << e.message() << '\n';
        }
    }
    int status = Ok;
    for (const QString &folder : std::as_const(folders)) {
        bool none = false;
        status = worseStatus(status, checkFolder(c, folder, &none));
        if (none) {
            c.err << s("Nessuna fornitura nella cartella %1: indicare i file da controllare.\n")
                         .arg(QDir::toNativeSeparators(folder));
            status = Errors;
        }
    }
    if (!files.isEmpty()) {
        // files named together: the parts of one name must be of one supply
        bool mixed = false;
        for (const QStringList &set : namedSets(files))
            mixed = sayMixed(c, set) || mixed;
        status = worseStatus(status, mixed ? Errors : printCheck(c, files));
    }
    return status;
}

} // namespace VelCli::detail
