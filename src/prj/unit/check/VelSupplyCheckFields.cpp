#include "src/prj/unit/check/VelSupplyCheckFields.h"

#include "src/prj/unit/check/VelSupplyCheck.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <optional>

namespace VelSupplyFields {

namespace {

// The boxes of the CU model by section, as "CODE[-LAST] KIND[MAX][/KIND[MAX]]".
// DB001801-805 are both the third child's allowance (tax codes and months)
// and the first boxes of the severance (amounts).
const char *const kBoxes = R"(
AU001001 A; AU001002 Y; AU001003 B; AU001004-005 V; AU001006 N; AU001007-020 V; AU001022 V;
AU001029 F; AU001030-033 A; AU001034-035 V; AU001036 B; AU001037-042 V; AU001052 F; AU001053-062 V;
AU001071-073 F; AU001101 F; AU001102-104 V; AU001105 F; AU001106-108 V; AU001131-138 V; DA002001 F;
DA002002-004 A; DA002005 D; DA002006 A; DA002007 P; DA002008 A; DA002009-010 N; DA002011 A;
DA002020 A; DA002021 P; DA002022 A; DA002024 A; DA002025 P; DA002026 A; DA002030 F; DA002040-041 A;
DA002042 B; DA002043 A; DA002044 B; DA002045 N; DA002046 B; DB001001-005 V; DB001006-007 N366;
DB001008-009 D; DB001010 B; DB001011 N; DB001012-013 V; DB001021-036 V; DB001051 A; DB001052 B;
DB001054-055 N; DB001061-064 V; DB001071-074 V; DB001075 N; DB001081-084 V; DB001085 A;
DB001091-094 V; DB001101-102 V; DB001111-112 V; DB001121-122 V; DB001123 B; DB001124 V; DB001125 A;
DB001126-127 V; DB001128 B; DB001131-133 V; DB001141-143 V; DB001151-153 V; DB001161-166 V;
DB001261-264 V; DB001271-274 V; DB001275 N; DB001281-284 V; DB001285 A; DB001291-294 V;
DB001301-302 V; DB001311-312 V; DB001321-322 V; DB001323 B; DB001324 V; DB001325 A; DB001326-327 V;
DB001328 B; DB001331-333 V; DB001341 N; DB001342 V; DB001343 N; DB001344 V; DB001345 N; DB001346 V;
DB001347 N; DB001348 V; DB001349 N; DB001350 V; DB001351 N; DB001352 V; DB001361-362 V;
DB001367-376 V; DB001377 N; DB001378 Y; DB001379-385 V; DB001390 N; DB001391-395 V; DB001397 N;
DB001398-400 V; DB001403 F; DB001411 N; DB001412-413 V; DB001415 D; DB001416-419 V; DB001420 N;
DB001421-423 V; DB001424-427 F; DB001431 V; DB001432 A; DB001433 V; DB001434 A; DB001435 V;
DB001436 A; DB001437-442 V; DB001443 F; DB001444 B; DB001449 V; DB001451-457 V; DB001458 N366;
DB001459 V; DB001461 N366; DB001462 N; DB001463 V; DB001464 N; DB001465 V; DB001466 Y;
DB001467-471 V; DB001472 B; DB001473 A; DB001474-483 V; DB001484 A; DB001485 V; DB001486 A;
DB001487-488 V; DB001489 Q; DB001490-491 V; DB001492 N366; DB001493-494 D; DB001495 F;
DB001496-501 V; DB001511-516 V; DB001519 Y; DB001520-524 V; DB001525 Y; DB001526 F; DB001531-536 V;
DB001537 F; DB001538 A; DB001539-552 V; DB001553 N; DB001554 V; DB001555 N; DB001556-560 V;
DB001561 N366; DB001562-563 D; DB001564 B; DB001565-570 V; DB001571 N; DB001572-582 V; DB001591 N;
DB001592-602 V; DB001611-612 V; DB001613 F; DB001614 N; DB001615-620 V; DB001631-632 V;
DB001651-657 V; DB001658 F; DB001659-663 V; DB001671-676 V; DB001681 F; DB001682-683 B; DB001701 Y;
DB001702 N; DB001703 A; DB001704 V; DB001705 F; DB001706 B; DB001707 F; DB001708 Y; DB001709 N;
DB001710 A; DB001711 V; DB001712 F; DB001713 B; DB001718 N; DB001719-720 V; DB001721 N366;
DB001722-723 D; DB001724 N; DB001725-728 V; DB001731 N; DB001732-733 V; DB001734 N366;
DB001735-736 D; DB001737 N; DB001738-740 V; DB001741 F; DB001751 N; DB001752 V; DB001753 N;
DB001754 V; DB001755 N; DB001756 V; DB001761-767 V; DB001771-776 V; DB001781-786 V; DB001787 N366;
DB001788-789 D; DB001790 B; DB001791-792 F; DB001793-794 N12; DB001795-797 F; DB001798-799 N12;
DB001800 F; DB001801-802 V/F; DB001803-804 V/N12; DB001805 V/F; DB001806-813 V; DB001814-815 D;
DB001816 V; DB001817 N366; DB001818 B; DB001819 F; DB001820-822 Q; DB001823 A; DB001824 V;
DB001825 A; DB001826-827 N; DB001828 V; DB001829 Y; DB001830 V; DB001831 A; DB001832 V; DB001833 Y;
DB001834 F; DB001835-837 Q; DB001838-840 V; DB001841 A; DB001842-843 N; DB001844 V; DB001845 Y;
DB001846-849 V; DB001850 A; DB001851 V; DB001852 Y; DB001853 F; DB001854-855 B; DB001856 F;
DB001857-859 Q; DB001860-862 V; DB001863 A; DB001864-865 N; DB001866 V; DB001867 Y; DB001868-869 V;
DB001870 A; DB001871 V; DB001872 Y; DB001873 F; DB001874 A; DB001875 Q; DB001876 V; DB001877 A;
DB001878 V; DB001879 Y; DB001880 F; DB001881 A; DB001882 V; DB001883 Q; DB001884 V; DB001885 A;
DB001886 V; DB001887 Y; DB001888 V; DB001889 B; DB001890-894 V; DB001895 B; DB001896-906 V;
DB001907 Y; DB001908-911 V; DB001912 A; DB001913-914 V; DB001915-916 F; DB001917 V; DB001920 V;
DC001001 A; DC001002-003 B; DC001004-006 V; DC001007-008 B; DC001009 F; DC001010 A; DC001011 B;
DC001012-016 N; DC001017 Y; DC001018-036 V; DC001037-038 B; DC001039 F; DC001040 B; DC001041 F;
DC001042 V; DC001043 F; DC001044 B; DC001045-048 V; DC001049-050 B; DC001051 A; DC001052 F;
DC001053-060 V; DC001061-062 B; DC001063-064 A; DC001065-070 V; DC001071-073 B; DC001074 A;
DC001075 F; DC001076-077 N; DC001078 V; DC001079 F; DC001080-082 A; DC001083-086 V; DC001087 B;
DC001088 V; DC001091-092 A; DC001093-094 D; DC001095 A; DC001096 B;
)";

// Codes that are not a box of the payee's pages, and the boxes whose value is
// of a kind the model's caption does not say.
const char *const kOthers = R"(
DA001001 F; DA001002-004 A; DA001005 P; DA001006 N; DA001007 A; DA001008 E; DA001009 A; DA001010-011 N;
DA001012 F; DA002004 S; DA002023 A; DA002027 A; DA003001 D; DA003002 B;
DB601001 B; DB601002 F; DB601003 N12; DB601009 Y;
DB602001 L; DB602002 F; DB602003-004 N12; DB602005-006 B; DB602007 C; DB602008 N12; DB602009 Y; DB602010 N12;
DB603001 L; DB603002 F; DB603003-004 N12; DB603005 B; DB603007 T; DB603008 N12; DB603009 Y; DB603010 N12;
DC001008 M; DC001038 M; DC001040 M; DC001044 M; DC001050 M; DC001062 M; DC001072 M; DC001076-077 R;
DC001013 A; DB001826 N;
CT001001-002 B; CT001003 A; CT001004 E; CT001005 A; CT001006 F; CT001007 A; CT001008 E; CT001009 A;
CT001010 B;
)";

