#include "src/prj/unit/telematic/VelSupplyWriter.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/telematic/VelFileTemplate.h"
#include "src/prj/unit/telematic/VelFileText.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"
#include "tor/util/TorFileSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCryptographicHash>
#include <QHash>

#include <cerrno>
#include <cstdio>
#include <future>
#include <memory>
#include <vector>

namespace {

QString digits(qint64 n, int width)
{
    return VelFileText::zeroPad(QString::number(n), width);
}

// Puts a number at its place in a record, zero-padded to the place's width.
void place(QByteArray &record, const VelSupplyPlace &at, qint64 n)
{
    record.replace(at.offset, at.width, digits(n, at.width).toLatin1());
}

// The fields of a template with a rule, with their places.
QList<QPair<const TXMLCampoType *, VelSupplyPlace>> placesOf(const TXMLRecordType &record, TXMLCalc calc)
{
    QList<QPair<const TXMLCampoType *, VelSupplyPlace>> out;
    int offset = 0;
    for (const TXMLSectionType &s : record.sections)
        for (const TXMLCampoType &f : s.fields) {
            if (f.calc == calc)
                out.append({&f, VelSupplyPlace{offset, f.Width}});
            offset += f.Width;
        }
    return out;
}

[[noreturn]] void placeError(const TXMLRecordType &record, const QString &detail)
{
    throw EOvError(QStringLiteral("Tracciato record %1 non valido: %2").arg(record.fileName, detail));
}

VelSupplyPlace onePlace(const TXMLRecordType &record, TXMLCalc calc, const char *rule)
{
    const auto found = placesOf(record, calc);
    if (found.size() != 1)
        placeError(record, QStringLiteral("serve un campo, e uno solo, con Calc=\"%1\" (ne ha %2)")
                               .arg(QLatin1String(rule))
                               .arg(found.size()));
    if (found.first().second.width < 1)
        placeError(record, QStringLiteral("il campo con Calc=\"%1\" non ha larghezza").arg(QLatin1String(rule)));
    return found.first().second;
}

// The record table read: records A, B, Z, and the rows of the body in the
// table's order.
struct Records
{
    explicit Records(TClientDataSet &table) : t(table) {}
    TClientDataSet &t;
    int fLetter = -1;
    int fRec = -1;
    int fCert = -1;
    QByteArray a, b, z; // the records' bytes
    std::vector<int> body;

