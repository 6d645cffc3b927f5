#pragma once
// The framework parameters of this installation (workgroup, financial year,
// school year) are kept in "VelParametri.ini" in the usr folder, section
// [OVUC_Params], keys OVUP_DwgId, OVUP_AnfId and OVUP_AnsId, read and written
// through a parameter manager with that file as its storage.
//
// A fresh installation has no file: the program then takes the first
// configuration (school, school year, financial year) of the financial year
// 2025 found in the payroll tables, and writes the file once the school
// record of that configuration was read, so the next start uses the same one.
// An office with several configurations edits the file to choose another.
#include <QString>
#include "tor/util/TorCampagna.h"

class TdmRagParams;
class TOvParamManager;
class TClientDataSet;

namespace VelParametriUtente {

inline constexpr int DefaultYear = Campagna::AnnoFinanziario;

QString fileName(); // usr folder + "VelParametri.ini"

// Values found in the file replace those of `params`; missing keys leave
// them as they are. Nothing happens without a file.
void load(TOvParamManager &params, const QString &file = fileName());
void save(const TOvParamManager &params, const QString &file = fileName());

// When no workgroup is set: the financial year becomes 2025 (when unset) and
// the workgroup the first configuration of that year with accounting
// parameters ("QRY_PACO_ANF"); it stays 0 when there is none. Needs the open
// connection. Returns true when something was filled in.
bool applyDefaults(TdmRagParams &params);

// After the school record of the workgroup was read ("QRY_SED"): the year
// keys follow the configuration's own (IANFID, IANSID).
void takeYearsFrom(TOvParamManager &params, TClientDataSet &schoolRecord);

} // namespace VelParametriUtente
