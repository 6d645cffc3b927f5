// The published layout of a supply, record by record: each line's length
// and end, the bytes it may hold, the order of the records, the positional
// fields of A, B and Z and of the records' heads, the key-value area of C, D,
// G and H by the layout's table of codes, and the records a certification is
// made of. What the values mean is asked of the meaning check as they are read.
#include "VelSupplyRecordCheck.h"
#include "VelSupplyCheck.h"
#include "VelSupplyCheckFields.h"
#include "VelSupplyCheckFile.h"
#include "VelSupplyFindings.h"
#include "VelSupplyMeaningCheck.h"

#include "tor/util/TorCampagna.h"

#include <QStringList>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int RecordLength = TVelSupplyCheck::RecordLength;
constexpr int ContentLength = TVelSupplyCheck::ContentLength;
constexpr int FirstSlot = TVelSupplyCheck::FirstSlot;
constexpr int SlotCount = TVelSupplyCheck::SlotCount;
constexpr int SlotWidth = TVelSupplyCheck::SlotWidth;

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// The bytes of a record between two 1-based positions, inclusive.
QByteArray at(const QByteArray &rec, int from, int to)
{
    return rec.mid(from - 1, to - from + 1);
}

bool allDigits(QByteArrayView v)
{
    return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool blank(QByteArrayView v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return c == ' '; });
}

bool zeros(QByteArrayView v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return c == '0'; });
}

// A field code: two capital letters and six digits.
bool fieldCodeShape(QByteArrayView code)
{
    if (code.size() != 8)
        return false;
    for (int i = 0; i < 8; ++i) {
        const char c = code[i];
        if (i < 2 ? (c < 'A' || c > 'Z') : (c < '0' || c > '9'))
            return false;
    }
    return true;
}

// Supply code of this edition: "CUR" and the last two digits of the filing year.
QByteArray expectedSupplyCode()
{
    return QByteArray("CUR") + QByteArray::number(Campagna::AnnoInvio % 100).rightJustified(2, '0');
}

// The sections (the two letters of a field code) each record type carries: D
// the agent's and the payee's personal data (DA); G the tax data and the
// dependants (DB) and the social-security sections (DC); H one self-employed
// entry (AU); C the Quadro CT (CT). The layout names DA, DB, DC and AU; it says
// nothing of what C carries, and CT is the letters this program writes it with.
struct RecordSections
{
    char type;
    QList<QByteArray> sections;
    const char *shown; // for the message
};

const RecordSections *sectionsOf(char type)
{
    static const RecordSections all[] = {
        {'C', {"CT"}, "CT"},
        {'D', {"DA"}, "DA"},
        {'G', {"DB", "DC"}, "DB e DC"},
        {'H', {"AU"}, "AU"},
    };
    for (const RecordSections &r : all)
        if (r.type == type)
            return &r;
    return nullptr;
}

} // namespace

void TVelSupplyRecordCheck::checkLine(TVelSupplyCheckFile &info, int number, const QByteArray &line, qint64 length)
{
    // Records are read line by line, so that one record of the wrong length
    // does not make every following one unreadable.
    const bool lf = line.endsWith('\n');
    if (!lf) {
        problem(info, number, int(qMin<qint64>(length, INT_MAX)), line.right(1), s("l'ultimo record non termina con CR LF"));
    } else if (length == line.size() && (line.size() < 2 || line.at(line.size() - 2) != '\r')) {
        problem(info, number, int(line.size()), QByteArray(), s("il record termina con LF senza CR"));
    }
    if (length != RecordLength) {
        problem(info, number, 0, QByteArray(),
                s("il record è lungo %1 caratteri invece di 1900 (1897 di contenuto, \"A\", CR LF)").arg(length));
        // Its type still counts for the order and for record Z.
        if (!line.isEmpty())
            info.counts[line.at(0)]++;
        info.previous = line.left(1);
        return;
    }
    if (line.at(ContentLength) != 'A')
        problem(info, number, ContentLength + 1, line.mid(ContentLength, 1),
                s("manca il carattere di controllo \"A\" a fine record"));
    const QByteArray rec = line.left(ContentLength);
    m_findings.setRecord(&rec, number);
    // one byte a character, of those the layout allows: the first one that
    // is not, a record
    const qsizetype bad = VelSupplyFields::firstRefusedByte(rec);
    if (bad >= 0)
        problem(info, number, int(bad) + 1, rec.mid(bad, 1),
                VelSupplyFields::byteProblem(static_cast<unsigned char>(rec.at(bad))));
    checkRecord(info, number, rec);
    m_findings.setRecord(nullptr, 0);
}

