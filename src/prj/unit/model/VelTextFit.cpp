#include "src/prj/unit/model/VelTextFit.h"

#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRecordModel.h"

namespace VelTextFit {

QString boxName(const QString &structure, const QString &field)
{
    const VelStructureDesc *st = VelRecordModel::instance().findStructure(structure);
    const VelFieldDesc *fd = st ? st->field(field) : nullptr;
    if (fd && !fd->box.isEmpty())
        return QStringLiteral("punto %1 \"%2\"").arg(fd->box, fd->caption());
    if (fd && !fd->label.isEmpty())
        return QStringLiteral("campo \"%1\"").arg(fd->caption());
    return QStringLiteral("campo %1").arg(field);
}

void setText(TClientDataSet &ds, const QString &structure, const QString &field, const QString &value,
             const QString &who)
{
    TField f = ds.fieldByName(field);
    const TFieldDef &def = ds.fieldDefs().at(ds.fieldIndex(field));
    if (def.type == TFieldType::String && def.size > 0 && value.size() > def.size)
        throw EVelError(QStringLiteral("Percipiente %1: il valore \"%2\" (%3 caratteri) non entra nel %4, che ne "
                                       "contiene %5. Correggere il dato di origine e ripetere l'importazione.")
                            .arg(who, value, QString::number(value.size()), boxName(structure, field),
                                 QString::number(def.size)),
                        {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Costruzione});
    f.setValue(value);
}

EVelError fromStore(const ETorTextTooLong &e)
{
    // the agent's own structures have the agent for person, the CU's the payee
    const QString st = e.structure.toUpper();
    const bool agent = st.startsWith(QLatin1String("TCUS_")) || st.startsWith(QLatin1String("TCFO_"))
                       || st.startsWith(QLatin1String("TCUCT_"));
    return EVelError(QStringLiteral("%1 %2: il valore \"%3\" (%4 caratteri) del %5 in archivio non entra nel campo, "
                                    "che ne contiene %6; non viene troncato. %7")
                         .arg(agent ? QStringLiteral("Sostituto d'imposta") : QStringLiteral("Percipiente"),
                              e.person(), e.value, QString::number(e.value.size()), boxName(e.structure, e.field),
                              QString::number(e.size),
                              agent ? QStringLiteral("Correggere il dato in \"Dati Sostituto\".")
                                    : QStringLiteral("Correggere il dato di origine e ripetere l'importazione del "
                                                     "percipiente.")),
                     {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Lettura});
}

void load(TTorDBCds &store, TClientDataSet &ds, const QString &structure, int month, int year, int person)
{
    try {
        store.Load(ds, structure, month, year, person);
    } catch (const ETorTextTooLong &e) {
        throw fromStore(e);
    }
}

} // namespace VelTextFit
