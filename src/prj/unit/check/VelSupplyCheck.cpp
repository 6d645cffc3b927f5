#include "VelSupplyCheck.h"
#include "VelSupplyCheckFile.h"
#include "VelSupplyFindings.h"
#include "VelSupplyMeaningCheck.h"
#include "VelSupplyRecordCheck.h"
#include "VelSupplySetCheck.h"
#include "src/prj/unit/model/VelCodFis.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

bool allDigits(QByteArrayView v)
{
    return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

QString TVelSupplyProblem::text() const
{
    QString place = file;
    if (record > 0)
        place += QStringLiteral(", record %1").arg(record);
    if (position > 0)
        place += QStringLiteral(", posizione %1").arg(position);
    QString out = place + QStringLiteral(": ") + (warning ? QStringLiteral("avviso: ") : QString()) + message;
    if (!value.isNull())
        out += QStringLiteral(" (trovato \"%1\")").arg(value);
    out += QLatin1Char('.');
    if (!payee.isEmpty())
        out += QStringLiteral(" Percipiente %1").arg(payee);
    if (!where.isEmpty())
        out += (payee.isEmpty() ? QStringLiteral(" Correggere in ") : QStringLiteral(": correggere in ")) + where;
    if (!payee.isEmpty() || !where.isEmpty())
        out += QLatin1Char('.');
    return out;
}

// ---------------------------------------------------------------- tax codes

bool TVelSupplyCheck::validNumericCode(const QString &code)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]{11}$"));
    return shape.match(code).hasMatch() && VelCodFis::isValidNumeric(code);
}

bool TVelSupplyCheck::validPersonalCode(const QString &code)
{
    // Letters in place of digits (codes given to people born the same day in
    // the same place) are the letters L M N P Q R S T U V; the month is one of
    // its twelve letters.
    static const QRegularExpression shape(QStringLiteral(
        "^[A-Z]{6}[0-9LMNPQRSTUV]{2}[ABCDEHLMPRST][0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]{3}[A-Z]$"));
    return shape.match(code).hasMatch() && VelCodFis::isValidPersonal(code);
}

bool TVelSupplyCheck::validTaxCode(const QString &code)
{
    return code.size() == 16 ? validPersonalCode(code) : validNumericCode(code);
}

bool TVelSupplyCheck::validDate(const QByteArray &text)
{
    if (text.size() != 8 || !allDigits(text))
        return false;
    const QDate d(text.mid(4, 4).toInt(), text.mid(2, 2).toInt(), text.mid(0, 2).toInt());
    return d.isValid() && d.year() >= 1900;
}

// ---------------------------------------------------------------- the files

QList<TVelSupplyProblem> TVelSupplyCheck::run(const QStringList &files)
{
    m_certifications = 0;
    m_records = 0;
    // the parts of one run: the findings, the meaning of the values, the
    // layout record by record
    TVelSupplyFindings findings;
    TVelSupplyMeaningCheck meaning(findings);
    TVelSupplyRecordCheck records(findings, meaning);
    QList<TVelSupplyCheckFile> infos;
    for (const QString &path : files) {
        TVelSupplyCheckFile info;
        info.name = path;
        QFile f(path);
        if (!f.exists()) {
            findings.problem(info.name, 0, 0, QString(), s("il file non esiste"));
        } else if (QFileInfo(path).isDir()) {
            findings.problem(info.name, 0, 0, QString(), s("è una cartella, non il file di una fornitura"));
        } else if (!f.open(QIODevice::ReadOnly)) {
            findings.problem(info.name, 0, 0, QString(), s("il file non si può leggere: ") + f.errorString());
        } else {
            info.readable = true;
            checkFile(info, f, records, findings);
        }
        infos.append(info);
    }
    m_certifications = TVelSupplySetCheck(findings).check(infos);
    return findings.list();
}

QString TVelSupplyCheck::notASupply(const QByteArray &first)
{
    // what the first record of any supply is: 1,897 characters beginning with
    // a record type, "A", CR LF
    static const QByteArray types = "ABCDGHZ";
    const qsizetype lf = first.indexOf('\n');
    if (lf >= 0 && lf + 1 < first.size())
        return s("il primo record è lungo %1 byte invece di 1900").arg(lf + 1);
    if (first.size() < RecordLength)
        return s("il file è lungo %1 byte, meno di un record (1900 byte)").arg(first.size());
    if (!types.contains(first.at(0)))
        return s("il primo record non comincia con un tipo di record (A, B, C, D, G, H, Z)");
    if (first.at(ContentLength) != 'A' || first.at(ContentLength + 1) != '\r' || lf != RecordLength - 1)
        return s("il primo record non termina con \"A\" e CR LF alla posizione 1898");
    return QString();
}

void TVelSupplyCheck::checkFile(TVelSupplyCheckFile &info, QFile &file, TVelSupplyRecordCheck &records,
                                TVelSupplyFindings &findings)
{
    // Read record by record: a file of any size, or a device, takes the
    // memory of one record. What does not begin as a supply is refused at
    // once, without reading further.
    const QByteArray first = file.read(RecordLength);
    if (first.isEmpty()) {
        findings.problem(info, 0, 0, QByteArray(), file.error() == QFileDevice::NoError
                                                       ? s("il file è vuoto")
                                                       : s("il file non si può leggere: ") + file.errorString());
        return;
    }
    if (const QString why = notASupply(first); !why.isEmpty()) {
        findings.problem(info, 0, 0, QByteArray(), s("non è il file di una fornitura CU: ") + why + s("; controllo interrotto"));
        info.readable = false; // not a part of any supply
        return;
    }
    const qsizetype problemsBefore = findings.count();
    int number = 0;
    QByteArray line = first;
    qint64 length = line.size();
    for (;;) {
        ++number;
        ++m_records;
        records.checkLine(info, number, line, length);
        if (findings.count() - problemsBefore >= MaxProblemsPerFile) {
            findings.problem(info, number, 0, QByteArray(),
                             s("troppi problemi (%1): il controllo del file si ferma qui").arg(MaxProblemsPerFile));
            return;
        }
        if (file.atEnd())
            break;
        // Lines are read up to a cap: a line beyond it is not a record, and
        // only its length is kept while the rest of it is skipped.
        line = file.readLine(MaxLineRead);
        if (line.isEmpty() && file.error() != QFileDevice::NoError) {
            findings.problem(info, number + 1, 0, QByteArray(), s("il file non si può leggere: ") + file.errorString());
            return;
        }
        length = line.size();
        while (!line.endsWith('\n') && !file.atEnd()) {
            const QByteArray more = file.readLine(MaxLineRead);
            if (more.isEmpty())
                break;
            length += more.size();
            if (more.endsWith('\n'))
                line.append('\n'); // the end of the line, for the CR LF checks
        }
    }
    records.checkEnd(info, number);
}