void TVelSupplyRecordCheck::finishCertification(TVelSupplyCheckFile &info)
{
    // what a certification's D records must carry: the payee's identity and
    // the agent's signature (a cancellation only names the payee)
    if (info.certificationRecord == 0)
        return;
    static const char *const required[] = {"DA002001", "DA002002", "DA002003", "DA002004",
                                           "DA002005", "DA002006", "DA003002"};
    QStringList missing;
    for (const char *code : required)
        if (!info.certificationCodes.contains(code) && (info.operation != 'A' || qstrcmp(code, "DA002001") == 0))
            missing << QString::fromLatin1(code);
    if (!missing.isEmpty())
        problem(info, info.certificationRecord, FirstSlot, QByteArray(),
                s("mancano nella certificazione i campi obbligatori %1 (codice fiscale, cognome, nome, sesso, data "
                  "e luogo di nascita del percipiente, firma del sostituto)")
                    .arg(missing.join(QStringLiteral(", "))));
    m_meaning.ruleCertification(info);
    info.certificationCodes.clear();
    info.certificationRecord = 0;
}

void TVelSupplyRecordCheck::checkEnd(TVelSupplyCheckFile &info, int number)
{
    finishCertification(info);
    if (info.bRecord > 0) {
        const int c = info.counts.value('C');
        if (info.quadroCt == '1' && c == 0)
            problem(info, info.bRecord, 410, "1", s("il record B dichiara il Quadro CT ma il file non ha record C"));
        else if (info.quadroCt != '1' && c > 0)
            problem(info, info.bRecord, 410, QByteArray(1, info.quadroCt),
                    s("il file ha %1 record C ma il record B non dichiara il Quadro CT").arg(c));
    }
    // What every file must hold.
    if (!info.aSeen)
        problem(info, 0, 0, QByteArray(), s("manca il record A"));
    if (!info.bSeen)
        problem(info, 0, 0, QByteArray(), s("manca il record B"));
    if (!info.zSeen)
        problem(info, number, 0, QByteArray(), s("manca il record Z in fondo al file"));
    if (info.zRecord > 0 && info.zCounts.size() == 45) {
        const char types[] = {'B', 'C', 'D', 'G', 'H'};
        for (int i = 0; i < 5; ++i) {
            const QByteArray field = info.zCounts.mid(i * 9, 9);
            if (!allDigits(field))
                continue; // already reported
            if (field.toLongLong() != info.counts.value(types[i]))
                problem(info, info.zRecord, 16 + i * 9, field,
                        s("il record Z dichiara %1 record %2 ma il file ne contiene %3")
                            .arg(field.toLongLong())
                            .arg(QLatin1Char(types[i]))
                            .arg(info.counts.value(types[i])));
        }
    }
}

