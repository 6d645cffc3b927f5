#include "platform/sql/OvQueryCollection.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"

namespace {

QString kindLabel(TUpdateStatus status)
{
    switch (status) {
    case TUpdateStatus::Inserted: return QStringLiteral("inserimento");
    case TUpdateStatus::Modified: return QStringLiteral("modifica");
    case TUpdateStatus::Deleted: return QStringLiteral("cancellazione");
    default: return QString();
    }
}

}

int TOvQueryCollection::applyUpdates()
{
    if (active())
        checkBrowseMode();
    const QList<TDeltaRow> rows = delta();
    if (rows.isEmpty())
        return 0;

    auto statementsFor = [this](TUpdateStatus status) -> const QStringList & {
        static const QStringList none;
        switch (status) {
        case TUpdateStatus::Inserted: return SQLInsert;
        case TUpdateStatus::Modified: return SQLUpdate;
        case TUpdateStatus::Deleted: return SQLDelete;
        default: return none;
        }
    };
    // A row that could not be written must not be reported as saved.
    for (const TDeltaRow &row : rows) {
        const QStringList &list = statementsFor(row.status());
        bool any = false;
        for (const QString &s : list)
            any = any || !s.trimmed().isEmpty();
        if (!any)
            throw EAssertionFailed(QStringLiteral("Nessuna istruzione SQL di %1 definita per la query: "
                                                  "modifiche non salvate.").arg(kindLabel(row.status())));
    }

    TOvSQLConnection &conn = activeConnection();
    const TOvDbEngine engine = conn.engine();
    TOvTransaction own(&conn);
    if (!conn.inTransaction())
        own.StartTransaction();

    for (const TDeltaRow &row : rows) {
        for (const QString &sql : statementsFor(row.status())) {
            if (sql.trimmed().isEmpty())
                continue;
            QVariantMap values;
            for (const QString &name : TParams::parseNames(sql)) {
                QVariant v;
                if (row.hasField(name)) {
                    v = row.value(name);
                } else if (name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive) && row.hasField(name.mid(4))) {
                    v = row.oldValue(name.mid(4));
                } else if (const TParam *p = params().findParam(name)) {
                    v = p->value();
                } else {
                    throw EDatabaseError(QStringLiteral("Parametro '%1' dell'istruzione di %2 senza campo "
                                                        "corrispondente: %3")
                                             .arg(name, kindLabel(row.status()), sql.simplified()));
                }
                values.insert(name, sqlValue(v, engine));
            }
            conn.exec(sql, values);
        }
    }

    if (own.active())
        own.Commit();
    mergeChangeLog();
    return int(rows.size());
}
