#include "VelSupplyFindings.h"
#include "VelSupplyCheckFile.h"
#include "VelSupplyRules.h"

namespace {

// A value as it is shown in a message: bytes outside printable ASCII as
// \xNN, long values cut.
QString shown(const QByteArray &v)
{
    QString out;
    for (const char c : v) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        if (out.size() > 60) {
            out += QStringLiteral("...");
            break;
        }
    }
    return out;
}

} // namespace

void TVelSupplyFindings::problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                                 const QString &message)
{
    problem(info.name, record, position, value.isNull() ? QString() : shown(value), message);
    // where the office corrects a value of the record being read: by its
    // type, and in the key-value area by the field's code
    if (m_record && record == m_recordNumber && record > 0 && !m_record->isEmpty() && m_record->at(0) != 'Z') {
        constexpr int first = TVelSupplyCheck::FirstSlot, width = TVelSupplyCheck::SlotWidth;
        QByteArray code;
        if (position >= first && position < first + TVelSupplyCheck::SlotCount * width)
            code = m_record->mid(first - 1 + (position - first) / width * width, 8);
        m_problems.last().where = VelSupplyRules::whereToCorrect(m_record->at(0), code);
    }
}

void TVelSupplyFindings::problem(const QString &file, int record, int position, const QString &value,
                                 const QString &message)
{
    TVelSupplyProblem p;
    p.file = file;
    p.record = record;
    p.position = position;
    p.value = value;
    p.message = message;
    m_problems.append(p);
}

void TVelSupplyFindings::finding(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                                 const QString &message, const char *rule, char type, const QByteArray &code)
{
    problem(info, record, position, value, message);
    TVelSupplyProblem &p = m_problems.last();
    const VelSupplyRules::Rule &r = VelSupplyRules::rule(rule);
    p.rule = QString::fromLatin1(r.id);
    p.warning = r.level == VelSupplyRules::Level::Warning;
    p.where = VelSupplyRules::whereToCorrect(type, code);
}

void TVelSupplyFindings::namePayee(const QString &file, int first, int last, const QString &who, const QString &code)
{
    for (qsizetype i = m_problems.size() - 1; i >= 0; --i) {
        TVelSupplyProblem &p = m_problems[i];
        if (p.file != file || p.record < first)
            break;
        if (p.record <= last && p.payee.isEmpty()) {
            p.payee = who;
            p.payeeCode = code;
        }
    }
}
