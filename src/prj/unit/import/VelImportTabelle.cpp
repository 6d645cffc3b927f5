#include "VelImportTabelle.h"
#include "VelImportTables.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QSet>

using namespace VelImport;

TVelImportTabelle::TVelImportTabelle(TTorDBCds &store) : m_store(store)
{
    m_tutte = {{&m_cu, s(rec::TCUD_DATICUD::id.name)},          {&m_inps, s(rec::TCUDI_INPS::id.name)},
               {&m_inpdap, s(rec::TCUDN_INPDAP::id.name)},      {&m_inail, s(rec::TCUIN_INAIL::id.name)},
               {&m_altriEnti, s(rec::TCUDAE_ALTRIENTI::id.name)}, {&m_famCar, s(rec::TCUDC_CONFAMCARICO::id.name)},
               {&m_tfr, s(rec::TCUDT_TFR::id.name)},            {&m_annotazioni, s(rec::TCUDA_ANNOTAZIONI::id.name)},
               {&m_autonomo, s(rec::TASE_AUTSOMMEEROGATE::id.name)}};
}

void TVelImportTabelle::carica()
{
    if (m_lette && !m_scadute)
        return;
    // A CU is kept whole or replaced whole, never written back from here: a
    // stored text too long for its field does not stop the import that
    // replaces it (the supply, the print and the editor refuse it).
    TTorCutLongTexts cut(m_store);
    for (const Tabella &t : std::as_const(m_tutte))
        VelCuRepository(m_store).load(*t.ds, t.structure);
    indicizzaCu();
    m_lette = true;
    m_scadute = false;
}

const QString &TVelImportTabelle::struttura(TClientDataSet &ds) const
{
    for (const Tabella &t : m_tutte)
        if (t.ds == &ds)
            return t.structure;
    throw EAssertionFailed(QStringLiteral("Tabella della CU sconosciuta: %1").arg(ds.objectName()));
}

void TVelImportTabelle::salva(TClientDataSet &ds)
{
    const QString &structure = struttura(ds);
    ds.checkBrowseMode();
    const QList<TDeltaRow> delta = ds.delta();
    VelCuRepository(m_store).write(ds, structure);
    for (const TDeltaRow &r : delta) {
        QVariantList old;
        if (r.status() != TUpdateStatus::Inserted)
            for (int i = 0; i < r.fieldCount(); ++i)
                old << r.oldValue(i);
        m_modifiche.append({&ds, r.status(), r.bookmark(), old});
    }
}

void TVelImportTabelle::annullaDipendente()
{
    for (const Tabella &t : std::as_const(m_tutte)) {
        if (t.ds->modified())
            t.ds->cancel();
        if (t.ds->changeCount() > 0)
            t.ds->cancelUpdates();
    }
}

void TVelImportTabelle::annullaModifiche()
{
    // Newest first; a row deleted and put back gets a new bookmark, which
    // the older entries of the same row must follow.
    QHash<QPair<TClientDataSet *, TBookmark>, TBookmark> moved;
    auto current = [&](TClientDataSet *ds, TBookmark b) { return moved.value(qMakePair(ds, b), b); };
    QSet<TClientDataSet *> touched;
    for (auto it = m_modifiche.crbegin(); it != m_modifiche.crend(); ++it) {
        TClientDataSet &ds = *it->ds;
        touched.insert(&ds);
        if (ds.modified())
            ds.cancel();
        switch (it->status) {
        case TUpdateStatus::Inserted:
            ds.gotoBookmark(current(&ds, it->row));
            ds.deleteRecord();
            break;
        case TUpdateStatus::Deleted:
            ds.appendRecord(it->old);
            moved.insert(qMakePair(&ds, it->row), ds.bookmark());
            break;
        case TUpdateStatus::Modified:
            ds.gotoBookmark(current(&ds, it->row));
            ds.edit();
            for (int i = 0; i < it->old.size(); ++i)
                ds.field(i).setValue(it->old.at(i));
            ds.post();
            break;
        default:
            break;
        }
    }
    for (TClientDataSet *ds : touched)
        ds->mergeChangeLog();
    m_modifiche.clear();
    if (touched.contains(&m_cu))
        indicizzaCu();
}

void TVelImportTabelle::annullaSalvataggi()
{
    try {
        annullaModifiche();
    } catch (const std::exception &) {
        m_modifiche.clear();
        m_scadute = true;
    }
}

// ---- finding a CU by its key ----------------------------------------------------
// A run looks CUs up several times per employee: a key -> row table instead of
// walking the whole table each time (which made a long run quadratic).

QString TVelImportTabelle::chiaveCu(const QString &codFis, const QString &mese)
{
    return codFis.trimmed().toUpper() + QLatin1Char('/') + mese;
}

void TVelImportTabelle::indicizzaCu()
{
    m_indiceCu.clear();
    const int fCf = m_cu.fieldIndex(s(fld::SCUDCODFIS.name));
    const int fMese = m_cu.fieldIndex(s(fld::SCUDMESE.name));
    for (int r = 0; r < m_cu.recordCount(); ++r)
        m_indiceCu.insert(chiaveCu(m_cu.valueAt(r, fCf).toString(), m_cu.valueAt(r, fMese).toString()),
                          m_cu.bookmarkAt(r));
}

void TVelImportTabelle::ricordaCu()
{
    m_indiceCu.insert(chiaveCu(m_cu.fieldByName(s(fld::SCUDCODFIS.name)).asString(), m_cu.fieldByName(s(fld::SCUDMESE.name)).asString()),
                      m_cu.bookmark());
}

