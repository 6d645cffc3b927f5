#pragma once
// A supply made here by hand, record by record: 1,897-byte records with their
// fields put at their positions, and a sound supply (the Quadro CT, ROSSI with
// tax data, dependants and INPS, BIANCHI self-employed) for the checker's
// tests to spoil one fault at a time.
#include <QByteArray>
#include <QList>
#include <QPair>

namespace SupplyRecords {

const QByteArray kSupplier = "80012345676";
const QByteArray kAgent = "80012345676";
const QByteArray kProducer = "01234567897";
const QByteArray kRossi = "RSSMRA80A01H501U";
const QByteArray kBianchi = "BNCMRA82A41H501G";
const QByteArray kSpouse = "VRDLCU85A41H501P";
const QByteArray kChild = "RSSLCU10A01H501R";

// A record of 1,897 blanks with fields put at 1-based positions.
struct Rec
{
    QByteArray b = QByteArray(1897, ' ');
    Rec &put(int pos, const QByteArray &v)
    {
        b.replace(pos - 1, v.size(), v);
        return *this;
    }
    Rec &slot(int index, const QByteArray &code, const QByteArray &value)
    {
        return put(90 + index * 24, code.leftJustified(8, ' ') + value.leftJustified(16, ' ', true));
    }
    QByteArray line() const { return b + "A\r\n"; }
};

inline QByteArray num(qint64 n, int width)
{
    return QByteArray::number(n).rightJustified(width, '0');
}

inline Rec recA(int part = 0, int parts = 0)
{
    Rec r;
    r.put(1, "A").put(16, "CUR26").put(21, "01").put(23, kSupplier).put(522, num(part, 4)).put(526, num(parts, 4));
    return r;
}

inline Rec recB(int certifications, char quadroCt = '1')
{
    Rec r;
    r.put(1, "B").put(2, kAgent).put(18, "00000001").put(74, kProducer).put(91, "00").put(137, "ISTITUTO DANTE");
    r.put(309, "00").put(402, num(certifications, 8)).put(410, QByteArray(1, quadroCt)).put(411, "1");
    return r;
}

inline Rec body(char type, const QByteArray &payee, int progressive)
{
    Rec r;
    r.put(1, QByteArray(1, type)).put(2, kAgent).put(18, "00000001").put(26, payee).put(42, num(progressive, 5));
    r.put(47, QByteArray(17, '0')).put(64, QByteArray(6, '0'));
    return r;
}

// A value right-aligned in its 16 characters (numbers, amounts, dates).
inline QByteArray right(const QByteArray &v)
{
    return v.rightJustified(16, ' ');
}

inline Rec withSlots(Rec r, const QList<QPair<QByteArray, QByteArray>> &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i)
        r.slot(int(i), fields[i].first, fields[i].second);
    return r;
}

inline Rec recC()
{
    return withSlots(body('C', QByteArray(16, ' '), 0),
                     {{"CT001004", "3331234567"}, {"CT001005", "SEGRETERIA@SCUOL"}, {"CT001005", "+A.IT"}});
}

inline Rec recD(const QByteArray &payee, int progressive)
{
    // the payee's name, sex and birth date as the tax code has them
    const bool rossi = payee != kBianchi;
    return withSlots(body('D', payee, progressive),
                     {{"DA001001", kAgent}, {"DA001002", "ISTITUTO DANTE"}, {"DA002001", payee},
                      {"DA002002", rossi ? "ROSSI" : "BIANCHI"}, {"DA002003", "MARIO"}, {"DA002004", rossi ? "M" : "F"},
                      {"DA002005", right(rossi ? "01011980" : "01011982")},
                      {"DA002006", "SAN GIOVANNI IN "}, {"DA002006", "+MARIGNANO"}, {"DA002007", "RN"},
                      {"DA003001", right("15022026")}, {"DA003002", right("1")}});
}

inline Rec recG(const QByteArray &payee, int progressive)
{
    return withSlots(body('G', payee, progressive),
                     {{"DB001001", right("25000,50")}, {"DB001006", right("365")}, {"DB001008", right("01092020")},
                      {"DB001021", right("4321,00")}, {"DB601001", right("1")}, {"DB601002", kSpouse},
                      {"DB601003", right("12")}, {"DB603001", "F"}, {"DB603002", kChild}, {"DB603003", right("12")},
                      {"DB603009", right("2015")}, {"DC001001", "7012345678"}, {"DC001004", right("20000,00")},
                      {"DC001008", "000000000011"}});
}

inline Rec recH(const QByteArray &payee, int progressive)
{
    return withSlots(body('H', payee, progressive),
                     {{"AU001001", "A"}, {"AU001002", right("2025")}, {"AU001004", right("1000,00")}});
}

inline Rec recZ(int b, int c, int d, int g, int h)
{
    Rec r;
    r.put(1, "Z").put(16, num(b, 9)).put(25, num(c, 9)).put(34, num(d, 9)).put(43, num(g, 9)).put(52, num(h, 9));
    return r;
}

// A sound supply: the Quadro CT, ROSSI (D G: tax data, dependants, INPS),
// BIANCHI (D H: self-employed).
inline QList<Rec> sound()
{
    return {recA(), recB(2), recC(), recD(kRossi, 1), recG(kRossi, 1), recD(kBianchi, 2), recH(kBianchi, 2),
            recZ(1, 1, 2, 1, 1)};
}

// The record (0-based in sound()) and the 1-based position of a field's value.
inline int valueAt(const Rec &r, const QByteArray &code)
{
    for (int i = 0; i < 75; ++i)
        if (r.b.mid(89 + i * 24, 8) == code)
            return 90 + i * 24 + 8;
    return -1;
}

inline QByteArray join(const QList<Rec> &records)
{
    QByteArray out;
    for (const Rec &r : records)
        out += r.line();
    return out;
}

} // namespace SupplyRecords
