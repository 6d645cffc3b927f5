#include "src/prj/unit/model/VelStructureSeed.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include <QVariantMap>
#include <optional>

namespace {

// The version that starts exactly at the year (month 0), if any.
std::optional<int> findVersion(TOvSQLConnection &conn, const QString &program, const QString &name, int year)
{
    QSqlQuery q = conn.exec(
        QStringLiteral("SELECT cds.icdsid FROM tcds_struttura cds "
                       "WHERE Lower(cds.scdsnome) = :SCDSNOME AND Lower(cds.scdsprogramma) = :SCDSPROGRAMMA "
                       "AND COALESCE(cds.icdsanno, 0) = :ICDSANNO AND COALESCE(cds.icdsmese, 0) = 0"),
        {{QStringLiteral("SCDSNOME"), name.toLower()},
         {QStringLiteral("SCDSPROGRAMMA"), program.toLower()},
         {QStringLiteral("ICDSANNO"), year}});
    if (q.next())
        return q.value(0).toInt();
    return std::nullopt;
}

bool keyTaken(TOvSQLConnection &conn, int key)
{
    QSqlQuery q = conn.exec(QStringLiteral("SELECT icdsid FROM tcds_struttura WHERE icdsid = :ICDSID"),
                            {{QStringLiteral("ICDSID"), key}});
    return q.next();
}

// The first free key of the year's block from the structure's own place in it.
int freeStableKey(TOvSQLConnection &conn, int year, int index)
{
    for (int key = velStructureKey(year, index); key < velStructureKey(year + 1, 0); ++key)
        if (!keyTaken(conn, key))
            return key;
    throw EOvError(QStringLiteral("Nessuna chiave libera per le strutture dell'archivio fiscale dell'anno %1.")
                       .arg(year));
}

// A version written by an older set-up with a generator key moves to a key of
// its year's block, its stored values with it.
void moveToStableKey(TOvSQLConnection &conn, int from, int to)
{
    conn.exec(QStringLiteral("UPDATE tcds_struttura SET icdsid = :TOID WHERE icdsid = :FROMID"),
              {{QStringLiteral("TOID"), to}, {QStringLiteral("FROMID"), from}});
    conn.exec(QStringLiteral("UPDATE tfis_datifiscali SET icdsid = :TOID WHERE icdsid = :FROMID"),
              {{QStringLiteral("TOID"), to}, {QStringLiteral("FROMID"), from}});
}

}

int velStructureKey(int year, int index)
{
    return year * 1000 + index + 1;
}

bool isVelStructureKey(int key)
{
    return key >= VelStructureKeyFloor;
}

VelSeedResult seedStructures(TOvSQLConnection &conn, const QString &program, int year)
{
    return seedStructures(conn, VelRecordModel::instance(), program, year);
}

VelSeedResult seedStructures(TOvSQLConnection &conn, const VelRecordModel &model, const QString &program,
                             int year)
{
    if (program.trimmed().isEmpty())
        throw EOvError(QStringLiteral("Codice programma mancante per le strutture del modello CU."));

    VelSeedResult result;
    TOvTransaction tr(&conn);
    if (!conn.inTransaction())
        tr.StartTransaction();

    const QList<VelStructureDesc> &structures = model.structures();
    for (int index = 0; index < structures.size(); ++index) {
        const VelStructureDesc &s = structures.at(index);
        QVariantMap p{{QStringLiteral("BCDSSCHEMA"), model.schemaBytes(s.name)},
                      {QStringLiteral("LCDSANAGRAFICA"), s.anagraphic ? 1 : 0},
                      {QStringLiteral("LCDSFMAPREADONLY"), s.fieldMapReadOnly ? 1 : 0},
                      {QStringLiteral("SCDSFIELDMAP"), s.fieldMap}};
        if (std::optional<int> id = findVersion(conn, program, s.name, year)) {
            if (!isVelStructureKey(*id)) {
                const int key = freeStableKey(conn, year, index);
                moveToStableKey(conn, *id, key);
                id = key;
                ++result.moved;
            }
            p.insert(QStringLiteral("ICDSID"), *id);
            conn.exec(QStringLiteral("UPDATE tcds_struttura SET bcdsschema = :BCDSSCHEMA, "
                                     "lcdsanagrafica = :LCDSANAGRAFICA, lcdsfmapreadonly = :LCDSFMAPREADONLY, "
                                     "scdsfieldmap = :SCDSFIELDMAP WHERE icdsid = :ICDSID"),
                      p);
            ++result.updated;
        } else {
            p.insert(QStringLiteral("ICDSID"), freeStableKey(conn, year, index));
            p.insert(QStringLiteral("ICDSANNO"), year);
            p.insert(QStringLiteral("SCDSPROGRAMMA"), program.toLower());
            p.insert(QStringLiteral("SCDSNOME"), s.name);
            conn.exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, icdsanno, icdsmese, scdsprogramma, "
                                     "scdsnome, bcdsschema, lcdsanagrafica, lcdsfmapreadonly, icdsrigo, "
                                     "scdsfieldmap) VALUES (:ICDSID, :ICDSANNO, 0, :SCDSPROGRAMMA, :SCDSNOME, "
                                     ":BCDSSCHEMA, :LCDSANAGRAFICA, :LCDSFMAPREADONLY, 0, :SCDSFIELDMAP)"),
                      p);
            ++result.inserted;
        }
    }
    if (tr.active())
        tr.Commit();
    return result;
}
