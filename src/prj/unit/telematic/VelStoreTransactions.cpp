#include "src/prj/unit/telematic/VelStoreTransactions.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>

// ---------------------------------------------------------------- annotation rows

namespace VelAnnotationRows {

QString column(int k)
{
    return QStringLiteral("SANN7%1").arg(k + 1, 2, 10, QLatin1Char('0'));
}


Result save(TTorDBCds &store, const QList<Pending> &pending)
{
    Result out;
    if (pending.isEmpty())
        return out;
    TOvSQLConnection *conn = store.connection();
    if (!conn)
        throw EAssertionFailed(QStringLiteral("Archivio fiscale senza connessione al database."));
    TOvSQLConnection &c = *conn;
    TOvTransaction tr(&c);
    const bool own = !c.inTransaction();
    if (own)
        tr.StartTransaction();

    // The CU structure's row first, as the import of every employee takes it:
    // no CU is replaced between the check below and the commit, and the two
    // never wait for each other in a circle.
    const VelCuRepository repo(store);
    repo.takeCuLock();

    QList<qint64> ids;
    for (const Pending &p : pending)
        if (!ids.contains(p.person))
            ids << p.person;
    const TTorVersions now = repo.versionsOf(ids);
    QSet<qint64> replace;
    TTorVersions expected;
    QMap<int, QList<const Pending *>> byMonth;
    for (const Pending &p : pending) {
        const auto it = now.constFind(p.person);
        if (it != now.cend() && (p.version == 0 || it.value() == p.version)) {
            replace.insert(p.person);
            expected.insert(p.person, it.value());
            byMonth[p.month] << &p;
        } else {
            out.gone << p;
        }
    }
    TTorVersionedWrites under(store, expected);

    if (!replace.isEmpty()) {
        // The rows as they are now, read in this transaction: the old rows of
        // these persons go, whoever wrote them.
        TClientDataSet now;
        repo.load(now, QLatin1String(Structure), TTorDBCds::AllMonths);
        const int fAfi = now.fieldIndex(fld::iAfiID.qsUpper());
        if (fAfi < 0)
            throw EAssertionFailed(QStringLiteral("La struttura %1 non ha la colonna IAFIID").arg(QLatin1String(Structure)));
        now.first();
        while (!now.eof()) {
            if (replace.contains(now.field(fAfi).asInteger()))
                now.deleteRecord();
            else
                now.next();
        }
        if (now.changeCount() > 0)
            repo.write(now, QLatin1String(Structure), TTorDBCds::AllMonths);

        for (auto it = byMonth.cbegin(); it != byMonth.cend(); ++it) {
            TClientDataSet rows;
            rows.setFieldDefs(now.fieldDefs());
            rows.createDataSet();
            const int fMonth = rows.fieldIndex(fld::SCUDMESE.qs());
            for (const Pending *p : it.value()) {
                for (const QStringList &codes : p->rows) {
                    rows.append();
                    rows.fieldByName(fld::iAfiID.qsUpper()).setAsInteger(p->person);
                    rows.fieldByName(fld::SCUDCODFIS.qs()).setAsString(p->codFis);
                    if (fMonth >= 0 && !p->monthText.isEmpty())
                        rows.field(fMonth).setAsString(p->monthText);
                    for (qsizetype k = 0; k < codes.size(); ++k)
                        rows.fieldByName(column(int(k))).setAsString(codes[k]);
                    rows.post();
                }
            }
            if (!rows.isEmpty())
                repo.write(rows, QLatin1String(Structure), it.key());
        }
    }
    if (own)
        tr.Commit();
    out.written = replace;
    return out;
}

} // namespace VelAnnotationRows