bool TVelImportTabelle::trovaCu(const QString &codFis, const QString &mese)
{
    const QString key = chiaveCu(codFis, mese);
    const auto it = m_indiceCu.constFind(key);
    if (it == m_indiceCu.constEnd() || !m_cu.bookmarkValid(it.value()))
        return false;
    m_cu.gotoBookmark(it.value());
    if (chiaveCu(m_cu.fieldByName(s(fld::SCUDCODFIS.name)).asString(), m_cu.fieldByName(s(fld::SCUDMESE.name)).asString()) == key)
        return true;
    // Out of date: the table decides.
    indicizzaCu();
    if (!m_indiceCu.contains(key))
        return false;
    m_cu.gotoBookmark(m_indiceCu.value(key));
    return true;
}

// ---- a CU's rows -------------------------------------------------------------------

void TVelImportTabelle::allineaCu(const QString &codFis, const QString &mese)
{
    const qint64 stored = VelCuRepository(m_store).findPerson(codFis, mese);
    qint64 held = 0;
    if (trovaCu(codFis, mese))
        held = m_cu.fieldByName(s(fld::iAfiID.name)).asInteger();
    if (stored == 0 && held == 0)
        return;
    togliCu(codFis, mese, held);
    if (stored != 0 && stored != held)
        togliCu(codFis, mese, stored);
    m_letta.clear();
    if (stored == 0)
        return;
    // The version before the rows: a CU written after this reading is not
    // replaced from it (eliminaCu writes over this version only).
    m_letta = VelCuRepository(m_store).versionsOf({stored});
    TTorCutLongTexts cut(m_store);
    for (const Tabella &t : std::as_const(m_tutte)) {
        TClientDataSet &ds = *t.ds;
        TClientDataSet fresh;
        VelCuRepository(m_store).load(fresh, t.structure, TTorDBCds::Default, TTorDBCds::Default, stored);
        if (fresh.isEmpty())
            continue;
        const TDataSetEvents handlers = ds.detachEvents();
        for (int r = 0; r < fresh.recordCount(); ++r) {
            QVariantList values;
            for (int f = 0; f < ds.fieldCount(); ++f) {
                const int from = fresh.fieldIndex(ds.fieldDefs().at(f).name);
                values << (from >= 0 ? fresh.valueAt(r, from) : QVariant());
            }
            ds.appendRecord(values);
            if (&ds == &m_cu)
                ricordaCu();
        }
        ds.mergeChangeLog();
        ds.attachEvents(handlers);
    }
}

// Drops from the run's tables (not from the store) the rows of one CU.
void TVelImportTabelle::togliCu(const QString &codFis, const QString &mese, qint64 afi)
{
    for (const Tabella &t : std::as_const(m_tutte)) {
        const TDataSetEvents handlers = t.ds->detachEvents();
        if (eliminaRighe(*t.ds, codFis, mese, afi))
            t.ds->mergeChangeLog();
        t.ds->attachEvents(handlers);
    }
    m_indiceCu.remove(chiaveCu(codFis, mese));
}

// Deletes from a table of the run the rows of one CU: by its person key, or
// by tax code and month (rows rebuilt elsewhere may carry only the key and
// the tax code). True when a row went.
bool TVelImportTabelle::eliminaRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi)
{
    const int fAfi = ds.fieldIndex(s(fld::iAfiID.name));
    const int fCf = ds.fieldIndex(s(fld::SCUDCODFIS.name));
    const int fMese = ds.fieldIndex(s(fld::SCUDMESE.name));
    bool deleted = false;
    ds.first();
    while (!ds.eof()) {
        const bool byKey = afi > 0 && fAfi >= 0 && ds.field(fAfi).asInteger() == afi;
        const bool byCode = fCf >= 0 && fMese >= 0 && ds.field(fCf).asString().compare(codFis, Qt::CaseInsensitive) == 0
                            && ds.field(fMese).asString() == mese;
        if (byKey || byCode) {
            ds.deleteRecord();
            deleted = true;
        } else {
            ds.next();
        }
    }
    return deleted;
}

void TVelImportTabelle::eliminaCu(const QString &codFis, const QString &mese)
{
    const qint64 afi = m_cu.fieldByName(s(fld::iAfiID.name)).asInteger();
    TTorVersionedWrites sopra(m_store, m_letta);
    // Every section of the CU goes with it, the INPS rows too: the INPS
    // builder adds rows without looking for old ones, so rows left here
    // would be doubled by the new import. This is the only place old
    // section rows are deleted; the tables go in the order the build
    // writes them.
    for (TClientDataSet *ds : {&m_inps, &m_inpdap, &m_famCar, &m_autonomo, &m_inail, &m_altriEnti, &m_tfr,
                               &m_annotazioni})
        if (eliminaRighe(*ds, codFis, mese, afi))
            salva(*ds);
    if (!trovaCu(codFis, mese))
        throw EAssertionFailed(QStringLiteral("CU da sostituire non più presente"));
    m_indiceCu.remove(chiaveCu(codFis, mese));
    m_cu.deleteRecord();
    salva(m_cu);
}

bool TVelImportTabelle::haRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi)
{
    const int fAfi = ds.fieldIndex(s(fld::iAfiID.name));
    const int fCf = ds.fieldIndex(s(fld::SCUDCODFIS.name));
    const int fMese = ds.fieldIndex(s(fld::SCUDMESE.name));
    for (int r = 0; r < ds.recordCount(); ++r) {
        if (afi > 0 && fAfi >= 0 && ds.valueAt(r, fAfi).toLongLong() == afi)
            return true;
        if (fCf >= 0 && fMese >= 0 && ds.valueAt(r, fCf).toString().compare(codFis, Qt::CaseInsensitive) == 0
            && ds.valueAt(r, fMese).toString() == mese)
            return true;
    }
    return false;
}