void TVelSupplyRecordCheck::checkRecord(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    const char type = rec.at(0);
    info.counts[type]++;
    const char prev = info.previous.isEmpty() ? '\0' : info.previous.at(0);
    info.previous = QByteArray(1, type);
    if (info.zSeen)
        problem(info, number, 1, QByteArray(1, type), s("record dopo il record Z"));

    switch (type) {
    case 'A':
        if (number != 1 || info.aSeen)
            problem(info, number, 1, "A", s("il record A deve essere il primo e unico del file"));
        info.aSeen = true;
        checkA(info, number, rec);
        break;
    case 'B':
        if (prev != 'A' || info.bSeen)
            problem(info, number, 1, "B", s("il record B deve seguire subito il record A ed essere unico"));
        info.bSeen = true;
        checkB(info, number, rec);
        break;
    case 'C':
        if (prev != 'B' && prev != 'C')
            problem(info, number, 1, "C", s("i record C devono seguire il record B, prima delle certificazioni"));
        checkBody(info, number, rec);
        break;
    case 'D':
    case 'G':
    case 'H':
        if (!info.bSeen)
            problem(info, number, 1, QByteArray(1, type), s("record di certificazione prima del record B"));
        checkBody(info, number, rec);
        break;
    case 'Z':
        if (info.zSeen)
            problem(info, number, 1, "Z", s("record Z ripetuto"));
        info.zSeen = true;
        checkZ(info, number, rec);
        break;
    default:
        problem(info, number, 1, QByteArray(1, type), s("tipo di record sconosciuto"));
        break;
    }
}

void TVelSupplyRecordCheck::checkA(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    if (!blank(at(rec, 2, 15)))
        problem(info, number, 2, at(rec, 2, 15), s("le posizioni 2-15 del record A devono essere vuote"));
    info.supplyCode = at(rec, 16, 20);
    if (info.supplyCode != expectedSupplyCode())
        problem(info, number, 16, info.supplyCode,
                s("codice fornitura diverso da \"%1\"").arg(QString::fromLatin1(expectedSupplyCode())));
    const QByteArray kind = at(rec, 21, 22);
    if (kind != "01" && kind != "10")
        problem(info, number, 21, kind, s("tipo di fornitore diverso da \"01\" e \"10\""));
    info.supplierType = kind;
    info.supplier = at(rec, 23, 38);
    const QString supplier = QString::fromLatin1(info.supplier).trimmed();
    if (!TVelSupplyCheck::validTaxCode(supplier) || !info.supplier.startsWith(supplier.toLatin1()))
        problem(info, number, 23, info.supplier, s("codice fiscale del fornitore non valido"));
    const QByteArray part = at(rec, 522, 525), parts = at(rec, 526, 529);
    if (!allDigits(part))
        problem(info, number, 522, part, s("progressivo dell'invio non numerico"));
    else
        info.part = part.toInt();
    if (!allDigits(parts))
        problem(info, number, 526, parts, s("numero totale degli invii non numerico"));
    else
        info.parts = parts.toInt();
}

