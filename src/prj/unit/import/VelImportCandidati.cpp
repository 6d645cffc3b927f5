#include "VelImportCandidati.h"
#include "VelImportTables.h"

#include "rag/calc/ragUQuery.h"
#include "tor/calc/TorPosizioni.h"

#include <QHash>
#include <QSet>

using namespace VelImport;

int TVelImportCandidati::carica(const TRagSource &source, const Filtro &filtro)
{
    const int icalid = filtro.ICALID;
    QVariantMap params{{s("IANFID"), filtro.IANFID}, {s("IMESID"), filtro.IMESID}, {s("IDWGID"), filtro.IDWGID}};
    if (icalid > 0 && icalid != TorPosizioni::CategoriaSoloAutonomi) {
        params.insert(s("ICALID"), icalid);
    } else {
        params.insert(s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM);
        params.insert(s("RICE_COD_IRPEF_TS"), RICE_COD_IRPEF_TS);
    }
    TRagQuery q(source);
    TOvSQLQuery &src = q.open(s("QRY_CUD_IMP"), params, {TRagQuery::filtroCandidati(icalid)});

    m_righe.close();
    m_righe.setIndexFieldNames(QString());
    m_righe.setFiltered(false);
    QList<TFieldDef> defs = src.fieldDefs();
    for (TFieldDef &d : defs)
        if (d.name.compare(s("CONGUAGLIO"), Qt::CaseInsensitive) == 0) {
            d.type = TFieldType::String;
            d.size = 1;
        }
    m_righe.setFieldDefs(defs);
    m_righe.createDataSet();
    const TDataSetEvents handlers = m_righe.detachEvents();
    m_righe.disableControls();
    // The adjustment mark of every row from one statement, not one a row.
    QHash<int, int> firstAdjusted;
    {
        TRagQuery cong(source);
        TOvSQLQuery &c = cong.open(s("QRY_CUD_CONG_PRIMO"), {});
        for (c.first(); !c.eof(); c.next())
            firstAdjusted.insert(int(c.fieldByName(s("IACOMID")).asInteger()), int(c.fieldByName(s("PRIMO")).asInteger()));
    }
    for (src.first(); !src.eof(); src.next()) {
        // The import always covers the year from January.
        const int last = int(src.fieldByName(s("MESE_FINALE")).asInteger());
        if (last < 1)
            continue;
        QVariantList values;
        for (int i = 0; i < src.fieldCount(); ++i)
            values << src.field(i).value();
        m_righe.appendRecord(values);
        m_righe.edit();
        m_righe.fieldByName(s("MESE_INIZIALE")).setAsInteger(1);
        const auto first = firstAdjusted.constFind(int(src.fieldByName(s("IACOMID")).asInteger()));
        const bool adjusted = first != firstAdjusted.cend() && *first <= last;
        m_righe.fieldByName(s("CONGUAGLIO")).setAsString(adjusted ? s("X") : s(" "));
        m_righe.post();
    }
    m_righe.mergeChangeLog();
    m_righe.setIndexFieldNames(s("SANACOGNOMENOME;IACOMID"));
    m_righe.attachEvents(handlers);
    m_righe.enableControls();
    m_righe.first();
    return m_righe.recordCount();
}

QList<int> TVelImportCandidati::relazioni() const
{
    QList<int> out;
    const int fId = m_righe.fieldIndex(s("IACOMID"));
    for (int row = 0; row < m_righe.recordCount(); ++row)
        out << m_righe.valueAt(row, fId).toInt();
    return out;
}

int TVelImportCandidati::riga(int iacomid)
{
    const int fId = m_righe.active() ? m_righe.fieldIndex(s("IACOMID")) : -1;
    if (fId < 0)
        return -1;
    const auto holds = [&](int row) {
        return row >= 0 && row < m_righe.recordCount() && m_righe.valueAt(row, fId).toInt() == iacomid;
    };
    if (const auto it = m_righeDi.constFind(iacomid); it != m_righeDi.cend() && holds(*it))
        return *it;
    m_righeDi.clear();
    for (int row = 0; row < m_righe.recordCount(); ++row) {
        const int id = m_righe.valueAt(row, fId).toInt();
        if (!m_righeDi.contains(id))
            m_righeDi.insert(id, row);
    }
    return m_righeDi.value(iacomid, -1);
}

