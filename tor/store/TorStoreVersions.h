#pragma once
// The versions of the store's persons as one save moves them on: once a
// transaction per person, over the version a reader named when it named one
// (see TTorDBCds::setExpectedVersions). A save keeps one VersionScope; the
// store keeps which persons its connection's transaction has moved on.
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>

class QSqlQuery;
class TOvSQLConnection;

namespace TorStore {

class VersionScope
{
public:
    struct Bumped
    {
        quint64 serial = 0;
        const TOvSQLConnection *conn = nullptr;
    };
    // Who the person is, for the refusal: tax code and group key.
    using Who = std::function<QPair<QString, QString>()>;

    VersionScope(TOvSQLConnection &c, QHash<qint64, Bumped> &bumped, QHash<qint64, qint64> *expected)
        : m_c(c), m_bumped(bumped), m_expected(expected)
    {
    }

    // A person whose rows the save writes (or deletes). Raises
    // ETorChangedMeanwhile when refused.
    void touch(qint64 afi, bool deleting, const Who &who);
    // A person the save made: version 1, as the table gives it.
    void made(qint64 afi);
    // The versions map as it was before the save (the save failed).
    void undo();

private:
    void remember(qint64 afi, qint64 version);

    static constexpr qint64 NotRead = -2;
    TOvSQLConnection &m_c;
    QHash<qint64, Bumped> &m_bumped;
    QHash<qint64, qint64> *m_expected;
    QSet<qint64> m_made;
    QHash<qint64, qint64> m_before;
};

} // namespace TorStore
