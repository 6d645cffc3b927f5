// What the values of a supply mean, as the rules of VelSupplyRules read them
// in the file: one field at a time while a record is read, records A and B
// together, the records of a certification (their modules, nothing written
// twice) and, at its end, the rules between its values. Every finding names
// the certification's payee and where the office corrects it.
#include "VelSupplyMeaningCheck.h"
#include "VelSupplyCheck.h"
#include "VelSupplyCheckFile.h"
#include "VelSupplyFindings.h"
#include "VelSupplyRules.h"

#include "tor/util/TorCampagna.h"

#include <QDate>

#include <algorithm>

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray at(const QByteArray &rec, int from, int to)
{
    return rec.mid(from - 1, to - from + 1);
}

bool blank(QByteArrayView v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return c == ' '; });
}

bool zeros(QByteArrayView v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return c == '0'; });
}

QDate dateOf(const QByteArray &ddmmyyyy)
{
    if (ddmmyyyy.size() != 8)
        return QDate();
    return QDate(ddmmyyyy.mid(4, 4).toInt(), ddmmyyyy.mid(2, 2).toInt(), ddmmyyyy.left(2).toInt());
}

// "1234,50" in cents (the shape is already checked).
qint64 cents(const QByteArray &amount)
{
    QByteArray plain = amount.trimmed();
    plain.replace(",", "");
    return plain.toLongLong();
}

// The fields whose first value the rules between values read.
bool kept(const QByteArray &code)
{
    static const char *const codes[] = {"DA002001", "DA002004", "DA002005", "DA002007", "DB001021", "DB001361"};
    return std::any_of(std::begin(codes), std::end(codes), [&code](const char *c) { return code == c; });
}

// The amounts summed over the certification: income, withholding, gross tax.
bool summed(const QByteArray &code)
{
    static const char *const codes[] = {"DB001001", "DB001002", "DB001003", "DB001004",
                                        "DB001005", "DB001021", "DB001361"};
    return std::any_of(std::begin(codes), std::end(codes), [&code](const char *c) { return code == c; });
}

constexpr int FirstSlot = TVelSupplyCheck::FirstSlot;
constexpr int SlotCount = TVelSupplyCheck::SlotCount;
constexpr int SlotWidth = TVelSupplyCheck::SlotWidth;

} // namespace

void TVelSupplyMeaningCheck::ruleSlot(TVelSupplyCheckFile &info, int number, const QByteArray &rec, int pos, const QByteArray &code,
                               const QByteArray &value, bool isAmount)
{
    const char type = rec.at(0);
    const QByteArray v = value.trimmed();
    const int valueAt = pos + 8;
    if (kept(code) && !info.values.contains(code))
        info.values.insert(code, {v, number, valueAt});
    if (type == 'D' && code == "DA002002" && info.surname.isEmpty())
        info.surname = value;
    if (type == 'D' && code == "DA002003" && info.firstName.isEmpty())
        info.firstName = value;
    // the agent's data, repeated in every D record, is said once a file
    if (code.startsWith("DA001")) {
        const QByteArray said = code + '=' + v;
        if (info.saidOnce.contains(said))
            return;
        info.saidOnce.insert(said);
    }

    // one value alone, as the rule table gives it (the tax codes' check
    // letter is the layout's own check)
    for (const VelSupplyRules::Rule *r : VelSupplyRules::forCode(QString::fromLatin1(code))) {
        if (qstrcmp(r->id, "codice-fiscale") == 0)
            continue;
        if (const QString why = r->check(QString::fromLatin1(v)); !why.isEmpty())
            finding(info, number, valueAt, value, s("campo %1: ").arg(QLatin1String(code)) + why, r->id, type, code);
    }
    if (isAmount) {
        const qint64 c = cents(v);
        if (const QString why = VelSupplyRules::amountCents(c); !why.isEmpty())
            finding(info, number, valueAt, value, s("campo %1: ").arg(QLatin1String(code)) + why, "importo-negativo",
                    type, code);
        if (type == 'G' && summed(code))
            info.amounts[code] += c;
    }
    const int year = Campagna::AnnoFinanziario;
    QString why;
    const char *rule = nullptr;
    if (code == "DA002005") {
        why = VelSupplyRules::birthDate(dateOf(v), QDate::currentDate());
        rule = "data-nascita";
    } else if (code == "DB001008") {
        why = VelSupplyRules::relationshipStart(dateOf(v), year);
        rule = "inizio-rapporto";
    } else if (code == "DB001006" || code == "DB001007") {
        why = VelSupplyRules::days(v.toInt(), year);
        rule = "giorni";
    } else if (code.startsWith("DB6") && code.endsWith("002")) {
        why = VelSupplyRules::dependantCode(QString::fromLatin1(v), QString::fromLatin1(at(rec, 26, 41)));
        rule = "familiare-codice";
    }
    if (!why.isEmpty())
        finding(info, number, valueAt, value, s("campo %1: ").arg(QLatin1String(code)) + why, rule, type, code);
}

