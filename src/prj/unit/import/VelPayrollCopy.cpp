#include "VelPayrollCopy.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSqliteStatement.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The tables the copy holds and how their rows are chosen, in the order
// they are read (each scope needs the keys of those before).
using A = TVelPayrollCopy::Ambito;
struct TableDef
{
    const char *name;
    A scope;
};

const TableDef kTables[] = {
    {"tanf_annifinanz", A::Intera},     {"tans_anniscolast", A::Intera},       {"tpro_province", A::Intera},
    {"tcom_comuni", A::Intera},         {"tcap_cap", A::Intera},               {"tsed_sedi", A::Intera},
    {"tsedind_indirizzi", A::Intera},   {"tsedrap_rappresentanti", A::Intera}, {"tdwg_gruppilavoro", A::Intera},
    {"tpaco_paramcontabili", A::Intera}, {"tcot_tipiliquidazione", A::Intera}, {"ttim_tipiconto", A::Intera},
    {"tcon_conti", A::Intera},          {"tnaf_nuovoanf", A::Intera},          {"tsex_sessi", A::Intera},
    {"tsta_stati", A::Intera},          {"tmes_mesi", A::Intera},              {"tcal_categorie", A::Intera},
    {"ttno_posgiuridiche", A::Intera},  {"tqar_qualifiche", A::Intera},        {"trice_ritenute", A::Intera},
    {"tcomr_vocicompenso", A::Intera},  {"trica_aliquote", A::Intera},         {"tenpm_massimali", A::Intera},
    {"ttdla_detrlavoro", A::Intera},    {"ttdco_detrconiuge", A::Intera},      {"ttdfa_detrfamiliari", A::Intera},
    {"ttdca_detrcanone", A::Intera},    {"ttdcu_cuneofiscale", A::Intera},     {"tccnl_contratti", A::Intera},
    {"tacom_rapporti", A::Rapporti},    {"tanaper_personale", A::Personale},
    {"tana_anagrafiche", A::Persona},   {"tanaabt_indirizzi", A::Persona},     {"tadet_detrazioni", A::Persona},
    {"tafp_fondipensione", A::Persona}, {"tadef_detrfigli", A::Dichiarazione},
    {"tregs_registri", A::Relazione},   {"tass_assenze", A::Relazione},        {"tcong_conguagli", A::Relazione},
    {"tcfsa_accfuorisistema", A::Relazione},
    {"tvarr_varritenute", A::Registro}, {"tvacr_vocicalcolate", A::Registro},  {"tadetr_detrazioniregs", A::Registro},
};

// The queries of one employee, each reading only the rows of the relationship
// it is given (IACOMID) ...
const QSet<QString> &byRelationship()
{
    static const QSet<QString> names{
        QStringLiteral("QRY_CUD_CONG"),          QStringLiteral("QRY_CED_ACOM"),
        QStringLiteral("QRY_ANAFISC"),           QStringLiteral("QRY_CUD_TNO"),
        QStringLiteral("QRY_CUD_RIT"),           QStringLiteral("QRY_CUD_REDD"),
        QStringLiteral("QRY_CUD_RITV"),          QStringLiteral("QRY_CUD_NO_CONG"),
        QStringLiteral("QRY_CUD_VOCE"),          QStringLiteral("QRY_CUD_GIORNI"),
        QStringLiteral("QRY_CUD_ASSENZE"),       QStringLiteral("QRY_CUD_INPS_IMP_FOND"),
        QStringLiteral("QRY_CUD_INPS_RIT_FOND"), QStringLiteral("QRY_CUD_INPS_IMP_ACC"),
        QStringLiteral("QRY_CUD_INPS_RIT_ACC"),  QStringLiteral("QRY_CUD_INPS_MESI"),
        QStringLiteral("QRY_CUD_PREVID_RIT_FOND"), QStringLiteral("QRY_CUD_BORSISTA_LORDO"),
        QStringLiteral("QRY_CUD_730"),           QStringLiteral("QRY_CUD_FPC"),
        QStringLiteral("QRY_ANAFPC"),            QStringLiteral("QRY_CUD_PERIODI"),
        QStringLiteral("QRY_CUD_AUTON_REGSID"),  QStringLiteral("QRY_EMENS_FPLS_EXENPALS_RIT"),
        QStringLiteral("QRY_EMENS_FPLS_EXENPALS_RITLP"), QStringLiteral("QRY_CUD_INT_ACC_SOLO_ACF"),
        QStringLiteral("QRY_CUD_INT_DMA_STO_CALC_DIP"), QStringLiteral("QRY_VACR_GRUPPO"),
        QStringLiteral("QRY_UNIEMENS_ESONERO_IVS"),
    };
    return names;
}