void TVelSupplyRecordCheck::checkB(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    info.bRecord = number;
    info.bRecordText = rec;
    info.quadroCt = rec.at(409);
    info.agent = at(rec, 2, 17);
    if (!TVelSupplyCheck::validTaxCode(QString::fromLatin1(info.agent).trimmed()) || info.agent.startsWith(' '))
        problem(info, number, 2, info.agent, s("codice fiscale del sostituto d'imposta non valido"));
    const QByteArray module = at(rec, 18, 25);
    if (!allDigits(module) || zeros(module))
        problem(info, number, 18, module, s("progressivo del modulo non valido"));
    const QByteArray producer = at(rec, 74, 89);
    if (!TVelSupplyCheck::validNumericCode(QString::fromLatin1(producer.left(11))) || !blank(producer.mid(11)))
        problem(info, number, 74, producer,
                s("codice fiscale del produttore del software non valido (11 cifre allineate a sinistra)"));
    for (int pos : {91, 92, 410, 411, 437, 527}) {
        const char c = rec.at(pos - 1);
        if (c != ' ' && c != '0' && c != '1')
            problem(info, number, pos, QByteArray(1, c), s("casella con valore diverso da \"0\", \"1\" o vuoto"));
    }
    if (rec.at(90) == '1' && rec.at(91) == '1')
        problem(info, number, 91, at(rec, 91, 92), s("annullamento e sostituzione insieme nel record B"));
    if (blank(at(rec, 93, 116)) && blank(at(rec, 137, 196)))
        problem(info, number, 93, at(rec, 93, 116), s("manca il cognome o la denominazione del sostituto d'imposta"));
    if (!blank(at(rec, 93, 116)) && !blank(at(rec, 137, 196)))
        problem(info, number, 137, at(rec, 137, 196),
                s("cognome e denominazione del sostituto insieme: l'uno per una persona, l'altra per un ente"));
    const QByteArray phone = at(rec, 297, 308);
    if (!blank(phone) && !allDigits(phone.trimmed()))
        problem(info, number, 297, phone, s("il telefono o fax contiene caratteri diversi dalle cifre"));
    const QByteArray events = at(rec, 309, 310);
    if (!allDigits(events))
        problem(info, number, 309, events, s("eventi eccezionali non numerici"));
    const QByteArray representative = at(rec, 311, 326);
    if (!blank(representative) && !TVelSupplyCheck::validTaxCode(QString::fromLatin1(representative).trimmed()))
        problem(info, number, 311, representative, s("codice fiscale del rappresentante firmatario non valido"));
    const QByteArray company = at(rec, 373, 383);
    if (!blank(company) && !zeros(company) && !TVelSupplyCheck::validNumericCode(QString::fromLatin1(company)))
        problem(info, number, 373, company, s("codice fiscale della società o ente dichiarante non valido"));
    const QByteArray count = at(rec, 402, 409);
    if (!allDigits(count))
        problem(info, number, 402, count, s("numero delle certificazioni non numerico"));
    else
        info.declaredCertifications = count.toLongLong();
    const QByteArray intermediary = at(rec, 412, 427);
    if (!blank(intermediary) && !TVelSupplyCheck::validTaxCode(QString::fromLatin1(intermediary).trimmed()))
        problem(info, number, 412, intermediary, s("codice fiscale dell'intermediario non valido"));
    const char commitment = rec.at(427);
    if (commitment != ' ' && commitment != '0' && commitment != '1' && commitment != '2')
        problem(info, number, 428, QByteArray(1, commitment), s("impegno alla trasmissione diverso da \"1\" e \"2\""));
    if (commitment == '2' && blank(intermediary))
        problem(info, number, 412, intermediary,
                s("impegno a trasmettere dell'intermediario senza il suo codice fiscale"));
    const QByteArray date = at(rec, 429, 436);
    if (!blank(date) && !zeros(date) && !TVelSupplyCheck::validDate(date))
        problem(info, number, 429, date, s("data dell'impegno non valida (ggmmaaaa)"));
    m_meaning.ruleAB(info, number, rec);
}

