#include "src/prj/unit/telematic/VelCorrections.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QRegularExpression>

namespace VelCorrections {

namespace {

const QString kCud = rec::TCUD_DATICUD::id.qs();

QString at(const TClientDataSet &cu, int row, const char *field)
{
    const int f = cu.fieldIndex(QLatin1String(field));
    return f < 0 ? QString() : cu.valueAt(row, f).toString().trimmed();
}

} // namespace

Kind kindOf(const TClientDataSet &cu, int row)
{
    if (at(cu, row, fld::LCUDSOSTITUZIONE.name) == QLatin1String("1"))
        return Kind::Sostituzione;
    if (at(cu, row, fld::LCUDANNULLAMENTO.name) == QLatin1String("1"))
        return Kind::Annullamento;
    return Kind::Nessuna;
}

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Sostituzione: return QStringLiteral("Sostituzione");
    case Kind::Annullamento: return QStringLiteral("Annullamento");
    case Kind::Nessuna: break;
    }
    return QString();
}

Protocol parseProtocol(const QString &text, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{17})\\s*/\\s*(\\d{6})\\s*$"));
    const auto m = form.match(text);
    if (!m.hasMatch()) {
        if (error)
            *error = QStringLiteral("Protocollo non valido: \"%1\". Indicare IDENTIFICATIVO/PROGRESSIVO come "
                                    "nella ricevuta dell'Agenzia: 17 cifre, \"/\", 6 cifre "
                                    "(ad esempio 26031012345678901/000012).")
                         .arg(text);
        return {};
    }
    if (error)
        error->clear();
    return Protocol{m.captured(1), m.captured(2)};
}

QString describe(const TClientDataSet &cu, int row)
{
    return QStringLiteral("%1 %2 %3 (mese %4)")
        .arg(at(cu, row, fld::SCUDCODFIS.name), at(cu, row, fld::SCUDCOGNOME.name), at(cu, row, fld::SCUDNOME.name), at(cu, row, fld::SCUDMESE.name));
}

QString describeCorrection(const TClientDataSet &cu, int row)
{
    const Kind kind = kindOf(cu, row);
    if (kind == Kind::Nessuna)
        return QStringLiteral("nessuna correzione");
    const QString id = at(cu, row, fld::SCUDIDENTSERVTELE.name);
    const QString progr = at(cu, row, fld::SCUDPROGRDICH.name);
    if (id.isEmpty() && progr.isEmpty())
        return kindText(kind) + QStringLiteral(", protocollo mancante");
    return QStringLiteral("%1, protocollo %2/%3").arg(kindText(kind), id, progr);
}

QList<int> flaggedRows(const TClientDataSet &cu)
{
    QList<int> out;
    for (int r = 0; r < cu.recordCount(); ++r)
        if (kindOf(cu, r) != Kind::Nessuna)
            out << r;
    return out;
}

QStringList mixedSupply(const TClientDataSet &cu, const QList<int> &rows, bool correctionSupply)
{
    QStringList flagged, plain;
    for (const int recNo : rows) {
        const int r = recNo - 1;
        if (r < 0 || r >= cu.recordCount())
            continue;
        if (kindOf(cu, r) == Kind::Nessuna)
            plain << describe(cu, r);
        else
            flagged << describe(cu, r) + QStringLiteral(": ") + describeCorrection(cu, r);
    }
    if (flagged.isEmpty() || plain.isEmpty())
        return {};
    return correctionSupply ? plain : flagged;
}

QString mixedQuestion(const QStringList &lines, bool correctionSupply)
{
    const QString list = QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  "));
    if (correctionSupply)
        return QStringLiteral("La fornitura di correzione comprende %1 CU non segnati per sostituzione o annullamento:%2\n"
                              "Questi CU partirebbero come CU ordinari: per un percipiente già inviato l'Agenzia "
                              "riceverebbe un secondo CU. Per correggere un CU già inviato segnare nei Dati CU "
                              "\"Sostituzione\" o \"Annullamento\" con il protocollo.")
            .arg(lines.size())
            .arg(list);
    return QStringLiteral("La fornitura ordinaria comprende %1 CU segnati per sostituzione o annullamento:%2\n"
                          "Questi CU partirebbero come correzione di un CU già inviato. Una correzione si invia "
                          "da sola, scegliendo \"su Prenotazione\".")
        .arg(lines.size())
        .arg(list);
}

QString setCorrection(TTorDBCds &store, const QString &codFis, const QString &mese, Kind kind,
                      const Protocol &protocol)
{
    TClientDataSet ds;
    VelCuRepository(store).load(ds, kCud, TTorDBCds::AllMonths);
    const QString cf = codFis.trimmed().toUpper();
    QList<TBookmark> found;
    QStringList months;
    for (ds.first(); !ds.eof(); ds.next()) {
        if (ds.fieldByName(fld::SCUDCODFIS.qs()).asString().trimmed().toUpper() != cf)
            continue;
        const QString m = ds.fieldByName(fld::SCUDMESE.qs()).asString().trimmed();
        months << m;
        if (mese.isEmpty() || m.toInt() == mese.toInt())
            found << ds.bookmark();
    }
    if (months.isEmpty())
        throw EOvError(QStringLiteral("Nessun CU in archivio per il codice fiscale %1.").arg(cf));
    if (found.isEmpty())
        throw EOvError(QStringLiteral("Il codice fiscale %1 non ha un CU del mese %2 (mesi in archivio: %3).")
                           .arg(cf, mese, months.join(QStringLiteral(", "))));
    if (found.size() > 1)
        throw EOvError(QStringLiteral("Il codice fiscale %1 ha più CU (mesi %2): indicare il mese con --mese.")
                           .arg(cf, months.join(QStringLiteral(", "))));
    ds.gotoBookmark(found.first());
    const QString month = ds.fieldByName(fld::SCUDMESE.qs()).asString().trimmed();
    ds.edit();
    ds.fieldByName(fld::LCUDSOSTITUZIONE.qs()).setAsString(kind == Kind::Sostituzione ? QStringLiteral("1")
                                                                                             : QStringLiteral("0"));
    ds.fieldByName(fld::LCUDANNULLAMENTO.qs()).setAsString(kind == Kind::Annullamento ? QStringLiteral("1")
                                                                                             : QStringLiteral("0"));
    // a CU no longer corrected keeps no protocol: it would go out in record D
    ds.fieldByName(fld::SCUDIDENTSERVTELE.qs()).setValue(kind == Kind::Nessuna ? QVariant() : QVariant(protocol.identificativo));
    ds.fieldByName(fld::SCUDPROGRDICH.qs()).setValue(kind == Kind::Nessuna ? QVariant() : QVariant(protocol.progressivo));
    ds.post();
    // Only these fields are written: a correction of the CU's amounts saved
    // meanwhile on another workstation stays as it is.
    VelCuRepository(store).writeFields(ds, kCud,
                     {fld::LCUDSOSTITUZIONE.qs(), fld::LCUDANNULLAMENTO.qs(),
                      fld::SCUDIDENTSERVTELE.qs(), fld::SCUDPROGRDICH.qs()},
                     velCuStoreMonth(month));
    const int row = ds.recNo() - 1;
    return describe(ds, row) + QStringLiteral(": ") + describeCorrection(ds, row);
}

} // namespace VelCorrections