bool TVelImportCandidati::trova(int iacomid, TVelCandidato *out)
{
    const int row = riga(iacomid);
    if (row < 0)
        return false;
    const auto value = [&](const char *field) { return m_righe.valueAt(row, m_righe.fieldIndex(s(field))); };
    out->IACOMID = iacomid;
    out->IANAID = value("IANAID").toInt();
    out->cognome = value("SANACOGNOME").toString();
    out->nome = value("SANANOME").toString();
    out->nominativo = value("SANACOGNOMENOME").toString();
    out->meseIniziale = value("MESE_INIZIALE").toInt();
    out->meseFinale = value("MESE_FINALE").toInt();
    out->conguaglio = value("CONGUAGLIO").toString() == QLatin1String("X");
    return true;
}

QString TVelImportCandidati::nominativo(int iacomid)
{
    const int row = riga(iacomid);
    return row < 0 ? QString() : m_righe.valueAt(row, m_righe.fieldIndex(s("SANACOGNOMENOME"))).toString();
}

QStringList TVelImportCandidati::pagatiFuoriElenco(const TRagSource &source, const Filtro &filtro) const
{
    const QList<int> elenco = relazioni();
    const QSet<int> candidati(elenco.begin(), elenco.end());
    TRagQuery q(source);
    TOvSQLQuery &src = q.open(s("QRY_CUD_PAGATI"),
                              {{s("IANFID"), filtro.IANFID}, {s("IMESID"), filtro.IMESID}, {s("IDWGID"), filtro.IDWGID}});
    struct Fuori
    {
        QString chi;
        QStringList posizioni;
        Currency pagato;
        bool senzaCf = false;
    };
    QList<int> ordine;
    QHash<int, Fuori> fuori;
    for (src.first(); !src.eof(); src.next()) {
        const int iacomid = int(src.fieldByName(s("IACOMID")).asInteger());
        if (candidati.contains(iacomid))
            continue;
        if (!fuori.contains(iacomid)) {
            Fuori f;
            const QString cf = src.fieldByName(s("SANACODFISCALE")).asString().trimmed().toUpper();
            f.chi = src.fieldByName(s("SANACOGNOME")).asString().trimmed() + QLatin1Char(' ')
                    + src.fieldByName(s("SANANOME")).asString().trimmed();
            if (!cf.isEmpty())
                f.chi += QStringLiteral(" (%1)").arg(cf);
            f.senzaCf = cf.isEmpty();
            fuori.insert(iacomid, f);
            ordine << iacomid;
        }
        Fuori &f = fuori[iacomid];
        const Currency pagato = TRagQuery::amount(src, s("PAGATO"));
        f.pagato += pagato;
        f.posizioni << QStringLiteral("%1 %2 (%3)")
                           .arg(src.fieldByName(s("ITNOID")).asInteger())
                           .arg(src.fieldByName(s("STNOLDESC")).asString().trimmed(), amountText(pagato));
    }
    QStringList out;
    for (int iacomid : std::as_const(ordine)) {
        const Fuori &f = fuori.value(iacomid);
        out << QStringLiteral("%1: pagato nell'anno %2 solo in posizioni giuridiche escluse dalle "
                              "categorie predefinite (%3); nessuna certificazione%4. Se dovuta, "
                              "importarla scegliendo la categoria del percipiente.")
                   .arg(f.chi, amountText(f.pagato), f.posizioni.join(QStringLiteral(", ")),
                        f.senzaCf ? QStringLiteral(", e manca il codice fiscale") : QString());
    }
    return out;
}
