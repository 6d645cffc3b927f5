#pragma once
// The fault sweeps: the Nth statement a connection runs (BEGIN and COMMIT
// included) is refused through the connection's fault seam, on a fresh copy
// of one prepared store for every N, on the engine of the run; afterwards
// the CUs of the store are compared, in text, with the CUs before and after.
//
//   StoreFaults::Copies copies([](TOvSQLConnection &c) { ...CUs imported... });
//   for (qint64 n : StoreFaults::points(reference, budget)) {
//       auto db = copies.fresh();
//       StoreFaults::Fault f(*db, n);
//       ...the operation...
//   }
#include "platform/db/OvSQLConnection.h"
#include "tor/store/torUDBCds.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace StoreFaults {

// Counts the statements of a connection and refuses the `failAt`-th (from
// 1; none when -1) and only that one. Removed when destroyed.
class Fault
{
public:
    explicit Fault(TOvSQLConnection &c, qint64 failAt = -1);
    ~Fault();
    Fault(const Fault &) = delete;
    Fault &operator=(const Fault &) = delete;

    // Taken off the connection before the checks read the store.
    void remove();
    qint64 count() const { return m_count; }
    bool fired() const { return m_fired; }
    // The text of every statement counted, in order (empty for a statement
    // run without its text at hand).
    const QStringList &texts() const { return m_texts; }

private:
    TOvSQLConnection *m_c;
    qint64 m_failAt;
    qint64 m_count = 0;
    bool m_fired = false;
    QStringList m_texts;
};

// The points to try over a run of `texts` (a reference run's statements):
// the first statement of every kind (its text), and as many more as `budget`
// allows spread evenly over the run, in order.
QList<qint64> points(const QStringList &texts, int budget);

// The store as `prepare` leaves it on the demo school with the structures of
// the store, prepared once, and a fresh copy of it for every point:
//   SQLite      a copy of the file;
//   PostgreSQL  a database of the test server made with it as template.
class Copies
{
public:
    explicit Copies(const std::function<void(TOvSQLConnection &)> &prepare);
    ~Copies();
    Copies(const Copies &) = delete;
    Copies &operator=(const Copies &) = delete;

    // A connection to a new copy; the connection of the copy before must
    // be gone.
    std::unique_ptr<TOvSQLConnection> fresh();

private:
    QString m_source;   // SQLite: the file; PostgreSQL: the database
    QString m_work;
    TOvDbConfig m_config;
};

// Time spent making copies so far, in milliseconds.
extern qint64 copyMs;

// "ok", or what SQLite's integrity check found (always "ok" on a server,
// which checks its own).
QString integrity(TOvSQLConnection &c);

// Every CU of the store as "TAXCODE/month" -> its main record and section
// rows in text, without the store's keys, the day of the import and a CU's
// version: what a CU is, whoever wrote it when.
QMap<QString, QString> cus(TTorDBCds &store);

// The keys of the CUs whose main record has `field` = `value`.
QStringList cusWhere(TTorDBCds &store, const char *field, const QString &value);

} // namespace StoreFaults