Field parseKind(const QByteArray &text)
{
    Field f;
    const QList<QByteArray> parts = text.split('/');
    f.kind = Kind(parts.at(0).at(0));
    f.max = parts.at(0).mid(1).toInt();
    if (parts.size() > 1) {
        f.hasAlternative = true;
        f.alternative = Kind(parts.at(1).at(0));
        f.alternativeMax = parts.at(1).mid(1).toInt();
    }
    return f;
}

const QHash<QByteArray, Field> &table()
{
    static const QHash<QByteArray, Field> codes = [] {
        QHash<QByteArray, Field> h;
        for (const char *source : {kBoxes, kOthers}) {
            for (QByteArray entry : QByteArray(source).split(';')) {
                entry = entry.simplified();
                if (entry.isEmpty())
                    continue;
                const QList<QByteArray> parts = entry.split(' ');
                const QByteArray code = parts.at(0);
                const QByteArray prefix = code.left(5);
                const int first = code.mid(5, 3).toInt();
                const int last = code.size() > 8 ? code.mid(9, 3).toInt() : first;
                const Field f = parseKind(parts.at(1));
                for (int box = first; box <= last; ++box)
                    h.insert(prefix + QByteArray::number(box).rightJustified(3, '0'), f);
            }
        }
        return h;
    }();
    return codes;
}

