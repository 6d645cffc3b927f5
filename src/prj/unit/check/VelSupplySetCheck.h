#pragma once
// The supply checker's rules on the files read together: one certification
// per payee and withholding agent whatever the files; and per supply (the
// files of one supplier, agent and supply code) the numbering of its parts,
// record B alike in every file, no certification split between two files nor
// a progressive used for two payees, and record B's count of the
// certifications.
#include <QByteArray>
#include <QList>
#include <QString>

class TVelSupplyFindings;
struct TVelSupplyCheckFile;

class TVelSupplySetCheck
{
public:
    explicit TVelSupplySetCheck(TVelSupplyFindings &findings) : m_findings(findings) {}

    // Checks the files read together (one that could not be read as a supply
    // takes no part); the certifications of all the supplies found.
    int check(QList<TVelSupplyCheckFile> &files);

private:
    void checkOneCertificationPerPayee(const QList<TVelSupplyCheckFile> &files);
    void checkNumbering(const QList<TVelSupplyCheckFile *> &parts);
    void checkSameRecordB(const QList<TVelSupplyCheckFile *> &parts);
    int checkCertifications(const QList<TVelSupplyCheckFile *> &parts);
    void checkCertificationCount(const QList<TVelSupplyCheckFile *> &parts, int certifications);
    void problem(const TVelSupplyCheckFile &info, int record, int position, const QByteArray &value,
                 const QString &message);
    void problem(const QString &file, int record, int position, const QString &value, const QString &message);

    TVelSupplyFindings &m_findings;
};
