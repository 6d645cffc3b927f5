// The rules of a supply as a whole: the files of one supply, their numbering
// and record B, the certifications and their progressives across the files.
#include "VelSupplySetCheck.h"
#include "VelSupplyCheck.h"
#include "VelSupplyCheckFile.h"
#include "VelSupplyFindings.h"

#include <QHash>
#include <QMap>

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

constexpr int ContentLength = TVelSupplyCheck::ContentLength;

} // namespace

int TVelSupplySetCheck::check(QList<TVelSupplyCheckFile> &files)
{
    checkOneCertificationPerPayee(files);

    // Files of one supply: same supplier, agent and supply code.
    QMap<QByteArray, QList<TVelSupplyCheckFile *>> supplies;
    for (TVelSupplyCheckFile &f : files)
        if (f.readable && f.aSeen)
            supplies[f.supplier + '|' + f.agent + '|' + f.supplyCode].append(&f);

    int total = 0;
    for (const QList<TVelSupplyCheckFile *> &parts : std::as_const(supplies)) {
        checkNumbering(parts);
        checkSameRecordB(parts);
        const int certifications = checkCertifications(parts);
        total += certifications;
        checkCertificationCount(parts, certifications);
    }
    return total;
}

void TVelSupplySetCheck::checkOneCertificationPerPayee(const QList<TVelSupplyCheckFile> &files)
{
    // One certification per payee and withholding agent, whatever the files:
    // a tax code in two certifications (two progressives) of one agent.
    struct Seen
    {
        const TVelSupplyCheckFile *file;
        QByteArray key;
    };
    QHash<QByteArray, Seen> byPayee; // agent + payee
    for (const TVelSupplyCheckFile &f : files) {
        if (!f.readable)
            continue;
        for (const QByteArray &key : f.certificationKeys) {
            const QByteArray payee = key.left(16);
            const auto it = byPayee.constFind(f.agent + '|' + payee);
            if (it == byPayee.constEnd()) {
                byPayee.insert(f.agent + '|' + payee, {&f, key});
            } else if (it->key != key) {
                const QString where = it->file == &f ? QString() : it->file->name + QStringLiteral(", ");
                problem(f, f.firstRecordOf.value(key), 26, payee,
                        s("il codice fiscale %1 ha già una certificazione dello stesso sostituto d'imposta "
                          "(%2record %3): un percipiente ha una sola certificazione per sostituto")
                            .arg(QString::fromLatin1(payee).trimmed(), where)
                            .arg(it->file->firstRecordOf.value(it->key)));
            }
        }
    }
}

void TVelSupplySetCheck::checkNumbering(const QList<TVelSupplyCheckFile *> &parts)
{
    const TVelSupplyCheckFile &first = *parts.first();
    // Numbering: "0000"/"0000" for one file; otherwise 1..N of N.
    const int total = first.parts;
    bool numberingOk = true;
    for (const TVelSupplyCheckFile *f : parts) {
        if (f->parts != total) {
            problem(*f, 1, 526, QByteArray::number(f->parts).rightJustified(4, '0'),
                    s("numero totale degli invii diverso da quello del file %1 (%2)")
                        .arg(first.name)
                        .arg(total, 4, 10, QLatin1Char('0')));
            numberingOk = false;
        }
    }
    if (numberingOk && total == 1) {
        // one file is numbered 0000 of 0000, never 0001 of 0001
        for (const TVelSupplyCheckFile *f : parts)
            problem(*f, 1, 522, QByteArray::number(f->part).rightJustified(4, '0') + QByteArray::number(total).rightJustified(4, '0'),
                    s("una fornitura in un solo file ha progressivo e numero degli invii \"0000\" e \"0000\""));
    } else if (numberingOk && total >= 0) {
        if (total == 0) {
            for (const TVelSupplyCheckFile *f : parts)
                if (f->part != total)
                    problem(*f, 1, 522, QByteArray::number(f->part).rightJustified(4, '0'),
                            s("progressivo dell'invio incoerente con il numero totale \"%1\"")
                                .arg(total, 4, 10, QLatin1Char('0')));
            if (parts.size() > 1)
                problem(parts.at(1)->name, 0, 0, QString(),
                        s("più file della stessa fornitura dichiarano di essere l'unico invio"));
        } else {
            QMap<int, const TVelSupplyCheckFile *> byPart;
            for (const TVelSupplyCheckFile *f : parts) {
                if (f->part < 1 || f->part > total)
                    problem(*f, 1, 522, QByteArray::number(f->part).rightJustified(4, '0'),
                            s("progressivo dell'invio fuori da 1-%1").arg(total));
                else if (byPart.contains(f->part))
                    problem(*f, 1, 522, QByteArray::number(f->part).rightJustified(4, '0'),
                            s("progressivo dell'invio già usato dal file %1").arg(byPart.value(f->part)->name));
                else
                    byPart.insert(f->part, f);
            }
            QStringList missing;
            for (int k = 1; k <= total; ++k)
                if (!byPart.contains(k))
                    missing << QString::number(k);
            if (!missing.isEmpty())
                problem(first.name, 0, 0, QString(),
                        s("la fornitura è divisa in %1 file ma mancano le parti %2: controllare tutti i file "
                          "insieme")
                            .arg(total)
                            .arg(missing.join(QStringLiteral(", "))));
        }
    }
}

