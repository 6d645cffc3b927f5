#pragma once
// The CU store of the tests: program "vel", one financial year, every month,
// no wait window, on a connection the test owns.
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/store/torUDBCds.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QVariant>

#include <memory>

namespace TestStore {

inline std::unique_ptr<TTorDBCds> open(TOvSQLConnection *db, int year = 2025)
{
    auto store = std::make_unique<TTorDBCds>();
    store->setConnection(db);
    store->setProgram(QStringLiteral("vel"));
    store->setYear(year);
    store->setMonth(TTorDBCds::AllMonths);
    store->setShowWait(false);
    return store;
}

// An amount as the store holds it, from its text ("1200.50").
inline QVariant money(const char *text)
{
    return QVariant::fromValue(Currency::parse(QString::fromLatin1(text)).value());
}

// Rows appended to a structure of the store, each a list of field values.
using Values = QList<QPair<const char *, QVariant>>;

inline void put(TTorDBCds &store, const char *structure, const QList<Values> &rows)
{
    TClientDataSet ds;
    store.Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
    for (const Values &row : rows) {
        ds.append();
        for (const auto &[name, value] : row)
            ds.fieldByName(QLatin1String(name)).setValue(value);
        ds.post();
    }
    store.Save(ds, QLatin1String(structure), TTorDBCds::AllMonths);
}

// The value of one field of every row of a structure, by the value of another.
inline QMap<QString, QString> valuesBy(TTorDBCds &store, const char *structure, const char *key, const char *value)
{
    TClientDataSet ds;
    store.Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
    QMap<QString, QString> out;
    for (ds.first(); !ds.eof(); ds.next())
        out.insert(ds.fieldByName(QLatin1String(key)).asString(), ds.fieldByName(QLatin1String(value)).asString());
    return out;
}

// The tax codes of the CUs the store holds printed (iCudStato = 1).
inline QSet<QString> lockedCodes(TTorDBCds &store)
{
    QSet<QString> out;
    const QMap<QString, QString> states = valuesBy(store, "TCUD_DATICUD", "SCUDCODFIS", "iCudStato");
    for (auto it = states.cbegin(); it != states.cend(); ++it)
        if (it.value() == QLatin1String("1"))
            out.insert(it.key());
    return out;
}

} // namespace TestStore