void TVelSupplyRecordCheck::checkBody(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    const char type = rec.at(0);
    if (!info.agent.isEmpty() && at(rec, 2, 17) != info.agent)
        problem(info, number, 2, at(rec, 2, 17), s("codice fiscale del sostituto diverso da quello del record B"));
    const QByteArray module = at(rec, 18, 25);
    if (!allDigits(module) || zeros(module))
        problem(info, number, 18, module, s("progressivo del modulo non valido"));
    const QByteArray payee = at(rec, 26, 41);
    const QString payeeCode = QString::fromLatin1(payee).trimmed();
    const bool payeeNeeded = type != 'C';
    if ((payeeNeeded || !payeeCode.isEmpty())
        && (!TVelSupplyCheck::validTaxCode(payeeCode) || payee.startsWith(' ')))
        problem(info, number, 26, payee, s("codice fiscale del percipiente non valido"));
    const QByteArray progressive = at(rec, 42, 46);
    if (!allDigits(progressive) || (payeeNeeded && zeros(progressive)))
        problem(info, number, 42, progressive, s("progressivo della certificazione non valido"));
    const QByteArray earlier = at(rec, 47, 63);
    if (!allDigits(earlier))
        problem(info, number, 47, earlier, s("identificativo dell'invio precedente non numerico"));
    const QByteArray earlierProgressive = at(rec, 64, 69);
    if (!allDigits(earlierProgressive))
        problem(info, number, 64, earlierProgressive, s("progressivo nell'invio precedente non numerico"));
    const char operation = rec.at(83);
    if (operation != ' ' && operation != 'A' && operation != 'S')
        problem(info, number, 84, QByteArray(1, operation), s("tipo di operazione diverso da \"A\", \"S\" o vuoto"));
    if ((operation == 'A' || operation == 'S') && zeros(earlier))
        problem(info, number, 47, earlier, s("annullamento o sostituzione senza l'identificativo dell'invio precedente"));
    const char confirmation = rec.at(88);
    if (confirmation != ' ' && confirmation != '0' && confirmation != '1')
        problem(info, number, 89, QByteArray(1, confirmation), s("casella di conferma diversa da \"0\", \"1\" o vuota"));
    if (!blank(at(rec, 1890, 1897)))
        problem(info, number, 1890, at(rec, 1890, 1897), s("le posizioni 1890-1897 devono essere vuote"));
    if (type == 'C') {
        checkSlots(info, number, rec);
        return;
    }
    // A certification: its D, then its G and H records, together.
    const QByteArray key = payee + progressive;
    if (type == 'D') {
        if (key != info.certification) {
            finishCertification(info);
            info.certificationRecord = number;
            info.operation = operation;
            info.values.clear();
            if (info.firstRecordOf.contains(key))
                problem(info, number, 26, payee + ' ' + progressive,
                        s("la certificazione compare già al record %1: i suoi record devono stare insieme")
                            .arg(info.firstRecordOf.value(key)));
            else {
                info.firstRecordOf.insert(key, number);
                info.certificationKeys.append(key);
            }
            info.certification = key;
        }
        info.certificationLast = number;
    } else if (info.certification.isEmpty()) {
        problem(info, number, 1, QByteArray(1, type),
                s("record %1 senza il record D della sua certificazione").arg(QLatin1Char(type)));
    } else if (key != info.certification) {
        problem(info, number, 26, payee + ' ' + progressive,
                s("record %1 che non appartiene alla certificazione del record D che lo precede")
                    .arg(QLatin1Char(type)));
    } else if (operation != info.operation) {
        problem(info, number, 84, QByteArray(1, operation),
                s("tipo di operazione diverso da quello del record D della certificazione (\"%1\")")
                    .arg(QLatin1Char(info.operation)));
    }
    if (type != 'D' && key == info.certification) {
        info.certificationLast = number;
        m_meaning.ruleRecordOfCertification(info, number, rec);
    }
    checkSlots(info, number, rec);
}

