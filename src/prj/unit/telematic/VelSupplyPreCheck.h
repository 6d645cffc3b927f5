#pragma once
// What the supply's pre-check reads in the visited certifications (rows of
// cdsDip, 1-based) before anything is generated: what refuses the supply
// whatever the office answers (a tax code in two certifications, a value the
// file's check would refuse), and the report of the mandatory fields and of
// the values the office confirms (a tax code against the birth date), kept
// as "<rule>|<tax code>" so that the file's check does not say them again.
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class TClientDataSet;
class VelFileWorkspace;

class TVelSupplyPreCheck
{
public:
    using MandatoryCheck = std::function<bool(QStringList &problems, const QList<TClientDataSet *> &datasets)>;

    explicit TVelSupplyPreCheck(VelFileWorkspace &ws) : m_ws(ws) {}

    // The lines refusing a supply in which a tax code has more than one of
    // the visited certifications; empty when every tax code appears once.
    QStringList repeatedTaxCodes(const QList<int> &rows);
    // The lines refusing a supply whose file the check would refuse; empty
    // when there is none.
    QStringList unsendableFields(const QList<int> &rows);
    // The report lines of the mandatory fields (`mandatory` on each
    // certification and its first dependants' row) and of the warnings to
    // confirm, which are kept; empty when nothing is missing.
    QStringList report(const QList<int> &rows, const MandatoryCheck &mandatory);

    // The warnings the last pre-check put to the office.
    const QSet<QString> &confirmable() const { return m_confirmable; }
    void clear() { m_confirmable.clear(); }

private:
    TClientDataSet &dip();

    VelFileWorkspace &m_ws;
    QSet<QString> m_confirmable; // "<rule>|<tax code>"
};
