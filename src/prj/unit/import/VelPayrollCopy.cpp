#include "VelPayrollCopy.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvPgRows.h"
#include "platform/db/OvSqliteStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The tables the copy holds and how their rows are chosen, in the order
// they are read (each scope needs the keys of those before).
using A = TVelPayrollCopy::Ambito;
using T = paghe::Tabella;
struct TableDef
{
    T table;
    A scope;
};

const TableDef kTables[] = {
    {T::tanf_annifinanz, A::Intera},     {T::tans_anniscolast, A::Intera},       {T::tpro_province, A::Intera},
    {T::tcom_comuni, A::Intera},         {T::tcap_cap, A::Intera},               {T::tsed_sedi, A::Intera},
    {T::tsedind_indirizzi, A::Intera},   {T::tsedrap_rappresentanti, A::Intera}, {T::tdwg_gruppilavoro, A::Intera},
    {T::tpaco_paramcontabili, A::Intera}, {T::tcot_tipiliquidazione, A::Intera}, {T::ttim_tipiconto, A::Intera},
    {T::tcon_conti, A::Intera},          {T::tnaf_nuovoanf, A::Intera},          {T::tsex_sessi, A::Intera},
    {T::tsta_stati, A::Intera},          {T::tmes_mesi, A::Intera},              {T::tcal_categorie, A::Intera},
    {T::ttno_posgiuridiche, A::Intera},  {T::tqar_qualifiche, A::Intera},        {T::trice_ritenute, A::Intera},
    {T::tcomr_vocicompenso, A::Intera},  {T::trica_aliquote, A::Intera},         {T::tenpm_massimali, A::Intera},
    {T::ttdla_detrlavoro, A::Intera},    {T::ttdco_detrconiuge, A::Intera},      {T::ttdfa_detrfamiliari, A::Intera},
    {T::ttdca_detrcanone, A::Intera},    {T::ttdcu_cuneofiscale, A::Intera},     {T::tccnl_contratti, A::Intera},
    {T::tacom_rapporti, A::Rapporti},    {T::tanaper_personale, A::Personale},
    {T::tana_anagrafiche, A::Persona},   {T::tanaabt_indirizzi, A::Persona},     {T::tadet_detrazioni, A::Persona},
    {T::tafp_fondipensione, A::Persona}, {T::tadef_detrfigli, A::Dichiarazione},
    {T::tregs_registri, A::Relazione},   {T::tass_assenze, A::Relazione},        {T::tcong_conguagli, A::Relazione},
    {T::tcfsa_accfuorisistema, A::Relazione},
    {T::tvarr_varritenute, A::Registro}, {T::tvacr_vocicalcolate, A::Registro},  {T::tadetr_detrazioniregs, A::Registro},
};

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
    for (const TableDef &d : kTables) {
        const std::string_view name = paghe::nome(d.table);
        m_tabelle << Tabella{d.table, QString::fromLatin1(name.data(), qsizetype(name.size())), d.scope, QString()};
    }
}

TVelPayrollCopy::~TVelPayrollCopy() = default;

void TVelPayrollCopy::svuota()
{
    m_relazioni.clear();
    m_persone.clear();
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

    m_copiate = {};
    m_intere = {};
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
            aggiungi(m_copiate, t.id);
            if (t.ambito == Ambito::Intera) {
                copia(t, QString());
                aggiungi(m_intere, t.id);
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
    ++m_letture;
    const TOvPgRows src(m_server, sql);
    const int keyAt = [&] {
        for (int c = 0; !column.isEmpty() && c < src.columns(); ++c)
            if (src.name(c).compare(column, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    }();
    // Straight from the server's text into SQLite: a text column as the same
    // UTF-8 (no QString made and undone for each of the group's tens of
    // thousands of values), any other as the Qt driver would have read it.
    const int n = src.columns();
    std::vector<bool> asText(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c)
        asText[size_t(c)] = src.isText(c);
    TOvSqliteStatement *ins = m_copia.sqliteStatement(t.insert);
    for (int r = 0, rows = src.rows(); r < rows; ++r) {
        for (int c = 0; c < n; ++c) {
            if (asText[size_t(c)] && !src.isNull(r, c))
                ins->bindUtf8(c, src.text(r, c));
            else
                ins->bind(c, src.value(r, c));
        }
        ins->run();
        if (keyAt >= 0)
            keys.insert(src.text(r, keyAt).toInt());
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

        QSet<int> relazioni, persone, personale;
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

void TVelPayrollCopy::aggiungi(Insieme &set, paghe::Tabella t)
{
    set[int(t) / 64] |= quint64(1) << (int(t) % 64);
}

// Whether the copy holds every table of `tables`.
static bool contenute(const std::uint64_t (&tables)[paghe::kParole],
                      const std::array<quint64, paghe::kParole> &held)
{
    for (int i = 0; i < paghe::kParole; ++i)
        if (tables[i] & ~held[i])
            return false;
    return true;
}

const paghe::Query *TVelPayrollCopy::dichiarazione(const QString &name)
{
    const QByteArray key = name.toUpper().toLatin1();
    const std::string_view wanted(key.constData(), size_t(key.size()));
    const auto *end = std::end(paghe::kQuery);
    const auto *it = std::lower_bound(std::begin(paghe::kQuery), end, wanted,
                                      [](const paghe::Query &q, std::string_view n) { return q.nome < n; });
    return it != end && it->nome == wanted ? it : nullptr;
}

bool TVelPayrollCopy::copiata(paghe::Tabella t)
{
    for (const TableDef &d : kTables)
        if (d.table == t)
            return true;
    return false;
}

TOvSQLConnection *TVelPayrollCopy::connectionFor(const QString &name, const QVariantMap &params) const
{
    if (!m_pronta || m_relazioni.isEmpty())
        return nullptr;
    auto known = m_dichiarazioni.constFind(name);
    if (known == m_dichiarazioni.cend())
        known = m_dichiarazioni.insert(name, dichiarazione(name));
    const paghe::Query *q = *known;
    if (!q)
        return nullptr;   // not a SELECT of the catalogue
    switch (q->righe) {
    case paghe::Righe::Tabelle:
        return contenute(q->tabelle, m_intere) ? &m_copia : nullptr;
    case paghe::Righe::Rapporto: {
        const QVariant v = paramValue(params, QLatin1StringView("IACOMID"));
        if (!v.isValid() || !m_relazioni.contains(v.toInt()))
            return nullptr;
        return contenute(q->tabelle, m_copiate) ? &m_copia : nullptr;
    }
    case paghe::Righe::Persona: {
        const QVariant v = paramValue(params, QLatin1StringView("IANAID"));
        if (!v.isValid() || !m_persone.contains(v.toInt()))
            return nullptr;
        return contenute(q->tabelle, m_copiate) ? &m_copia : nullptr;
    }
    }
    return nullptr;
}