    QStringView letter(size_t i) const { return t.textAt(body[i], fLetter); }
    qint64 certification(size_t i) const { return fCert >= 0 ? t.valueAt(body[i], fCert).toLongLong() : 0; }
};

Records readRecords(TClientDataSet &t)
{
    t.setIndexFieldNames(QStringLiteral("IFILEPROGRE;SFILECODREC"));
    Records r(t);
    r.fLetter = t.fieldIndex(QStringLiteral("SFILECODREC"));
    const int fProg = t.fieldIndex(QStringLiteral("SFILEPROGRE"));
    r.fRec = t.fieldIndex(QStringLiteral("SFILERECORD"));
    if (r.fLetter < 0 || fProg < 0 || r.fRec < 0)
        throw EAssertionFailed(QStringLiteral("Tabella dei record del file telematico senza le sue colonne"));
    r.fCert = t.fieldIndex(QStringLiteral("IFILEPROGRE"));
    const int rows = t.recordCount();
    r.body.reserve(size_t(rows));
    for (int row = 0; row < rows; ++row) {
        const QString letter = t.valueAt(row, r.fLetter).toString();
        if (!t.valueAt(row, fProg).toString().isEmpty())
            r.body.push_back(row);
        else if (letter == QLatin1String("A") && r.a.isEmpty())
            r.a = t.valueAt(row, r.fRec).toByteArray();
        else if (letter == QLatin1String("B") && r.b.isEmpty())
            r.b = t.valueAt(row, r.fRec).toByteArray();
        else if (letter == QLatin1String("Z") && r.z.isEmpty())
            r.z = t.valueAt(row, r.fRec).toByteArray();
    }
    for (const auto &[letter, text] : {std::pair{"A", &r.a}, std::pair{"B", &r.b}, std::pair{"Z", &r.z}}) {
        if (text->size() != TVelFileUtil::RecordLength)
            throw EOvError(QStringLiteral("Record %1 mancante o di lunghezza errata (%2 caratteri)")
                               .arg(QLatin1String(letter))
                               .arg(text->size()));
    }
    return r;
}

// The body into files: a certification's records (D, G, H with the same
// certification number) always go into one file; when they would not fit
// within the records left in the current file, the next file begins.
// Returns per file the index in `body` past its last record.
std::vector<size_t> splitIntoFiles(const Records &r)
{
    std::vector<size_t> fileEnd;
    size_t inFile = 0;
    size_t i = 0;
    while (i < r.body.size()) {
        size_t j = i + 1;
        const qint64 cert = r.certification(i);
        if (cert > 0)
            while (j < r.body.size() && r.certification(j) == cert)
                ++j;
        const size_t group = j - i;
        if (group > size_t(VelSupplyWriter::MaxBodyRecords))
            throw EOvError(QStringLiteral("La certificazione n. %1 ha %2 record: supera da sola il limite di %3 "
                                          "record di un file")
                               .arg(cert)
                               .arg(group)
                               .arg(VelSupplyWriter::MaxBodyRecords));
        if (inFile > 0 && inFile + group > size_t(VelSupplyWriter::MaxBodyRecords)) {
            fileEnd.push_back(i);
            inFile = 0;
        }
        inFile += group;
        i = j;
    }
    fileEnd.push_back(r.body.size());
    return fileEnd;
}

// One file of the supply, records [from, to) of the body, written whole to
// `stagedName`; the certification numbers of its D records go into `inFiles`.
// The SHA-256 of what is written, computed on another thread while the
// blocks go to the disk, so that the list of the parts costs no time of its own.
class BlockDigest
{
public:
    ~BlockDigest()
    {
        if (m_pending.valid())
            m_pending.wait();
    }
    void add(const QByteArray &block) // shared, not copied: the caller starts a new block
    {
        if (m_pending.valid())
            m_pending.wait();
        m_pending = std::async(std::launch::async, [this, block] { m_hash.addData(block); });
    }
    QByteArray hex()
    {
        if (m_pending.valid())
            m_pending.get();
        return m_hash.result().toHex();
    }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    std::future<void> m_pending;
};

void writeFile(const Records &r, const VelSupplyPlaces &places, size_t from, size_t to, int k, int files,
               const QString &name, const QString &stagedName, QSet<qint64> &inFiles, QByteArray &digest)
{
    auto out = std::make_unique<TOvSafeFile>(stagedName);
    out->open();
    BlockDigest hash;
    // the lines go out a block at a time
    constexpr qsizetype kBlock = 1 << 20;
    QByteArray block;
    block.reserve(kBlock + TVelFileUtil::RecordLength + 2);
    auto line = [&](QByteArrayView record) {
        if (record.size() != TVelFileUtil::RecordLength)
            throw EOvError(QStringLiteral("Record di %1 caratteri invece di %2 nel file %3")
                               .arg(record.size())
                               .arg(TVelFileUtil::RecordLength)
                               .arg(QDir::toNativeSeparators(name)));
        block.append(record);
        block.append("\r\n", 2);
        if (block.size() >= kBlock) {
            out->write(block);
            hash.add(block);
            block = QByteArray();
            block.reserve(kBlock + TVelFileUtil::RecordLength + 2);
        }
    };

    QByteArray recA = r.a;
    place(recA, places.fileNumber, files == 1 ? 0 : k);
    place(recA, places.fileCount, files == 1 ? 0 : files);
    // the Quadro CT flag of this file: its C records, if any, are all in the first
    bool quadroCt = false;
    for (size_t i = from; i < to && !quadroCt; ++i)
        quadroCt = r.letter(i) == QLatin1String("C");
    QByteArray recB = r.b;
    place(recB, places.quadroCT, quadroCt ? 1 : 0);
    line(recA);
    line(recB);

    QHash<QChar, qint64> counts;
    for (size_t i = from; i < to; ++i) {
        const QStringView letter = r.letter(i);
        if (!letter.isEmpty())
            ++counts[letter.at(0)];
        if (letter == QLatin1String("D") && r.fCert >= 0)
            inFiles.insert(r.certification(i));
        line(r.t.valueAt(r.body[i], r.fRec).toByteArray());
    }
    QByteArray recZ = r.z;
    for (const VelSupplyPlaces::Count &c : places.counts)
        place(recZ, c.place, counts.value(c.letter));
    line(recZ);
    out->write(block);
    hash.add(block);
    out->commit();
    digest = hash.hex();
}

} // namespace

