#include "src/prj/unit/telematic/VelFileTables.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "tor/util/TorFolders.h"
#include "tor/util/TorUUtil.h"

#include <QDir>
#include <QFileInfo>

namespace VelFileTables {

namespace {

QList<TFieldDef> fieldDefs()
{
    return {{QStringLiteral("SFIFICODREC"), TFieldType::String, 1},
            {QStringLiteral("SFIFIPROGRE"), TFieldType::String, 18},
            {QStringLiteral("SFIFIRECORD"), TFieldType::String, 0}};
}

QList<TFieldDef> recordDefs()
{
    return {{QStringLiteral("SFILECODREC"), TFieldType::String, 1},
            {QStringLiteral("SFILEPROGRE"), TFieldType::String, 18},
            {QStringLiteral("SFILERECORD"), TFieldType::Blob, 0},
            {QStringLiteral("IFILEPROGRE"), TFieldType::Integer, 0}};
}

// The loaded dataset has every column of the table with its type.
bool hasColumns(const TClientDataSet &ds, const QList<TFieldDef> &defs)
{
    for (const TFieldDef &d : defs) {
        const int i = ds.fieldIndex(d.name);
        if (i < 0 || ds.fieldDefs().at(i).type != d.type)
            return false;
    }
    return true;
}

} // namespace

QString fieldFilePath()
{
    return TorFolders::resolveFile(TorFolders::kzDatiDir(), QString::fromLatin1(FieldFileName));
}

QString recordFilePath()
{
    return TorFolders::resolveFile(TorFolders::kzDatiDir(), QString::fromLatin1(RecordFileName));
}

void createFieldTable(TClientDataSet &ds)
{
    ds.close();
    ds.setFieldDefs(fieldDefs());
    ds.createDataSet();
}

void createRecordTable(TClientDataSet &ds)
{
    ds.close();
    ds.setFieldDefs(recordDefs());
    ds.createDataSet();
    ds.setIndexFieldNames(QString::fromLatin1(RecordIndex));
}

void openFieldTableForGeneration(TClientDataSet &ds)
{
    ds.setFilter(QString());
    ds.setFiltered(false);
    ds.setIndexFieldNames(QString());
    createFieldTable(ds);
}

void openRecordTableForGeneration(TClientDataSet &ds)
{
    ds.setFilter(QString());
    ds.setFiltered(false);
    ds.setIndexFieldNames(QString());
    createRecordTable(ds);
}

void loadFieldTable(TClientDataSet &ds, const QString &path, const std::function<void(const QString &)> &warn)
{
    const QString restored = TorUtil::restoreFromBackup(path);
    if (!restored.isEmpty()) {
        if (warn)
            warn(restored);
        else
            TVelUnattendedRunHost::instance().notice(restored, TVelNotice::Warning);
    }
    if (!QFileInfo::exists(path))
        throw EOvError(QStringLiteral("Tabella dei campi del file telematico non trovata: %1. "
                                      "Generare di nuovo il file telematico.")
                           .arg(QDir::toNativeSeparators(path)));
    try {
        ds.setFilter(QString());
        ds.setFiltered(false);
        ds.setIndexFieldNames(QString());
        ds.loadFromFile(path);
    } catch (const EOvException &e) {
        throw EOvError(QStringLiteral("Tabella dei campi del file telematico illeggibile: %1").arg(e.message()));
    }
    if (!hasColumns(ds, fieldDefs()))
        throw EOvError(QStringLiteral("Tabella dei campi del file telematico non valida: %1")
                           .arg(QDir::toNativeSeparators(path)));
}

void saveTable(TClientDataSet &ds, const QString &path)
{
    ovTryMakePath(QFileInfo(path).absolutePath());
    TorUtil::saveWithBackup(ds, path);
}

} // namespace VelFileTables
