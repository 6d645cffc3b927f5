// What the print reads from the store and what it writes back: the CUs and
// their sections read in one snapshot with their versions, and the lock of
// exactly the versions printed.
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "velcu/VelFields.h"

using namespace VelCuPrintData;

namespace {

const QString kGone = QStringLiteral("non stampata: eliminata da un'altra postazione dopo l'apertura dell'elenco");
const QString kChanged = QStringLiteral("non bloccata: modificata da un'altra postazione dopo la stampa");
const QString kReplaced =
    QStringLiteral("non bloccata: eliminata o importata di nuovo da un'altra postazione dopo la stampa");

} // namespace

void TVelCuPrint::open()
{
    const VelCuRepository repo(m_store);
    VelCuRepository::Snapshot snapshot(repo);
    cdsMultiSelect.setFiltered(false);
    repo.load(cdsMultiSelect, kCud, TTorDBCds::AllMonths);
    m_readVersions = repo.versions();
    snapshot.end();
    cdsMultiSelect.setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE"));
    cdsMultiSelect.first();
}

void TVelCuPrint::reload(TClientDataSet &ds, const QString &structure)
{
    ds.setFiltered(false);
    VelCuRepository(m_store).load(ds, structure, TTorDBCds::AllMonths);
}

void TVelCuPrint::reloadSections()
{
    reload(*m_stampe.cdsSost, rec::TCUS_DATISOST::id.qs());
    reload(*m_stampe.cdsQuadroCT, rec::TCUCT_DATICT::id.qs());
    reload(cdsInps, rec::TCUDI_INPS::id.qs());
    reload(cdsInpdap, rec::TCUDN_INPDAP::id.qs());
    reload(cdsPdfSost, rec::TCUS_DATISOST::id.qs());
    reload(cdsPdfConFamCar, rec::TCUDC_CONFAMCARICO::id.qs());
    reload(cdsPdfTfr, rec::TCUDT_TFR::id.qs());
    reload(cdsPdfAnnotazioni, rec::TCUDA_ANNOTAZIONI::id.qs());
    reload(cdsPdfAltrisost, rec::TCUAS_DATIALTRISOST::id.qs());
    reload(cdsInail, rec::TCUIN_INAIL::id.qs());
    reload(cdsAltriEnti, rec::TCUDAE_ALTRIENTI::id.qs());
    reload(cdsAutonomo, rec::TASE_AUTSOMMEEROGATE::id.qs());
    reload(cdsCoopArt, rec::TCUDCA_COOPART::id.qs());
}

// Everything a document prints comes from one moment of the store: a
// correction committed by another workstation while the pages are made is
// in none of them, and the lock then finds the CU changed.
QList<TBookmark> TVelCuPrint::readForPrint(const QList<TBookmark> &rows)
{
    const VelCuRepository repo(m_store);
    VelCuRepository::Snapshot snapshot(repo);
    reloadSections();
    const TTorVersions now = repo.versions();
    m_cuRows = std::make_unique<TClientDataSet>();
    repo.load(*m_cuRows, kCud, TTorDBCds::AllMonths);
    snapshot.end();
    return refreshRows(rows, now);
}

// The rows of the selection whose CU changed since the list was read take
// the CU as the snapshot holds it (a CU imported again is the same payee and
// month under a new person); a CU no longer stored is not printed.
QList<TBookmark> TVelCuPrint::refreshRows(const QList<TBookmark> &rows, const TTorVersions &now)
{
    TClientDataSet &latest = *m_cuRows;
    QHash<QString, TBookmark> byKey;
    for (latest.first(); !latest.eof(); latest.next())
        byKey.insert(text(latest, fld::SCUDCODFIS).trimmed().toUpper() + QLatin1Char('|') + text(latest, fld::SCUDMESE),
                     latest.bookmark());
    QList<int> from;
    for (const TFieldDef &d : cdsMultiSelect.fieldDefs())
        from << latest.fieldIndex(d.name);

    const TField person = cdsMultiSelect.fieldByName(fld::iAfiID.qsUpper());
    QList<TBookmark> out;
    for (const TBookmark b : rows) {
        cdsMultiSelect.gotoBookmark(b);
        qint64 p = person.asInteger();
        if (!now.contains(p) || now.value(p) != m_readVersions.value(p, -1)) {
            const auto it = byKey.constFind(text(cdsMultiSelect, fld::SCUDCODFIS).trimmed().toUpper() + QLatin1Char('|')
                                            + text(cdsMultiSelect, fld::SCUDMESE));
            if (it == byKey.cend()) {
                m_notLocked.insert(b, kGone);
                continue;
            }
            latest.gotoBookmark(*it);
            cdsMultiSelect.edit();
            for (int i = 0; i < from.size(); ++i)
                if (from.at(i) >= 0)
                    cdsMultiSelect.field(i).setValue(latest.field(from.at(i)).value());
            cdsMultiSelect.post();
            p = person.asInteger();
            m_readVersions.insert(p, now.value(p));
        }
        m_printed.insert(b, {p, now.value(p), text(cdsMultiSelect, fld::SCUDCODFIS), text(cdsMultiSelect, fld::SCUDMESE)});
        out << b;
    }
    cdsMultiSelect.mergeChangeLog();
    return out;
}

// Each CU is locked over the version printed, its rebuilt annotation rows
// stored in the same transaction; a CU changed since is left as it is and
// named. One transaction: on a database error nothing of it is locked.
void TVelCuPrint::lockPrinted(const QList<TBookmark> &rows)
{
    if (draft)
        return;
    QList<VelCuRef> cus;
    QHash<qint64, TBookmark> rowOf;
    for (const TBookmark b : rows) {
        if (m_locked.contains(b) || m_notLocked.contains(b) || !m_printed.contains(b))
            continue;
        const VelCuRef &cu = m_printed[b];
        cus << cu;
        rowOf.insert(cu.person, b);
    }
    if (cus.isEmpty())
        return;
    const VelCuRepository repo(m_store);
    const VelCuRepository::LockResult result = repo.lock(
        cus,
        [&](const QSet<qint64> &locked) {
            QSet<QString> keys;
            for (const qint64 p : locked)
                keys.insert(cuKey(rowOf.value(p)));
            m_annotations.save(keys);
        },
        m_cuRows.get());
    const TField shown = cdsMultiSelect.fieldByName(fld::iCudStato.qs());
    for (const VelCuRef &cu : result.locked) {
        const TBookmark b = rowOf.value(cu.person);
        cdsMultiSelect.gotoBookmark(b);
        if (shown.asString().toInt() < 1) {
            ++m_newlyLocked;
            cdsMultiSelect.edit();
            shown.setValue(1);
            cdsMultiSelect.post();
        }
        m_locked.insert(b);
    }
    for (const VelCuRef &cu : result.changed)
        m_notLocked.insert(rowOf.value(cu.person), cu.version == 0 ? kReplaced : kChanged);
    cdsMultiSelect.mergeChangeLog();
}
