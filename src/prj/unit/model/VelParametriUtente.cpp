#include "src/prj/unit/model/VelParametriUtente.h"

#include "platform/core/OvParamManager.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/params/dmRagParams.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"

#include <QFileInfo>

namespace VelParametriUtente {

namespace {

const QStringList &names()
{
    static const QStringList n{TdmRagParams::ParDwgId, TdmRagParams::ParAnfId, TdmRagParams::ParAnsId};
    return n;
}

// A manager on the file with the same parameters as the program's.
TOvParamManager onFile(const QString &file)
{
    TOvParamManager m(file);
    for (const QString &name : names())
        m.declare(name, TdmRagParams::GroupParams);
    return m;
}

} // namespace

QString fileName()
{
    return TorFolders::usrDir() + QStringLiteral("VelParametri.ini");
}

void load(TOvParamManager &params, const QString &file)
{
    if (!QFileInfo::exists(file))
        return;
    TOvParamManager stored = onFile(file);
    stored.load();
    for (const QString &name : names()) {
        bool ok = false;
        const int v = stored.value(name).toInt(&ok);
        if (ok)
            params.assign(name, v);
    }
}

void save(const TOvParamManager &params, const QString &file)
{
    TOvParamManager stored = onFile(file);
    for (const QString &name : names())
        stored.assign(name, params.intValue(name));
    stored.save();
}

bool applyDefaults(TdmRagParams &params)
{
    TOvParamManager &pm = params.xpmOvuParams;
    if (pm.intValue(TdmRagParams::ParDwgId) > 0)
        return false;
    if (pm.intValue(TdmRagParams::ParAnfId) <= 0)
        pm.assign(TdmRagParams::ParAnfId, TorAnni::toKey(DefaultYear));
    // The accounting parameters are those of the year just set.
    params.qquPaco.close();
    const QVariant dwg = params.accountingParam(QStringLiteral("IDWGANFID"));
    params.qquPaco.close();
    pm.assign(TdmRagParams::ParDwgId, dwg.isNull() ? 0 : dwg.toInt());
    return true;
}

void takeYearsFrom(TOvParamManager &params, TClientDataSet &schoolRecord)
{
    if (!schoolRecord.active() || schoolRecord.isEmpty())
        return;
    const TField anf = schoolRecord.findField(QStringLiteral("IANFID"));
    const TField ans = schoolRecord.findField(QStringLiteral("IANSID"));
    if (anf.isValid() && !anf.isNull())
        params.assign(TdmRagParams::ParAnfId, int(anf.asInteger()));
    if (ans.isValid() && !ans.isNull())
        params.assign(TdmRagParams::ParAnsId, int(ans.asInteger()));
}

} // namespace VelParametriUtente