bool digits(const QByteArray &v)
{
    return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool leftKind(Kind k)
{
    switch (k) {
    case Kind::Text:
    case Kind::TaxCode:
    case Kind::Province:
    case Kind::Sex:
    case Kind::Relation:
    case Kind::Months:
    case Kind::MonthYear:
    case Kind::Phone:
        return true;
    default:
        return false;
    }
}

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// An amount as the layout writes it, "-?digits,dd", in cents; nothing for any
// other text. Digits beyond what a 64-bit count holds give 0, as a number
// too long to read did before.
std::optional<qint64> amountCents(const QByteArray &v)
{
    const bool negative = v.startsWith('-');
    const qsizetype i = negative ? 1 : 0;
    const qsizetype comma = v.size() - 3;
    if (comma <= i || v.at(comma) != ',')
        return std::nullopt;
    // read in place, digit by digit (no copy of the value for each amount);
    // a count of digits that could overflow goes the way of the text, which
    // reads it as zero
    quint64 cents = 0;
    for (qsizetype k = i; k < v.size(); ++k) {
        if (k == comma)
            continue;
        const char c = v.at(k);
        if (c < '0' || c > '9')
            return std::nullopt;
        cents = cents * 10 + quint64(c - '0');
    }
    if (v.size() - i - 1 > 18) {
        QByteArray plain = v;
        return plain.remove(comma, 1).toLongLong();
    }
    return negative ? -qint64(cents) : qint64(cents);
}

// The problem of a trimmed value of one kind; empty when it suits.
QString kindProblem(Kind kind, int max, const QByteArray &v)
{
    switch (kind) {
    case Kind::Text:
        return QString();
    case Kind::TaxCode:
        return TVelSupplyCheck::validTaxCode(QString::fromLatin1(v)) ? QString() : s("codice fiscale non valido");
    case Kind::Number:
        if (!digits(v))
            return s("non è un numero intero (solo cifre)");
        if (max > 0 && v.toLongLong() == 0)
            return s("valore zero: un campo a zero non si scrive");
        if (max > 0 && v.toLongLong() > max)
            return s("valore oltre %1").arg(max);
        return QString();
    case Kind::Amount:
    case Kind::Percent: {
        const std::optional<qint64> cents = amountCents(v);
        if (!cents)
            return s("importo non nel formato del tracciato (cifre, virgola e due decimali)");
        if (*cents == 0)
            return s("importo zero: un campo a zero non si scrive");
        if (kind == Kind::Percent && (*cents < 0 || *cents > 10000))
            return s("percentuale fuori da 0-100");
        return QString();
    }
    case Kind::PercentOrC:
        return v == "C" ? QString() : kindProblem(Kind::Percent, 0, v);
    case Kind::Date:
        return TVelSupplyCheck::validDate(v) ? QString() : s("data non valida (ggmmaaaa)");
    case Kind::Year:
        return digits(v) && v.size() == 4 && v.toInt() >= 1900 && v.toInt() <= 2100 ? QString()
                                                                                      : s("anno non valido (aaaa)");
    case Kind::Box:
        return v == "1" ? QString() : s("casella con valore diverso da \"1\"");
    case Kind::Province:
        return v.size() == 2 && std::all_of(v.begin(), v.end(), [](char c) { return c >= 'A' && c <= 'Z'; })
                   ? QString()
                   : s("sigla della provincia non valida (due lettere, \"EE\" per uno Stato estero)");
    case Kind::Sex:
        return v == "M" || v == "F" ? QString() : s("sesso diverso da \"M\" e \"F\"");
    case Kind::Relation:
        return v.size() == 1 && QByteArray("FDAGP").contains(v) ? QString()
                                                                 : s("relazione di parentela non valida");
    case Kind::Months:
        return v.size() == 12 && std::all_of(v.begin(), v.end(), [](char c) { return c == '0' || c == '1'; })
                       && v.contains('1')
                   ? QString()
                   : s("mesi non validi (dodici caratteri \"0\" o \"1\", almeno un \"1\")");
    case Kind::YearsMonths:
        return digits(v) && v.size() <= 4 && v.right(2).toInt() <= 11 && v.toInt() > 0
                   ? QString()
                   : s("periodo non valido (anni e mesi su due cifre, mesi da 0 a 11)");
    case Kind::MonthYear:
        return digits(v) && v.size() == 6 && v.left(2).toInt() >= 1 && v.left(2).toInt() <= 12
                   ? QString()
                   : s("mese e anno non validi (mmaaaa)");
    case Kind::Phone:
        return digits(v) ? QString() : s("il numero di telefono contiene caratteri diversi dalle cifre");
    }
    return QString();
}

} // namespace