void TVelSupplyRecordCheck::checkSlots(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    // The slots are read in place; a value is copied only to report it.
    const char type = rec.at(0);
    const RecordSections *own = sectionsOf(type);
    bool ended = false;
    QByteArrayView lastCode;
    quint64 seen[SlotCount]; // the codes met, eight bytes each
    int seenCount = 0;
    for (int i = 0; i < SlotCount; ++i) {
        const int pos = FirstSlot + i * SlotWidth;
        const QByteArrayView code = QByteArrayView(rec).sliced(pos - 1, 8);
        const QByteArrayView value = QByteArrayView(rec).sliced(pos + 7, 16);
        if (blank(code)) {
            if (!blank(value))
                problem(info, number, pos + 8, value.toByteArray(), s("valore senza codice di campo"));
            ended = true;
            continue;
        }
        if (ended)
            problem(info, number, pos, code.toByteArray(), s("campo dopo uno spazio vuoto: i campi devono essere contigui"));
        if (!fieldCodeShape(code)) {
            problem(info, number, pos, code.toByteArray(),
                    s("codice di campo non valido (due lettere e sei cifre)"));
            lastCode = {};
            continue;
        }
        if (blank(value)) {
            problem(info, number, pos + 8, value.toByteArray(), s("campo %1 senza valore").arg(QLatin1StringView(code)));
            lastCode = code;
            continue;
        }
        const QByteArray codeKey = QByteArray::fromRawData(code.data(), code.size());
        const VelSupplyFields::Field *field = VelSupplyFields::field(codeKey);
        if (value.startsWith('+')) {
            if (code != lastCode)
                problem(info, number, pos, code.toByteArray() + value.toByteArray(),
                        s("continuazione del campo %1 che non segue il campo stesso").arg(QLatin1StringView(code)));
            else if (field && field->kind != VelSupplyFields::Kind::Text)
                problem(info, number, pos + 8, value.toByteArray(),
                        s("continuazione del campo %1, che non è un testo").arg(QLatin1StringView(code)));
            else if (type == 'D' && code == "DA002002")
                info.surname += value.sliced(1).toByteArray();
            else if (type == 'D' && code == "DA002003")
                info.firstName += value.sliced(1).toByteArray();
            lastCode = code;
            continue;
        }
        if (own && !own->sections.contains(code.first(2))) {
            problem(info, number, pos, code.toByteArray(),
                    s("campo %1 non ammesso nel record %2, che porta solo i codici %3")
                        .arg(QLatin1StringView(code))
                        .arg(QLatin1Char(type))
                        .arg(QLatin1String(own->shown)));
            lastCode = code;
            continue;
        }
        quint64 key;
        std::memcpy(&key, code.data(), sizeof key);
        if (std::find(seen, seen + seenCount, key) != seen + seenCount)
            problem(info, number, pos, code.toByteArray(), s("campo %1 ripetuto nel record").arg(QLatin1StringView(code)));
        else
            seen[seenCount++] = key;
        lastCode = code;
        if (type == 'D')
            info.certificationCodes.insert(code.toByteArray());

        // the value by its field's kind, as the published layout gives it
        if (!field) {
            problem(info, number, pos, code.toByteArray(),
                    s("campo %1: codice che il tracciato non prevede").arg(QLatin1StringView(code)));
            continue;
        }
        const QByteArray valueBytes = QByteArray::fromRawData(value.data(), value.size());
        if (const QString why = VelSupplyFields::valueProblem(*field, valueBytes); !why.isEmpty())
            problem(info, number, pos + 8, value.toByteArray(), s("campo %1: ").arg(QLatin1StringView(code)) + why);
        else if (code == "DA002001" && value.trimmed() != QByteArrayView(rec).sliced(25, 16).trimmed())
            problem(info, number, pos + 8, value.toByteArray(),
                    s("codice fiscale del percipiente diverso da quello delle posizioni 26-41"));
        else if (type != 'C')
            m_meaning.ruleSlot(info, number, rec, pos, code.toByteArray(), value.toByteArray(),
                     field->kind == VelSupplyFields::Kind::Amount);
    }
}

void TVelSupplyRecordCheck::checkZ(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    info.zRecord = number;
    if (!blank(at(rec, 2, 15)))
        problem(info, number, 2, at(rec, 2, 15), s("le posizioni 2-15 del record Z devono essere vuote"));
    const char *names[] = {"B", "C", "D", "G", "H"};
    for (int i = 0; i < 5; ++i) {
        const QByteArray field = at(rec, 16 + i * 9, 24 + i * 9);
        if (!allDigits(field))
            problem(info, number, 16 + i * 9, field, s("numero dei record %1 non numerico").arg(QLatin1String(names[i])));
    }
    info.zCounts = at(rec, 16, 60);
}

void TVelSupplyRecordCheck::problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                                    const QString &message)
{
    m_findings.problem(info, record, position, value, message);
}
