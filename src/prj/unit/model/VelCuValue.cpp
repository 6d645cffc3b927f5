#include "src/prj/unit/model/VelCuValue.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "velcu/VelFields.h"

namespace {

// The person no CU has: a load of it gives a structure's fields and no row.
constexpr qint64 kNoPerson = 0;

} // namespace

TVelCuValue::TVelCuValue()
{
    m_parts = {{&m_cu, rec::TCUD_DATICUD::id.qs()},          {&m_inps, rec::TCUDI_INPS::id.qs()},
               {&m_inpdap, rec::TCUDN_INPDAP::id.qs()},      {&m_famCar, rec::TCUDC_CONFAMCARICO::id.qs()},
               {&m_autonomo, rec::TASE_AUTSOMMEEROGATE::id.qs()}, {&m_inail, rec::TCUIN_INAIL::id.qs()},
               {&m_altriEnti, rec::TCUDAE_ALTRIENTI::id.qs()}, {&m_tfr, rec::TCUDT_TFR::id.qs()},
               {&m_annotazioni, rec::TCUDA_ANNOTAZIONI::id.qs()}};
}

void TVelCuValue::prepare(const VelCuRepository &repo)
{
    if (m_prepared)
        return;
    for (const Part &p : std::as_const(m_parts))
        repo.load(*p.ds, p.structure, TTorDBCds::Default, TTorDBCds::Default, kNoPerson);
    m_prepared = true;
}

void TVelCuValue::clear()
{
    for (const Part &p : std::as_const(m_parts)) {
        if (p.ds->state() != TDataSetState::Browse)
            p.ds->cancel();
        p.ds->emptyDataSet();
        p.ds->mergeChangeLog();
    }
}
