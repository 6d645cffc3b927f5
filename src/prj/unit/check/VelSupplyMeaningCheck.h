#pragma once
// What the values of a supply mean, beyond the layout's shape, as the rules
// of VelSupplyRules read them in the file: one field at a time while a record
// is read, records A and B together, the records of a certification (their
// modules, nothing written twice) and, at its end, the rules between its
// values. Its findings carry the rule's id and level and name the
// certification's payee.
#include <QByteArray>

class TVelSupplyFindings;
struct TVelSupplyCheckFile;

class TVelSupplyMeaningCheck
{
public:
    explicit TVelSupplyMeaningCheck(TVelSupplyFindings &findings) : m_findings(findings) {}

    // The rules on one field of a record's key-value area (its code at `pos`,
    // its value as found), and the values the rules between fields read,
    // kept for the end of the certification.
    void ruleSlot(TVelSupplyCheckFile &info, int number, const QByteArray &rec, int pos, const QByteArray &code,
                  const QByteArray &value, bool isAmount);
    // The rules of records A and B (record B being `rec`).
    void ruleAB(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    // A G or H record of the current certification: its module, and nothing written twice.
    void ruleRecordOfCertification(TVelSupplyCheckFile &info, int number, const QByteArray &rec);
    // The certification ended: the rules between its values, its payee named
    // on its findings, what was kept of it cleared.
    void ruleCertification(TVelSupplyCheckFile &info);

private:
    void finding(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                 const QString &message, const char *rule, char type, const QByteArray &code);

    TVelSupplyFindings &m_findings;
};
