#include "src/prj/unit/telematic/VelSupplyOutcomeBook.h"
#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "velcu/VelFields.h"

namespace {

using VelFileSupport::text;

} // namespace

void TVelSupplyOutcomeBook::start(const QList<int> &rows, TClientDataSet &d, const QList<TVelRunWarning> &warnings)
{
    m_outcome = TVelRunOutcome();
    m_outcome.warnings = warnings;
    m_rows = rows;
    const int keep = d.recNo();
    for (int r : rows) {
        TVelPayeeOutcome p;
        if (d.active() && r >= 1 && r <= d.recordCount()) {
            d.setRecNo(r);
            p.codFis = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
            p.nome = (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
            p.mese = text(d, fld::SCUDMESE.name).trimmed();
        }
        p.reason = QStringLiteral("non raggiunta");
        m_outcome.add(p);
    }
    if (keep > 0 && d.active())
        d.setRecNo(keep);
}

void TVelSupplyOutcomeBook::stop(const QString &why)
{
    m_outcome.fatal = why;
    for (TVelPayeeOutcome &p : m_outcome.payees)
        if (p.result == TVelResult::NonEseguito)
            p.reason = QStringLiteral("fornitura non completata");
}

void TVelSupplyOutcomeBook::generated(const QSet<int> &withRecords)
{
    for (qsizetype i = 0; i < m_outcome.payees.size(); ++i) {
        TVelPayeeOutcome &p = m_outcome.payees[i];
        if (withRecords.contains(m_rows.at(i))) {
            p.stage = TVelStage::Costruzione;
            p.reason = QStringLiteral("file non ancora salvato");
        } else {
            p.stage = TVelStage::Decisione;
            p.result = TVelResult::Scartato;
            p.reason = QStringLiteral("nessun dato da inviare (nessun importo e nessuna sezione compilata)");
        }
    }
}

void TVelSupplyOutcomeBook::notWritten(const EOvException &e)
{
    stop(e.message());
    for (TVelPayeeOutcome &p : m_outcome.payees)
        if (p.result == TVelResult::NonEseguito) {
            p.stage = TVelStage::Scrittura;
            if (const auto *known = dynamic_cast<const EVelError *>(&e))
                known->record(p); // the checker refused the files: at the renaming
            p.result = TVelResult::Errore;
            p.reason = QStringLiteral("file della fornitura non scritto");
        }
}

void TVelSupplyOutcomeBook::written(const QSet<qint64> &inFile)
{
    for (qsizetype i = 0; i < m_outcome.payees.size(); ++i) {
        TVelPayeeOutcome &p = m_outcome.payees[i];
        if (p.result != TVelResult::NonEseguito)
            continue;
        if (inFile.contains(m_rows.at(i))) {
            p.stage = TVelStage::Conferma;
            p.result = TVelResult::Fatto;
            p.reason.clear();
        } else {
            p.stage = TVelStage::Scrittura;
            p.result = TVelResult::Errore;
            p.reason = QStringLiteral("certificazione preparata ma assente dal file");
        }
    }
}

QStringList TVelSupplyOutcomeBook::summaryLines(const TVelRunOutcome &o)
{
    QStringList lines;
    lines << QStringLiteral("Certificazioni nella fornitura: %1.").arg(o.count(TVelResult::Fatto));
    if (const int n = o.count(TVelResult::Scartato))
        lines << QStringLiteral("Certificazioni senza dati da inviare, non incluse: %1.").arg(n);
    if (const int n = o.count(TVelResult::Errore) + o.count(TVelResult::NonEseguito))
        lines << QStringLiteral("Certificazioni non scritte: %1.").arg(n);
    lines << o.problemLines();
    for (const TVelRunWarning &w : o.warnings)
        lines << QStringLiteral("Attenzione: ") + w.text;
    if (!o.fatal.isEmpty())
        lines << QStringLiteral("***** ") + o.fatal;
    return lines;
}