const Field *field(const QByteArray &code)
{
    QByteArray key = code;
    // the dependants after the first child share one description
    if (code.startsWith("DB6") && code.size() == 8 && code.mid(3, 2).toInt() >= 3)
        key = "DB603" + code.mid(5);
    const auto it = table().constFind(key);
    return it == table().constEnd() ? nullptr : &it.value();
}

QString valueProblem(const QByteArray &code, const QByteArray &value)
{
    const Field *f = field(code);
    if (!f)
        return s("codice di campo che il tracciato non prevede");
    return valueProblem(*f, value);
}

QString valueProblem(const Field &field, const QByteArray &value)
{
    const Field *f = &field;
    const QByteArray v = value.trimmed();
    auto one = [&](Kind kind, int max) -> QString {
        const bool left = leftKind(kind) || (kind == Kind::PercentOrC && v == "C");
        if (left && value.startsWith(' '))
            return s("valore non allineato a sinistra");
        if (!left && value.endsWith(' '))
            return s("valore non allineato a destra");
        return kindProblem(kind, max, v);
    };
    const QString first = one(f->kind, f->max);
    if (first.isEmpty() || !f->hasAlternative)
        return first;
    return one(f->alternative, f->alternativeMax).isEmpty() ? QString() : first;
}

qsizetype firstRefusedByte(QByteArrayView bytes)
{
    // byteProblem for every byte value, once
    static const std::array<bool, 256> refused = [] {
        std::array<bool, 256> r{};
        for (int c = 0; c < 256; ++c)
            r[size_t(c)] = !byteProblem(static_cast<unsigned char>(c)).isEmpty();
        return r;
    }();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (refused[static_cast<unsigned char>(bytes[i])])
            return i;
    return -1;
}

QString byteProblem(unsigned char c)
{
    if (c < 0x20 || c == 0x7f)
        return s("carattere di controllo nel record");
    if ((c >= 'a' && c <= 'z') || (c >= 0xdf && c != 0xf7) || c == 0x9a || c == 0x9c || c == 0x9e)
        return s("lettera minuscola: nomi e testi vanno in maiuscolo");
    if (c == '`' || (c >= 0x80 && c <= 0xbf && c != 0x8a && c != 0x8c && c != 0x8e && c != 0x9f) || c == 0xd7
        || c == 0xf7)
        return s("carattere non ammesso dal tracciato");
    return QString();
}

} // namespace VelSupplyFields