// ... or of the person it is given (IANAID) ...
const QSet<QString> &byPerson()
{
    static const QSet<QString> names{QStringLiteral("QRY_ANAABT"), QStringLiteral("QRY_ANASEX")};
    return names;
}

// ... or of the registers its text lists ("AND REGS.IREGSID IN (...)", the
// self-employed payments of one employee, register by register).
const QSet<QString> &byRegisters()
{
    static const QSet<QString> names{
        QStringLiteral("QRY_CUD_AUTON_MINIMI"), QStringLiteral("QRY_CUD_AUTON_SOM"),
        QStringLiteral("QRY_CUD_AUTON_NON_SOGG"), QStringLiteral("QRY_CUD_AUTON_SPESE_RIMB"),
    };
    return names;
}

const QRegularExpression &registerList()
{
    static const QRegularExpression re(QStringLiteral("\\bIREGSID\\s+IN\\s*\\(([0-9\\s,]*)\\)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString idList(const QSet<int> &ids)
{
    if (ids.isEmpty())
        return QStringLiteral("NULL");
    QStringList parts;
    parts.reserve(ids.size());
    for (int id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

QString idList(const QList<int> &ids) { return idList(QSet<int>(ids.cbegin(), ids.cend())); }

// The value of a parameter, whatever the case of its name or a leading ':'.
QVariant paramValue(const QVariantMap &params, QLatin1StringView name)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        QStringView key = it.key();
        if (key.startsWith(u':'))
            key = key.mid(1);
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return QVariant();
}

// A server column type as the set-up scripts declare it: the copy's columns
// then read back with the types a SQLite payroll gives.
QString declaredType(const QString &dataType, const QVariant &length, const QVariant &precision,
                     const QVariant &scale)
{
    const QString t = dataType.toLower();
    if (t == QLatin1String("integer") || t == QLatin1String("smallint") || t == QLatin1String("bigint"))
        return QStringLiteral("INTEGER");
    if (t == QLatin1String("numeric")) {
        if (precision.isNull())
            return QStringLiteral("NUMERIC");
        return QStringLiteral("NUMERIC(%1,%2)").arg(precision.toInt()).arg(scale.toInt());
    }
    if (t == QLatin1String("character varying"))
        return length.isNull() ? QStringLiteral("VARCHAR") : QStringLiteral("VARCHAR(%1)").arg(length.toInt());
    if (t == QLatin1String("character"))
        return QStringLiteral("CHAR(%1)").arg(length.isNull() ? 1 : length.toInt());
    if (t == QLatin1String("date"))
        return QStringLiteral("DATE");
    if (t.startsWith(QLatin1String("timestamp")))
        return QStringLiteral("TIMESTAMP");
    if (t == QLatin1String("boolean"))
        return QStringLiteral("BOOLEAN");
    if (t == QLatin1String("double precision"))
        return QStringLiteral("DOUBLE PRECISION");
    if (t == QLatin1String("real"))
        return QStringLiteral("REAL");
    if (t == QLatin1String("bytea"))
        return QStringLiteral("BLOB");
    return QStringLiteral("TEXT");
}

} // namespace

TVelPayrollCopy::TVelPayrollCopy(TOvSQLConnection &server) : m_server(server)
{
    for (const TableDef &d : kTables)
        m_tabelle << Tabella{QString::fromLatin1(d.name), d.scope, QString()};
}

TVelPayrollCopy::~TVelPayrollCopy() = default;

void TVelPayrollCopy::svuota()
{
    m_relazioni.clear();
    m_persone.clear();
    m_registri.clear();
}

// A statement on the server, its rows taken in one result: read forward only,
// the driver hands each row over as a result of its own.
static QSqlQuery readServer(TOvSQLConnection &server, const QString &sql, qint64 &count)
{
    QSqlQuery q = server.newQuery();
    server.countStatement();
    ++count;
    if (!q.exec(sql))
        ovRaiseSqlError(q.lastError(), QStringLiteral("copia locale delle retribuzioni"));
    return q;
}

static void runLocal(TOvSQLConnection &local, const QString &sql)
{
    QSqlQuery q = local.newQuery();
    if (!q.exec(sql))
        ovRaiseSqlError(q.lastError(), QStringLiteral("copia locale delle retribuzioni"));
}

// The copy's tables, declared and indexed as on the server, and the lookup
// tables filled.
void TVelPayrollCopy::preparaStruttura()
{
    m_copia.setInMemory();
    m_copia.openOrThrow();

    QStringList names;
    for (const Tabella &t : std::as_const(m_tabelle))
        names << QLatin1Char('\'') + t.nome + QLatin1Char('\'');

    m_tabelleServer.clear();
    {
        QSqlQuery q = readServer(m_server,
                                 QStringLiteral("SELECT table_name FROM information_schema.tables "
                                                "WHERE table_schema = current_schema()"),
                                 m_letture);
        while (q.next())
            m_tabelleServer.insert(q.value(0).toString().toLower());
    }

    QHash<QString, QStringList> columns, declared;
    {
        QSqlQuery q = readServer(
            m_server,
            QStringLiteral("SELECT table_name, column_name, data_type, character_maximum_length, "
                           "numeric_precision, numeric_scale FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name IN (%1) "
                           "ORDER BY table_name, ordinal_position")
                .arg(names.join(QLatin1Char(','))),
            m_letture);
        while (q.next()) {
            const QString table = q.value(0).toString().toLower();
            columns[table] << q.value(1).toString().toLower();
            declared[table] << declaredType(q.value(2).toString(), q.value(3), q.value(4), q.value(5));
        }
    }

    QHash<QString, QStringList> indexes;
    {
        QSqlQuery q = readServer(
            m_server,
            QStringLiteral("SELECT t.relname, i.relname, "
                           "array_to_string(ARRAY(SELECT a.attname FROM unnest(x.indkey) WITH ORDINALITY AS k(n, o) "
                           "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = k.n ORDER BY k.o), ','), "
                           "(SELECT bool_and(k.n > 0) FROM unnest(x.indkey) AS k(n)) "
                           "FROM pg_index x JOIN pg_class t ON t.oid = x.indrelid "
                           "JOIN pg_class i ON i.oid = x.indexrelid "
                           "JOIN pg_namespace s ON s.oid = t.relnamespace "
                           "WHERE s.nspname = current_schema() AND t.relname IN (%1)")
                .arg(names.join(QLatin1Char(','))),
            m_letture);
        while (q.next())
            if (q.value(3).toBool() && !q.value(2).toString().isEmpty())
                indexes[q.value(0).toString().toLower()] << q.value(2).toString();
    }

    m_copiate.clear();
    m_intere.clear();
    m_copia.startTransaction();
    try {
        for (Tabella &t : m_tabelle) {
            const QStringList cols = columns.value(t.nome);
            if (cols.isEmpty())
                continue;   // not on this server: its queries stay there
            QStringList defs, marks;
            for (int i = 0; i < cols.size(); ++i) {
                defs << cols.at(i) + QLatin1Char(' ') + declared.value(t.nome).at(i);
                marks << QStringLiteral("?");
            }
            runLocal(m_copia, QStringLiteral("CREATE TABLE %1 (%2)").arg(t.nome, defs.join(QStringLiteral(", "))));
            int n = 0;
            for (const QString &ix : indexes.value(t.nome))
                runLocal(m_copia, QStringLiteral("CREATE INDEX ix_%1_%2 ON %1 (%3)").arg(t.nome).arg(++n).arg(ix));
            t.insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(t.nome, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
            m_copiate.insert(t.nome);
            if (t.ambito == Ambito::Intera) {
                copia(t, QString());
                m_intere.insert(t.nome);
            }
        }
        m_copia.commit();
    } catch (...) {
        m_copia.rollback();
        m_copia.close();
        throw;
    }
    m_pronta = true;
}

void TVelPayrollCopy::copia(Tabella &t, const QString &where)
{
    copiaChiavi(t, where, QString());
}

// Copies the rows of `t` the condition chooses; returns the values of
// `column` among them.
QSet<int> TVelPayrollCopy::copiaChiavi(Tabella &t, const QString &where, const QString &column)
{
    QSet<int> keys;
    if (t.insert.isEmpty())
        return keys;
    const QString columns = t.insert.section(QLatin1Char('('), 1, 1).section(QLatin1Char(')'), 0, 0);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns, t.nome);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    QSqlQuery src = readServer(m_server, sql, m_letture);
    const int keyAt = column.isEmpty() ? -1 : src.record().indexOf(column);
    // Straight on SQLite: through the Qt driver each of the group's
    // thousands of rows paid a placeholder name built and looked up per value.
    TOvSqliteStatement *ins = m_copia.sqliteStatement(t.insert);
    const int n = src.record().count();
    while (src.next()) {
        for (int i = 0; i < n; ++i)
            ins->bind(i, src.value(i));
        ins->run();
        if (keyAt >= 0)
            keys.insert(src.value(keyAt).toInt());
    }
    return keys;
}

void TVelPayrollCopy::carica(const QList<int> &iacomids, const QList<int> &ianaids)
{
    svuota();
    if (!m_pronta)
        preparaStruttura();
    // One moment of the payroll for the whole group.
    const bool own = !m_server.inTransaction();
    try {
        if (own) {
            m_server.startTransaction();
            readServer(m_server, QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY"), m_letture);
        }
        m_copia.startTransaction();
        for (const Tabella &t : std::as_const(m_tabelle))
            if (t.ambito != Ambito::Intera && !t.insert.isEmpty())
                runLocal(m_copia, QStringLiteral("DELETE FROM %1").arg(t.nome));

        QSet<int> relazioni, persone, personale, registri;
        for (Tabella &t : m_tabelle) {
            switch (t.ambito) {
            case Ambito::Intera:
                break;
            case Ambito::Rapporti: {
                // The relationships asked for, and every other of the same persons.
                relazioni = copiaChiavi(t,
                                        QStringLiteral("iacomid IN (%1) OR ianaperid IN (SELECT ianaperid FROM "
                                                       "tanaper_personale WHERE ianaid IN (%2))")
                                            .arg(idList(iacomids), idList(ianaids)),
                                        QStringLiteral("iacomid"));
                QSqlQuery q = m_copia.newQuery();
                if (!q.exec(QStringLiteral("SELECT DISTINCT ianaperid FROM tacom_rapporti")))
                    ovRaiseSqlError(q.lastError(), QStringLiteral("copia locale delle retribuzioni"));
                while (q.next())
                    personale.insert(q.value(0).toInt());
                break;
            }
            case Ambito::Personale:
                // Their staff records, and the persons of both.
                persone = copiaChiavi(t,
                                      QStringLiteral("ianaid IN (%1) OR ianaperid IN (%2)")
                                          .arg(idList(ianaids), idList(personale)),
                                      QStringLiteral("ianaid"));
                break;
            case Ambito::Persona:
                copia(t, QStringLiteral("ianaid IN (%1)").arg(idList(persone)));
                break;
            case Ambito::Relazione:
                if (t.nome == QLatin1String("tregs_registri"))
                    registri = copiaChiavi(t, QStringLiteral("iacomid IN (%1)").arg(idList(relazioni)),
                                           QStringLiteral("iregsid"));
                else
                    copia(t, QStringLiteral("iacomid IN (%1)").arg(idList(relazioni)));
                break;
            case Ambito::Registro:
                copia(t, QStringLiteral("iregsid IN (SELECT iregsid FROM tregs_registri WHERE iacomid IN (%1))")
                             .arg(idList(relazioni)));
                break;
            case Ambito::Dichiarazione:
                copia(t, QStringLiteral("iadetid IN (SELECT iadetid FROM tadet_detrazioni WHERE ianaid IN (%1))")
                             .arg(idList(persone)));
                break;
            }
        }
        m_copia.commit();
        if (own)
            m_server.commit();
        m_relazioni = relazioni;
        m_persone = persone;
        m_registri = registri;
    } catch (...) {
        svuota();
        try {
            if (m_copia.inTransaction())
                m_copia.rollback();
            if (own && m_server.inTransaction())
                m_server.rollback();
        } catch (...) {
        }
        throw;
    }
}

// Whether every payroll table the text names is held by the copy (whole, when
// asked).
bool TVelPayrollCopy::soloTabelle(const QString &text, bool intereSoltanto) const
{
    const QString key = (intereSoltanto ? QLatin1Char('W') : QLatin1Char('G')) + text;
    const auto known = m_testi.constFind(key);
    if (known != m_testi.cend())
        return *known;
    static const QRegularExpression words(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    bool ok = true;
    for (auto it = words.globalMatch(text); ok && it.hasNext();) {
        const QString w = it.next().captured(0).toLower();
        if (m_tabelleServer.contains(w))
            ok = intereSoltanto ? m_intere.contains(w) : m_copiate.contains(w);
    }
    m_testi.insert(key, ok);
    return ok;
}

TOvSQLConnection *TVelPayrollCopy::connectionFor(const QString &name, const QVariantMap &params,
                                                 const QString &text) const
{
    if (!m_pronta || m_relazioni.isEmpty())
        return nullptr;
    const QString upper = name.toUpper();
    if (byRelationship().contains(upper)) {
        const QVariant v = paramValue(params, QLatin1StringView("IACOMID"));
        if (!v.isValid() || !m_relazioni.contains(v.toInt()))
            return nullptr;
        return soloTabelle(text, false) ? &m_copia : nullptr;
    }
    if (byPerson().contains(upper)) {
        const QVariant v = paramValue(params, QLatin1StringView("IANAID"));
        if (!v.isValid() || !m_persone.contains(v.toInt()))
            return nullptr;
        return soloTabelle(text, false) ? &m_copia : nullptr;
    }
    if (byRegisters().contains(upper)) {
        // Every register listed must be one of the group's; the tables are
        // checked on the text without its lists, the same for every employee.
        QString shape = text;
        bool listed = false;
        for (auto it = registerList().globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QStringList ids = m.captured(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
            if (ids.isEmpty())
                return nullptr;
            for (const QString &id : ids) {
                bool ok = false;
                const int key = id.trimmed().toInt(&ok);
                if (!ok || !m_registri.contains(key))
                    return nullptr;
            }
            listed = true;
        }
        if (!listed)
            return nullptr;
        shape.replace(registerList(), QStringLiteral("IREGSID IN ()"));
        return soloTabelle(shape, false) ? &m_copia : nullptr;
    }
    return soloTabelle(text, true) ? &m_copia : nullptr;
}
