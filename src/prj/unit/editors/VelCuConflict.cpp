#include "src/prj/unit/editors/VelCuConflict.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "velcu/VelFields.h"

namespace VelCuConflict {

namespace {

constexpr int kShown = 12;

QString shown(const QVariant &v)
{
    const QString t = v.isNull() ? QString() : v.toString().trimmed();
    return t.isEmpty() ? QStringLiteral("(vuoto)") : t;
}

} // namespace

QStringList changes(TTorDBCds &store, TClientDataSet &ds, const QString &structure,
                    const ETorChangedMeanwhile::Person &person)
{
    // the row as this editor read it
    const QList<TDeltaRow> delta = ds.delta();
    const TDeltaRow *mine = nullptr;
    for (const TDeltaRow &r : delta)
        if (r.status() != TUpdateStatus::Inserted && r.oldValue(fld::iAfiID.qs()).toLongLong() == person.key) {
            mine = &r;
            break;
        }
    // the CU as stored now: the same person, or the payee and month imported again
    qint64 now = person.found > 0 ? person.key : 0;
    if (now == 0 && !person.codFis.isEmpty())
        now = VelCuRepository(store).findPerson(person.codFis, person.group, velCuStoreMonth(person.group));
    if (now == 0)
        return {QStringLiteral("la CU non è più in archivio")};
    TClientDataSet stored;
    VelCuRepository(store).load(stored, structure, TTorDBCds::AllMonths, TTorDBCds::Default, now);
    if (stored.isEmpty())
        return {QStringLiteral("la CU non ha più righe di questa sezione in archivio")};
    if (!mine)
        return {};
    stored.first();

    QStringList out;
    int more = 0;
    const VelStructureDesc *st = VelRecordModel::instance().findStructure(structure);
    if (!st)
        return out;
    for (const VelFieldDesc &f : st->fields) {
        const int there = stored.fieldIndex(f.name);
        if (there < 0 || mine->fieldIndex(f.name) < 0)
            continue;
        const QVariant was = mine->oldValue(f.name);
        const QVariant is = stored.field(there).value();
        if (shown(was) == shown(is))
            continue;
        if (f.name.compare(fld::iCudStato.l1(), Qt::CaseInsensitive) == 0) {
            out.prepend(is.toInt() > 0 ? QStringLiteral("la CU è stata stampata (ora è bloccata)")
                                       : QStringLiteral("la CU è stata sbloccata"));
            continue;
        }
        if (out.size() >= kShown) {
            ++more;
            continue;
        }
        out << QStringLiteral("%1: %2 → %3").arg(VelTextFit::boxName(structure, f.name), shown(was), shown(is));
    }
    if (more > 0)
        out << QStringLiteral("… e altri %1 campi").arg(more);
    return out;
}

bool askReload(const ETorChangedMeanwhile &e, const QStringList &changes)
{
    QString text = e.message();
    if (!changes.isEmpty())
        text += QStringLiteral("\n\nCosa è cambiato nell'archivio:\n - ") + changes.join(QStringLiteral("\n - "));
    text += QStringLiteral("\n\nRileggere la CU dall'archivio? Le modifiche non salvate andranno perse.\n"
                           "Rispondendo No restano a video, non salvate: per salvarle occorre rileggere la CU "
                           "e riportarle.");
    return OvMessageBox(text, MB_YESNO | MB_ICONWARNING) == IDYES;
}

} // namespace VelCuConflict
