#include "src/prj/unit/shell/VelAnnoFin.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorFolders.h"
#include "tor/util/TorUUtil.h"

#include <QFileInfo>

namespace VelAnnoFin {

namespace {
const QString kField = QStringLiteral("SCUAANNOFIN");

void makeEmpty(TClientDataSet &ds)
{
    ds.close();
    ds.clearFieldDefs();
    ds.addFieldDef(kField, TFieldType::String, 4);
    ds.createDataSet();
}
} // namespace

Remembered load(TClientDataSet &cdsAnnoFin, const QString &resDir)
{
    const QString file = TorFolders::resolveFile(resDir, QStringLiteral("TCUA_ANNOFIN.cds"));
    Remembered r;
    QString restored;
    try {
        restored = TorUtil::restoreFromBackup(file);
    } catch (const EOvException &e) {
        restored = e.message();
    }
    if (!QFileInfo::exists(file)) {
        makeEmpty(cdsAnnoFin);
        r.year = FirstYear;
        r.warning = QStringLiteral("File dell'anno finanziario non trovato (%1): si parte dal %2.").arg(file, FirstYear);
        if (!restored.isEmpty())
            r.warning.prepend(restored + QStringLiteral("\r\n"));
        return r;
    }
    try {
        TorUtil::loadClientDataSet(cdsAnnoFin, file);
        if (!cdsAnnoFin.findField(kField).isValid())
            throw EDatabaseError(QStringLiteral("manca il campo %1").arg(kField));
    } catch (const EOvException &e) {
        makeEmpty(cdsAnnoFin);
        r.year = FirstYear;
        r.warning = QStringLiteral("File dell'anno finanziario non leggibile (%1): si parte dal %2.\r\n%3")
                        .arg(file, FirstYear, e.message());
        return r;
    }
    r.warning = restored;
    cdsAnnoFin.last();
    r.year = cdsAnnoFin.isEmpty() ? QString() : cdsAnnoFin.fieldByName(kField).asString();
    if (r.year.isEmpty()) {
        r.year = FirstYear;
        if (cdsAnnoFin.isEmpty())
            r.warning = QStringLiteral("File dell'anno finanziario vuoto (%1): si parte dal %2.").arg(file, FirstYear);
    }
    return r;
}

void confirm(const QString &text, TClientDataSet &cdsAnnoFin, TTorDBCds *store, const QString &resDir)
{
    if (text != FirstYear && text != LastYear)
        throw EOvError(QStringLiteral("L'anno finanziario deve essere compreso tra %1 e %2.").arg(FirstYear, LastYear));
    if (store) {
        store->setYear(text.toInt());
        store->setMonth(TTorDBCds::AllMonths);
    }
    if (!cdsAnnoFin.active() || !cdsAnnoFin.findField(kField).isValid())
        makeEmpty(cdsAnnoFin);
    if (!cdsAnnoFin.isEmpty())
        cdsAnnoFin.deleteRecord();
    cdsAnnoFin.append();
    cdsAnnoFin.fieldByName(kField).setAsString(text);
    cdsAnnoFin.post();
    // the office's copy may be the first one in its folder
    ovTryMakePath(resDir);
    TorUtil::saveWithBackup(cdsAnnoFin, TorFolders::resolveFile(resDir, QStringLiteral("TCUA_ANNOFIN.CDS")));
}

} // namespace VelAnnoFin
