#include "platform/db/OvGenerator.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

#include <QRegularExpression>

#include <limits>

int GenerateID(int values, TOvSQLConnection &connection, const QString &generator)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,58}$"));
    if (!identifier.match(generator).hasMatch())
        throw EAssertionFailed(QStringLiteral("Nome di generatore non valido: \"%1\".").arg(generator));
    if (values < 1)
        throw EAssertionFailed(QStringLiteral("Generatore %1: numero di valori non valido (%2).")
                                   .arg(generator).arg(values));

    QSqlQuery *q = nullptr;
    try {
        if (connection.isPostgres()) {
            const QString seq = QStringLiteral("gen_") + generator.toLower();
            q = values == 1
                    ? &connection.execReused(QStringLiteral("SELECT nextval(:SEQ)"), {{QStringLiteral("SEQ"), seq}})
                    : &connection.execReused(QStringLiteral("SELECT max(nextval(:SEQ)) FROM generate_series(1, :N)"),
                                             {{QStringLiteral("SEQ"), seq}, {QStringLiteral("N"), values}});
        } else {
            q = &connection.execReused(QStringLiteral("UPDATE tov_generatori SET igenvalore = igenvalore + :N "
                                                      "WHERE sgennome = :G RETURNING igenvalore"),
                                       {{QStringLiteral("N"), values}, {QStringLiteral("G"), generator.toUpper()}});
        }
    } catch (const EOvConnectionLost &) {
        throw;
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("%1 (generatore %2)").arg(e.message(), generator));
    }
    const QVariant read = q->next() ? q->value(0) : QVariant();
    q->finish();
    if (read.isNull())
        throw EDatabaseError(QStringLiteral("Errore del database: il generatore \"%1\" non esiste.").arg(generator));
    const qint64 value = read.toLongLong();
    if (value > std::numeric_limits<int>::max())
        throw EDatabaseError(QStringLiteral("Errore del database: il generatore \"%1\" ha superato il valore massimo.")
                                 .arg(generator));
    return int(value);
}