void TVelSupplyMeaningCheck::ruleAB(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    // who supplies: the agent itself ("01") or an intermediary ("10")
    const QByteArray supplier = info.supplier.trimmed();
    const QByteArray agent = at(rec, 2, 17).trimmed();
    const QByteArray company = at(rec, 373, 383).trimmed();
    const QByteArray intermediary = at(rec, 412, 427);
    const bool hasIntermediary = !blank(intermediary);
    if (info.aSeen && !supplier.isEmpty() && !agent.isEmpty()) {
        const bool agentItself = supplier == agent || (!zeros(company) && supplier == company);
        if (info.supplierType == "01" && !agentItself)
            finding(info, 1, 21, info.supplierType,
                    s("tipo di fornitore \"01\" (il sostituto stesso) ma il fornitore %1 non è il sostituto %2: un "
                      "intermediario ha il tipo \"10\"")
                        .arg(QString::fromLatin1(supplier), QString::fromLatin1(agent)),
                    "fornitore-sostituto", 'A', QByteArray());
        else if (info.supplierType == "10" && agentItself)
            finding(info, 1, 21, info.supplierType,
                    s("tipo di fornitore \"10\" (un intermediario) ma il fornitore è il sostituto stesso: tipo \"01\""),
                    "fornitore-sostituto", 'A', QByteArray());
        else if (info.supplierType == "10" && !hasIntermediary)
            finding(info, number, 412, intermediary,
                    s("la fornitura è di un intermediario (tipo \"10\") ma il record B non ne ha il codice fiscale"),
                    "intermediario", 'B', QByteArray());
    }
    // an intermediary's commitment, its date and signature
    const char commitment = rec.at(427);
    const QByteArray date = at(rec, 429, 436);
    const bool dated = !blank(date) && !zeros(date);
    if (hasIntermediary) {
        if (commitment != '1' && commitment != '2')
            finding(info, number, 428, QByteArray(1, commitment),
                    s("intermediario senza l'impegno a trasmettere (\"1\" o \"2\")"), "intermediario", 'B', QByteArray());
        if (!dated)
            finding(info, number, 429, date, s("intermediario senza la data dell'impegno a trasmettere"),
                    "intermediario", 'B', QByteArray());
        if (rec.at(436) != '1')
            finding(info, number, 437, QByteArray(1, rec.at(436)), s("manca la firma dell'intermediario"), "firme", 'B',
                    QByteArray());
    } else {
        if (commitment == '1')
            finding(info, number, 428, "1", s("impegno a trasmettere senza il codice fiscale dell'intermediario"),
                    "intermediario", 'B', QByteArray());
        if (dated)
            finding(info, number, 429, date, s("data dell'impegno senza il codice fiscale dell'intermediario"),
                    "intermediario", 'B', QByteArray());
    }
    if (rec.at(410) != '1')
        finding(info, number, 411, QByteArray(1, rec.at(410)), s("manca la firma della comunicazione"), "firme", 'B',
                QByteArray());
    // the representative's charge
    if (!blank(at(rec, 311, 326))) {
        const QByteArray charge = at(rec, 327, 328);
        const QString why = blank(charge) ? s("manca il codice carica del rappresentante firmatario")
                                          : VelSupplyRules::chargeCode(QString::fromLatin1(charge));
        if (!why.isEmpty())
            finding(info, number, 327, charge, why, "codice-carica", 'B', QByteArray());
    }
}

