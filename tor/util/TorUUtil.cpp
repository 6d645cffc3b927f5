#include "TorUUtil.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvParamManager.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace TorUtil {

void loadClientDataSet(TClientDataSet &ds, const QString &fileName)
{
    const QString notice = restoreFromBackup(fileName);
    if (!notice.isEmpty())
        OvMessageBox(notice, MB_OK | MB_ICONWARNING);
    ds.loadFromFile(fileName);
}

QString restoreFromBackup(const QString &fileName)
{
    if (QFileInfo::exists(fileName))
        return {};
    const QString bak = backupFileName(fileName);
    const QFileInfo b(bak);
    if (!b.exists())
        return {};
    const QString file = QDir::toNativeSeparators(fileName);
    if (!b.isFile())
        throw EOvError(QStringLiteral("Il file \"%1\" non esiste e al posto della sua copia di sicurezza "
                                      "\"%2\" c'è una cartella: impossibile recuperarlo.")
                           .arg(file, QDir::toNativeSeparators(bak)));
    if (!QFile::rename(bak, fileName))
        throw EOvError(QStringLiteral("Il file \"%1\" non esiste e non è stato possibile recuperarlo dalla "
                                      "copia di sicurezza \"%2\".")
                           .arg(file, QDir::toNativeSeparators(bak)));
    return QStringLiteral("Il file \"%1\" non è stato trovato: è stato recuperato dalla copia di sicurezza "
                          "\"%2\" lasciata da un salvataggio interrotto.")
        .arg(file, QDir::toNativeSeparators(bak));
}

QString backupFileName(const QString &fileName)
{
    const QFileInfo fi(fileName);
    const QString base = fi.completeSuffix().isEmpty()
        ? fileName
        : fileName.left(fileName.size() - fi.completeSuffix().size() - 1);
    return base + QStringLiteral(".BAK");
}

void saveWithBackup(TClientDataSet &ds, const QString &fileName)
{
    const QString bak = backupFileName(fileName);
    const bool hadFile = QFileInfo::exists(fileName);
    if (hadFile) {
        // A backup left behind by an interrupted save would block every later
        // save: the file about to be written supersedes it.
        if (QFileInfo(bak).isFile() && !QFile::remove(bak))
            throw EOvError(QStringLiteral("Impossibile creare file di backup: ") + bak);
        if (QFileInfo::exists(bak) || !QFile::rename(fileName, bak))
            throw EOvError(QStringLiteral("Impossibile creare file di backup: ") + bak);
    }
    ds.mergeChangeLog();
    try {
        ds.saveToFile(fileName);
    } catch (...) {
        // Never leave the caller without its file: put the previous one back.
        if (hadFile) {
            QFile::remove(fileName);
            QFile::rename(bak, fileName);
        }
        throw;
    }
    if (hadFile && !QFile::remove(bak))
        throw EOvError(QStringLiteral("Impossibile eliminare file di backup: ") + bak);
}

QDate firstDayOfMonth(int year, int month)
{
    return QDate(year, month, 1);
}

QDate lastDayOfMonth(int year, int month)
{
    const QDate first(year, month, 1);
    return first.isValid() ? QDate(year, month, first.daysInMonth()) : QDate();
}

bool reopenOnKey(TClientDataSet &ds, const QString &paramName, int value, bool force)
{
    bool reopen = force || !ds.active() || ds.isEmpty();
    if (!reopen) {
        const TField f = ds.findField(paramName);
        reopen = f.isValid() && (f.isNull() || f.asInteger() != value);
    }
    if (!reopen)
        return false;
    ds.close();
    ds.paramByName(paramName).setAsInteger(value);
    ds.open();
    return true;
}

namespace {

QVariant defaultFor(TFieldType type, const QVariant &defaultValue)
{
    if (defaultValue.isValid())
        return defaultValue;
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
        return QString();
    case TFieldType::Integer:
        return qlonglong(0);
    case TFieldType::Currency:
        return QVariant::fromValue(Currency());
    case TFieldType::Float:
        return 0.0;
    default:
        return QVariant();
    }
}

bool isNullValue(const QVariant &v) { return !v.isValid() || v.isNull(); }

} // namespace

QVariant fieldValueOrDefault(const TDeltaRow &row, const QString &fieldName, const QVariant &defaultValue)
{
    const int idx = row.fieldIndex(fieldName);
    if (idx < 0)
        throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(fieldName));
    // A deleted row has only old values; a field cleared in an edit stays cleared.
    const QVariant v = row.status() == TUpdateStatus::Deleted ? row.oldValue(idx) : row.newValue(idx);
    return isNullValue(v) ? defaultFor(row.fieldDefs().at(idx).type, defaultValue) : v;
}

QVariant fieldValueOrDefault(const TClientDataSet &ds, const QString &fieldName, const QVariant &defaultValue)
{
    TField f = const_cast<TClientDataSet &>(ds).fieldByName(fieldName);
    const QVariant v = f.value();
    return isNullValue(v) ? defaultFor(f.dataType(), defaultValue) : v;
}

QString conditionJoin(const QString &filter, const QString &condition)
{
    if (condition.trimmed().isEmpty())
        return filter;
    if (filter.trimmed().isEmpty())
        return condition;
    return filter + QStringLiteral(" AND ") + condition;
}

int workgroupId()
{
    const TOvParamManager *pm = OvMainParams();
    return pm ? pm->intValue(QStringLiteral("OVUP_DwgId")) : 0;
}

} // namespace TorUtil