void TVelSupplySetCheck::checkSameRecordB(const QList<TVelSupplyCheckFile *> &parts)
{
    const TVelSupplyCheckFile &first = *parts.first();
    {
        // Record B is the same in every file, but for the Quadro CT flag (410)
        // of the files without the C records.
        for (const TVelSupplyCheckFile *f : parts) {
            if (f == &first || f->bRecordText.size() != ContentLength || first.bRecordText.size() != ContentLength)
                continue;
            for (int i = 0; i < ContentLength; ++i) {
                if (i + 1 != 410 && f->bRecordText.at(i) != first.bRecordText.at(i)) {
                    problem(*f, f->bRecord, i + 1, f->bRecordText.mid(i, 16),
                            s("record B diverso da quello del file %1 (trovato là \"%2\")")
                                .arg(first.name, QString::fromLatin1(first.bRecordText.mid(i, 16))));
                    break;
                }
            }
        }
    }
}

int TVelSupplySetCheck::checkCertifications(const QList<TVelSupplyCheckFile *> &parts)
{
    // No certification in two files, no progressive for two payees.
    QHash<QByteArray, const TVelSupplyCheckFile *> owner;
    QHash<QByteArray, QByteArray> payeeOf; // progressive -> payee
    int certifications = 0;
    for (const TVelSupplyCheckFile *f : parts) {
        for (const QByteArray &key : f->certificationKeys) {
            const QByteArray progressive = key.mid(16);
            if (const QByteArray other = payeeOf.value(progressive); !other.isEmpty() && other != key.left(16))
                problem(*f, f->firstRecordOf.value(key), 42, progressive,
                        s("progressivo della certificazione già usato per il percipiente %1")
                            .arg(QString::fromLatin1(other).trimmed()));
            else
                payeeOf.insert(progressive, key.left(16));
            if (const TVelSupplyCheckFile *o = owner.value(key)) {
                problem(*f, f->firstRecordOf.value(key), 26, key.left(16) + ' ' + key.mid(16),
                        s("certificazione divisa tra i file %1 e %2").arg(o->name, f->name));
            } else {
                owner.insert(key, f);
                ++certifications;
            }
        }
    }
    return certifications;
}

void TVelSupplySetCheck::checkCertificationCount(const QList<TVelSupplyCheckFile *> &parts, int certifications)
{
    // Every file's record B counts the certifications of the whole supply:
    // each once, whatever it holds (employment, self-employment or both).
    for (const TVelSupplyCheckFile *f : parts) {
        if (f->declaredCertifications < 0 || f->bRecord == 0)
            continue;
        if (f->declaredCertifications != certifications)
            problem(*f, f->bRecord, 402, QByteArray::number(f->declaredCertifications).rightJustified(8, '0'),
                    s("il record B dichiara %1 certificazioni ma la fornitura ne contiene %2")
                        .arg(f->declaredCertifications)
                        .arg(certifications));
    }
}

void TVelSupplySetCheck::problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                                 const QString &message)
{
    m_findings.problem(info, record, position, value, message);
}

void TVelSupplySetCheck::problem(const QString &file, int record, int position, const QString &value,
                                 const QString &message)
{
    m_findings.problem(file, record, position, value, message);
}
