// velcu-cli correzione: the CUs already sent that the office replaces or
// cancels, flagged with the protocol the agency gave them and listed; and the
// supply's guard against mixing them with ordinary CUs (fornitura
// --prenotati, --misto).
#include "src/prj/unit/cli/VelCliCommon.h"
#include "src/prj/unit/telematic/VelCorrections.h"
#include "velcu/VelFields.h"

namespace VelCli::detail {

namespace {

using VelCorrections::Kind;

// The flagged CUs of the store, one a line.
int listCorrections(Command &c, Session &session)
{
    TClientDataSet cu;
    session.store->Load(cu, rec::TCUD_DATICUD::id.qs(), TTorDBCds::AllMonths);
    cu.setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE"));
    const QList<int> rows = VelCorrections::flaggedRows(cu);
    if (rows.isEmpty()) {
        c.out << s("Nessun CU segnato per sostituzione o annullamento.\n");
        return Ok;
    }
    c.out << s("CU segnati per la correzione: %1\n").arg(rows.size());
    for (const int r : rows)
        c.out << VelCorrections::describe(cu, r) << s(": ") << VelCorrections::describeCorrection(cu, r) << '\n';
    c.out << s("Si inviano da soli con: velcu-cli fornitura --prenotati\n");
    return Ok;
}

} // namespace

int correzione(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    if (!p.positionalArguments().isEmpty())
        throw UsageError{s("Argomento non previsto: \"%1\".").arg(p.positionalArguments().first())};
    struct Choice
    {
        const char *option;
        Kind kind;
    };
    const Choice choices[] = {{"sostituisci", Kind::Sostituzione}, {"annulla", Kind::Annullamento},
                              {"togli", Kind::Nessuna}};
    const Choice *chosen = nullptr;
    for (const Choice &k : choices) {
        if (!p.isSet(QLatin1String(k.option)))
            continue;
        if (chosen)
            throw UsageError{s("Indicare una sola fra --sostituisci, --annulla e --togli.")};
        chosen = &k;
    }
    const bool hasProtocol = p.isSet(QStringLiteral("protocollo"));
    if (!chosen) {
        if (hasProtocol || p.isSet(QStringLiteral("mese")))
            throw UsageError{s("--protocollo e --mese vanno con --sostituisci, --annulla o --togli.")};
        return listCorrections(c, db.get());
    }
    VelCorrections::Protocol protocol;
    if (chosen->kind != Kind::Nessuna) {
        if (!hasProtocol)
            throw UsageError{s("Indicare il protocollo del CU già inviato: --protocollo IDENTIFICATIVO/PROGRESSIVO "
                               "(17 e 6 cifre, dalla ricevuta dell'Agenzia).")};
        QString error;
        protocol = VelCorrections::parseProtocol(p.value(QStringLiteral("protocollo")), &error);
        if (!error.isEmpty())
            throw UsageError{error};
    } else if (hasProtocol) {
        throw UsageError{s("--togli non vuole --protocollo: il protocollo del CU viene tolto.")};
    }
    QString mese;
    if (p.isSet(QStringLiteral("mese"))) {
        bool ok = false;
        const int m = p.value(QStringLiteral("mese")).toInt(&ok);
        if (!ok || m < 1 || m > 12)
            throw UsageError{s("Mese non valido: \"%1\" (1-12).").arg(p.value(QStringLiteral("mese")))};
        mese = QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'));
    }
    const QString codFis = upperCode(p.value(QLatin1String(chosen->option)));
    if (codFis.isEmpty())
        throw UsageError{s("Manca il codice fiscale del CU.")};
    Session &session = db.get();
    const QString line = VelCorrections::setCorrection(*session.store, codFis, mese, chosen->kind, protocol);
    c.out << s("CU corretto: ") << line << '\n';
    if (chosen->kind != Kind::Nessuna)
        c.out << s("Si invia con: velcu-cli fornitura --prenotati (insieme agli altri CU segnati).\n");
    return Ok;
}

QList<int> reservedRows(TClientDataSet &dip)
{
    QList<int> rows;
    for (const int r : VelCorrections::flaggedRows(dip))
        rows << r + 1;
    return rows;
}

bool mixedSupplyRefused(Command &c, TClientDataSet &dip, const QList<int> &rows, bool correctionSupply)
{
    const QStringList lines = VelCorrections::mixedSupply(dip, rows, correctionSupply);
    if (lines.isEmpty())
        return false;
    QString text = VelCorrections::mixedQuestion(lines, correctionSupply);
    if (c.p.isSet(QStringLiteral("misto"))) {
        c.err << text << s("\nSi prosegue (--misto).\n");
        return false;
    }
    c.err << text << '\n'
          << (correctionSupply ? s("Fornitura non generata: togliere questi CU da --cf, oppure segnarli con "
                                   "velcu-cli correzione, oppure proseguire con --misto.\n")
                               : s("Fornitura non generata: inviare le correzioni con --prenotati, oppure togliere "
                                   "il segno con velcu-cli correzione --togli CF, oppure proseguire con --misto.\n"));
    return true;
}

} // namespace VelCli::detail