void TVelSupplyMeaningCheck::ruleRecordOfCertification(TVelSupplyCheckFile &info, int number, const QByteArray &rec)
{
    const char type = rec.at(0);
    const QByteArray moduleText = at(rec, 18, 25);
    bool ok = false;
    const int module = moduleText.toInt(&ok);
    const int last = info.lastModule.value(type, 0);
    if (ok && module > 0 && module != last && module != last + 1)
        finding(info, number, 18, moduleText,
                last == 0 ? s("il primo modulo %1 della certificazione è il numero %2: i moduli cominciano da 1")
                                .arg(QLatin1Char(type))
                                .arg(module)
                          : s("modulo %1 numero %2 dopo il numero %3: i moduli vanno numerati da 1 senza salti")
                                .arg(QLatin1Char(type))
                                .arg(module)
                                .arg(last),
                "moduli", type, QByteArray());
    if (ok)
        info.lastModule[type] = std::max(last, module);

    if (blank(at(rec, FirstSlot, FirstSlot + SlotCount * SlotWidth - 1))) {
        finding(info, number, FirstSlot, QByteArray(),
                s("record %1 senza campi: un record si scrive solo con dei dati").arg(QLatin1Char(type)), "record-vuoto",
                type, QByteArray());
        return;
    }
    // the same record twice, or the fields of a module written again
    const QByteArray content = QByteArray(1, type) + rec.mid(17);
    if (const int earlier = info.recordTexts.value(content); earlier > 0) {
        finding(info, number, 1, QByteArray(1, type),
                s("record %1 uguale al record %2: scritto due volte").arg(QLatin1Char(type)).arg(earlier),
                "record-ripetuto", type, QByteArray());
        return;
    }
    info.recordTexts.insert(content, number);
    for (int i = 0; i < SlotCount; ++i) {
        const int pos = FirstSlot + i * SlotWidth;
        const QByteArray code = rec.mid(pos - 1, 8);
        if (blank(code) || rec.at(pos + 7) == '+')
            continue;
        const QByteArray key = QByteArray(1, type) + moduleText + code;
        const int earlier = info.moduleFields.value(key);
        if (earlier > 0 && earlier != number) {
            finding(info, number, pos, code,
                    s("campo %1 già scritto nel modulo %2 al record %3: il record %4 è scritto due volte")
                        .arg(QLatin1String(code))
                        .arg(module)
                        .arg(earlier)
                        .arg(QLatin1Char(type)),
                    "record-ripetuto", type, code);
            return;
        }
        info.moduleFields.insert(key, number);
    }
}

void TVelSupplyMeaningCheck::ruleCertification(TVelSupplyCheckFile &info)
{
    const QByteArray payee = info.certification.left(16).trimmed();
    const auto value = [&info](const char *code) { return info.values.value(code); };
    const TVelSupplyCheckFile::Slot code = value("DA002001");
    const QString taxCode = QString::fromLatin1(code.value.isEmpty() ? payee : code.value);
    const int codeRecord = code.record > 0 ? code.record : info.certificationRecord;
    const int codePosition = code.record > 0 ? code.position : 26;
    if (info.operation != 'A') {
        const QString why = VelSupplyRules::taxCodeAgainstBirth(taxCode, dateOf(value("DA002005").value),
                                                                QString::fromLatin1(value("DA002004").value));
        if (!why.isEmpty())
            finding(info, codeRecord, codePosition, taxCode.toLatin1(), why, "codice-fiscale-nascita", 'D', "DA002001");
        const TVelSupplyCheckFile::Slot province = value("DA002007");
        if (const QString p = VelSupplyRules::birthProvinceAgainstCode(QString::fromLatin1(province.value), taxCode);
            !p.isEmpty())
            finding(info, province.record, province.position, province.value, p, "provincia-nascita-estero", 'D',
                    "DA002007");
    }
    const TVelSupplyCheckFile::Slot withheld = value("DB001021");
    if (withheld.record > 0) {
        const qint64 w = info.amounts.value("DB001021");
        qint64 income = 0;
        for (const char *c : {"DB001001", "DB001002", "DB001003", "DB001004", "DB001005"})
            income += info.amounts.value(c);
        if (const QString why = VelSupplyRules::withholdingAgainstIncome(w, income); !why.isEmpty())
            finding(info, withheld.record, withheld.position, withheld.value, why, "ritenute-reddito", 'G', "DB001021");
        if (info.amounts.contains("DB001361"))
            if (const QString why = VelSupplyRules::withholdingAgainstGrossTax(w, info.amounts.value("DB001361"));
                !why.isEmpty())
                finding(info, withheld.record, withheld.position, withheld.value, why, "ritenute-imposta-lorda", 'G',
                        "DB001021");
    }

    // every finding of the certification names its payee
    const QString who = VelSupplyRules::payeeText(QString::fromLatin1(info.surname), QString::fromLatin1(info.firstName),
                                                  QString::fromLatin1(payee));
    m_findings.namePayee(info.name, info.certificationRecord, info.certificationLast, who, QString::fromLatin1(payee));
    info.values.clear();
    info.surname.clear();
    info.firstName.clear();
    info.amounts.clear();
    info.lastModule.clear();
    info.moduleFields.clear();
    info.recordTexts.clear();
}

void TVelSupplyMeaningCheck::finding(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                                     const QString &message, const char *rule, char type, const QByteArray &code)
{
    m_findings.finding(info, record, position, value, message, rule, type, code);
}
