#include "src/prj/unit/telematic/VelSupplyWriter.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/telematic/VelFileText.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString digits(qint64 n, int width)
{
    return VelFileText::zeroPad(QString::number(n), width);
}

// Replaces characters from..to (1-based, inclusive) of a record.
void place(QString &record, int from, const QString &text)
{
    record.replace(from - 1, text.size(), text);
}

} // namespace

QString VelSupplyWriter::partName(const QString &fileName, int k)
{
    return k <= 1 ? fileName : fileName + QLatin1Char('_') + QString::number(k);
}

int VelSupplyWriter::fileCount(int bodyRecords)
{
    return bodyRecords <= MaxBodyRecords ? 1 : (bodyRecords + MaxBodyRecords - 1) / MaxBodyRecords;
}

QStringList VelSupplyWriter::write(TClientDataSet &recordTable, const QString &fileName, int certifications,
                                   const std::function<void(const QString &)> &warn, QSet<qint64> *written,
                                   const Verify &verify)
{
    TClientDataSet &t = recordTable;
    t.setIndexFieldNames(QStringLiteral("IFILEPROGRE;SFILECODREC"));
    const int fLetter = t.fieldIndex(QStringLiteral("SFILECODREC"));
    const int fProg = t.fieldIndex(QStringLiteral("SFILEPROGRE"));
    const int fRec = t.fieldIndex(QStringLiteral("SFILERECORD"));
    if (fLetter < 0 || fProg < 0 || fRec < 0)
        throw EAssertionFailed(QStringLiteral("Tabella dei record del file telematico senza le sue colonne"));

    const int fCert = t.fieldIndex(QStringLiteral("IFILEPROGRE"));
    QString a, b, z;
    std::vector<int> body;
    const int rows = t.recordCount();
    body.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const QString letter = t.valueAt(r, fLetter).toString();
        const QString prog = t.valueAt(r, fProg).toString();
        if (!prog.isEmpty()) {
            body.push_back(r);
        } else if (letter == QLatin1String("A") && a.isEmpty()) {
            a = t.valueAt(r, fRec).toString();
        } else if (letter == QLatin1String("B") && b.isEmpty()) {
            b = t.valueAt(r, fRec).toString();
        } else if (letter == QLatin1String("Z") && z.isEmpty()) {
            z = t.valueAt(r, fRec).toString();
        }
    }
    for (const auto &[letter, text] : {std::pair{"A", &a}, std::pair{"B", &b}, std::pair{"Z", &z}}) {
        if (text->size() != TVelFileUtil::RecordLength)
            throw EOvError(QStringLiteral("Record %1 mancante o di lunghezza errata (%2 caratteri)")
                               .arg(QLatin1String(letter))
                               .arg(text->size()));
    }

    // The body into files: a certification's records (D, G, H with the same
    // certification number) always go into one file; when they would not fit
    // within the records left in the current file, the next file begins.
    std::vector<size_t> fileEnd; // per file: index in `body` past its last record
    {
        size_t inFile = 0;
        size_t i = 0;
        while (i < body.size()) {
            size_t j = i + 1;
            const qint64 cert = fCert >= 0 ? t.valueAt(body[i], fCert).toLongLong() : 0;
            if (cert > 0)
                while (j < body.size() && t.valueAt(body[j], fCert).toLongLong() == cert)
                    ++j;
            const size_t group = j - i;
            if (group > size_t(MaxBodyRecords))
                throw EOvError(QStringLiteral("La certificazione n. %1 ha %2 record: supera da sola il limite di %3 "
                                              "record di un file")
                                   .arg(cert)
                                   .arg(group)
                                   .arg(MaxBodyRecords));
            if (inFile > 0 && inFile + group > size_t(MaxBodyRecords)) {
                fileEnd.push_back(i);
                inFile = 0;
            }
            inFile += group;
            i = j;
        }
        fileEnd.push_back(body.size());
    }
    const int files = int(fileEnd.size());
    if (files > 1) {
        const QString text = QStringLiteral("ATTENZIONE. La fornitura supera il limite previsto,\n\r"
                                            "Verranno generati più file telematici.");
        if (warn)
            warn(text);
        else
            OvMessageBox(text, MB_OK | MB_ICONWARNING);
    }

    place(b, 402, digits(certifications, 8));

    const QFileInfo target(fileName);
    ovTryMakePath(target.absolutePath());
    // the files are made whole in a folder of their own beside the target (the
    // same file system: taking their names is a rename), checked there, and
    // only then take the names the office sends
    QTemporaryDir staging(target.absoluteDir().filePath(QStringLiteral(".fornitura-XXXXXX")));
    if (!staging.isValid())
        throw EOvError(ovWriteFailedText(fileName, staging.errorString()));
    QStringList names, staged;
    QSet<qint64> certificationsInFiles;
    size_t next = 0;
    for (int k = 1; k <= files; ++k) {
        const QString name = partName(fileName, k);
        const QString stagedName = staging.filePath(QFileInfo(name).fileName());
        auto out = std::make_unique<TOvSafeFile>(stagedName);
        out->open();
        // the Quadro CT flag of this file: its C records, if any, are all in the first
        bool quadroCt = false;
        for (size_t i = next; i < fileEnd[size_t(k - 1)] && !quadroCt; ++i)
            quadroCt = t.valueAt(body[i], fLetter).toString() == QLatin1String("C");
        QString recB = b;
        place(recB, 410, quadroCt ? QStringLiteral("1") : QStringLiteral("0"));

        QString recA = a;
        place(recA, 522, files == 1 ? QStringLiteral("0000") : digits(k, 4));
        place(recA, 526, files == 1 ? QStringLiteral("0000") : digits(files, 4));

        int counts[4] = {0, 0, 0, 0}; // C, D, G, H
        auto line = [&](const QString &record) {
            if (record.size() != TVelFileUtil::RecordLength)
                throw EOvError(QStringLiteral("Record di %1 caratteri invece di %2 nel file %3")
                                   .arg(record.size())
                                   .arg(TVelFileUtil::RecordLength)
                                   .arg(QDir::toNativeSeparators(name)));
            QByteArray bytes = VelFileText::toWin1252(record);
            bytes.append("\r\n", 2);
            out->write(bytes);
        };

        line(recA);
        line(recB);
        for (; next < fileEnd[size_t(k - 1)]; ++next) {
            const int r = body[next];
            const QString letter = t.valueAt(r, fLetter).toString();
            if (letter == QLatin1String("C"))
                ++counts[0];
            else if (letter == QLatin1String("D")) {
                ++counts[1];
                if (fCert >= 0)
                    certificationsInFiles.insert(t.valueAt(r, fCert).toLongLong());
            }
            else if (letter == QLatin1String("G"))
                ++counts[2];
            else if (letter == QLatin1String("H"))
                ++counts[3];
            line(t.valueAt(r, fRec).toString());
        }
        QString recZ = z;
        for (int i = 0; i < 4; ++i)
            place(recZ, 25 + 9 * i, digits(counts[i], 9));
        line(recZ);
        out->commit();
        names.append(name);
        staged.append(stagedName);
    }
    if (verify)
        verify(staged, names);

    // all complete and accepted: now they take their names (a file of the same
    // name keeps its permissions, as TOvSafeFile keeps them)
    for (qsizetype i = 0; i < staged.size(); ++i) {
        if (QFileInfo::exists(names[i]))
            QFile::setPermissions(staged[i], QFile::permissions(names[i]));
        if (::rename(QFile::encodeName(staged[i]).constData(), QFile::encodeName(names[i]).constData()) != 0)
            throw EOvError(ovWriteFailedText(names[i], ovFileErrorText(errno)));
    }
    if (written)
        *written = certificationsInFiles;
    return names;
}