VelSupplyPlaces VelSupplyPlaces::fromTemplates(const TXMLRecordType &a, const TXMLRecordType &b, const TXMLRecordType &z)
{
    VelSupplyPlaces p;
    p.fileNumber = onePlace(a, TXMLCalc::FileNumber, "invio");
    p.fileCount = onePlace(a, TXMLCalc::FileCount, "invii");
    p.certifications = onePlace(b, TXMLCalc::Certifications, "certificazioni");
    p.quadroCT = onePlace(b, TXMLCalc::QuadroCT, "quadro-ct");
    for (const auto &[field, at] : placesOf(z, TXMLCalc::RecordCount)) {
        const QChar letter = field->calcText.at(0);
        for (const Count &c : p.counts)
            if (c.letter == letter)
                placeError(z, QStringLiteral("due campi contano i record %1").arg(letter));
        p.counts.append({letter, at});
    }
    return p;
}

QString VelSupplyWriter::partName(const QString &fileName, int k)
{
    return k <= 1 ? fileName : fileName + QLatin1Char('_') + QString::number(k);
}

int VelSupplyWriter::fileCount(int bodyRecords)
{
    return bodyRecords <= MaxBodyRecords ? 1 : (bodyRecords + MaxBodyRecords - 1) / MaxBodyRecords;
}

QStringList VelSupplyWriter::write(TClientDataSet &recordTable, const VelSupplyPlaces &places, const QString &fileName,
                                   int certifications, const std::function<void(const QString &)> &warn,
                                   QSet<qint64> *written, const Verify &verify, TorFileSet::Replaced *aside)
{
    Records records = readRecords(recordTable);
    const std::vector<size_t> fileEnd = splitIntoFiles(records);
    const int files = int(fileEnd.size());
    if (files > 1) {
        const QString text = QStringLiteral("ATTENZIONE. La fornitura supera il limite previsto,\n\r"
                                            "Verranno generati più file telematici.");
        if (warn)
            warn(text);
        else
            TVelUnattendedRunHost::instance().notice(text, TVelNotice::Warning);
    }
    place(records.b, places.certifications, certifications);

    const QFileInfo target(fileName);
    ovTryMakePath(target.absolutePath());
    // one supply at a time in the folder; what a killed one left is set right
    // first, and said
    TorFileSet::Folder folder(target.absolutePath());
    const QStringList notices = folder.recover();
    if (aside)
        aside->notices = notices;
    // the files are made whole in a hidden folder of their own inside the
    // target's (the same file system: taking their names is a rename),
    // checked there, and only then take the names the office sends
    const QDir staging(folder.staging());
    QStringList names, staged;
    QList<QByteArray> digests;
    QSet<qint64> certificationsInFiles;
    size_t next = 0;
    for (int k = 1; k <= files; ++k) {
        const QString name = partName(fileName, k);
        const QString stagedName = staging.filePath(QFileInfo(name).fileName());
        QByteArray digest;
        writeFile(records, places, next, fileEnd[size_t(k - 1)], k, files, name, stagedName, certificationsInFiles,
                  digest);
        digests.append(digest);
        TorFileSet::step("parte scritta");
        next = fileEnd[size_t(k - 1)];
        names.append(name);
        staged.append(stagedName);
    }
    if (verify)
        verify(staged, names);
    // the parts of an earlier supply of that name go aside together, and the
    // list of the new parts says which files are the supply
    TorFileSet::Replaced replaced = folder.commit(staged, names, digests);
    replaced.notices = notices;
    if (aside)
        *aside = replaced;
    if (written)
        *written = certificationsInFiles;
    return names;
}
