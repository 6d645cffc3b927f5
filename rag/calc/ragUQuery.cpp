#include "rag/calc/ragUQuery.h"

#include "platform/core/OvExceptions.h"
#include "tor/calc/TorPosizioni.h"
#include "tor/query/torCQueryText.h"

#include <QRegularExpression>
#include <QSet>

namespace {

int placeholders(const QString &text)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        const QChar c = text[i + 1];
        if (c == u's' || c == u'S')
            ++n;
        ++i;   // "%%" and "%s" both take two characters
    }
    return n;
}

}

namespace {

TTorQueryText &catalogueOf(const TRagSource &source)
{
    if (!source.queries)
        throw EAssertionFailed(QStringLiteral("Query delle retribuzioni senza catalogo"));
    return *source.queries;
}

}

TRagQuery::TRagQuery(const TRagSource &source)
    : m_query(source.connection), m_queries(catalogueOf(source)), m_connection(source.connection),
      m_copy(source.copy)
{
}

TOvSQLQuery &TRagQuery::open(const QString &name, const QVariantMap &params, const QStringList &texts)
{
    m_query.close();
    m_queries.SetQuery(name, m_query, 0, QStringLiteral("SELECT"));
    const int wanted = placeholders(m_query.commandText());
    if (wanted != texts.size())
        throw EDatabaseError(QStringLiteral("Query %1: il testo chiede %2 sostituzioni, ne sono state date %3.")
                                 .arg(name).arg(wanted).arg(texts.size()));
    if (wanted > 0) {
        QVariantList values;
        for (const QString &t : texts)
            values << t;
        TTorQueryText::FormatQuery(m_query, values);
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        TParam *p = m_query.params().findParam(it.key());
        if (!p)
            throw EDatabaseError(QStringLiteral("Query %1: il parametro %2 non è nel testo.").arg(name, it.key()));
        if (it.value().metaType().id() == QMetaType::Int || it.value().metaType().id() == QMetaType::LongLong)
            p->setAsInteger(it.value().toLongLong());
        else
            p->setValue(it.value());
    }
    TOvSQLConnection *local = m_copy ? m_copy->connectionFor(name, params) : nullptr;
    m_query.setConnection(local ? local : m_connection);
    QSet<QString> given;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        given.insert(it.key().toUpper());
    for (const TParam &p : m_query.params())
        if (!given.contains(p.name().toUpper()))
            throw EDatabaseError(QStringLiteral("Query %1: manca il valore del parametro %2.").arg(name, p.name()));
    try {
        m_query.open();
    } catch (const EOvConnectionLost &) {
        throw;
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Query %1: %2").arg(name, e.message()));
    }
    return m_query;
}

Currency TRagQuery::total(const QString &name, const QVariantMap &params, const QStringList &texts,
                          const QString &column)
{
    open(name, params, texts);
    const Currency v = m_query.isEmpty() ? Currency() : amount(m_query, column);
    m_query.close();
    return v;
}

Currency TRagQuery::amount(TOvSQLQuery &query, const QString &column)
{
    const TField f = query.fieldByName(column);
    const QVariant v = f.value();
    if (!v.isValid() || v.isNull())
        return Currency();
    switch (f.dataType()) {
    case TFieldType::Currency:
        return f.asCurrency();
    case TFieldType::Integer:
        return Currency::fromInt(f.asInteger());
    default:
        return Currency::fromDouble(f.asFloat());
    }
}

bool TRagQuery::isIntegerList(const QString &list)
{
    static const QRegularExpression re(QStringLiteral("^\\s*-?\\d+\\s*(,\\s*-?\\d+\\s*)*$"));
    return re.match(list).hasMatch();
}

QString TRagQuery::positionFilter(const QString &positions)
{
    if (positions.trimmed().isEmpty())
        return QString();
    if (!isIntegerList(positions))
        throw EAssertionFailed(QStringLiteral("Elenco di posizioni giuridiche non valido: \"%1\".").arg(positions));
    return QStringLiteral(" AND REGS.ITNOID IN (%1)").arg(positions);
}

QString TRagQuery::codeList(const QList<int> &codes)
{
    QStringList parts;
    for (int c : codes)
        parts << QString::number(c);
    return parts.join(u',');
}

QString TRagQuery::condizioneAutonomi(const QString &excluded)
{
    QList<int> autonomi(TorPosizioni::Autonomi.begin(), TorPosizioni::Autonomi.end());
    const QString positions = QStringLiteral("REGS.ITNOID IN (%1)").arg(codeList(autonomi));
    const QString a = QStringLiteral(
        "(%1 AND ( ACOM.LACOMMINIMI=1 OR                                                        "
        "(SELECT sum(VARR.FVARRRITDIP) from TVARR_VARRITENUTE VARR where                "
        "VARR.IREGSID=REGS.IREGSID AND VARR.IVARMID IS NULL AND VARR.ICOMRID IS NULL   "
        "AND VARR.IRICEID IN (:RICE_COD_IRPEF_AM,:RICE_COD_IRPEF_TS)) > 0 "
        // Paid without withholding: still certified (as sums not subject to
        // withholding), so still a register of the self-employed section.
        "OR EXISTS (SELECT 1 FROM TVACR_VOCICALCOLATE VACR WHERE VACR.IREGSID=REGS.IREGSID AND VACR.FVACRLORDO <> 0) ))")
                          .arg(positions);
    if (excluded.trimmed().isEmpty())
        return a;
    if (!isIntegerList(excluded))
        throw EAssertionFailed(QStringLiteral("Elenco di posizioni giuridiche non valido: \"%1\".").arg(excluded));
    return QStringLiteral("(%1 AND NOT REGS.ITNOID IN (%2))").arg(a, excluded);
}

QString TRagQuery::filtroCandidati(int icalid)
{
    const QString a = condizioneAutonomi();
    if (icalid == TorPosizioni::CategoriaSoloAutonomi)
        return QStringLiteral(" AND (") + a + QStringLiteral(") ");
    if (icalid > 0)
        return QStringLiteral(" AND (ANAPER.ICALID=:ICALID) ");
    QList<int> esclusi(TorPosizioni::Autonomi.begin(), TorPosizioni::Autonomi.end());
    esclusi.append(QList<int>(TorPosizioni::EscluseDaPredefinite.begin(), TorPosizioni::EscluseDaPredefinite.end()));
    const QString e = QStringLiteral("NOT REGS.ITNOID IN (%1)").arg(codeList(esclusi));
    return QStringLiteral("AND ((") + e + QStringLiteral(") OR (") + a + QStringLiteral("))");
}
