#pragma once
// Small types shared by the client dataset, its fields, its file format and its views.
#include <QFlags>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class TClientDataSet;
namespace dsinternal {
class ChangeLog;
}

enum class TFieldType { String, Integer, Currency, Float, Date, DateTime, Boolean, Memo, Blob };

// "String", "Integer", ... (the names used in dataset files); fieldTypeFromName is
// case-insensitive and returns false for an unknown name.
QString fieldTypeName(TFieldType type);
bool fieldTypeFromName(const QString &name, TFieldType *type);

struct TFieldDef
{
    QString name;
    TFieldType type = TFieldType::String;
    int size = 0; // String: maximum length in characters (0 = unlimited); ignored otherwise
};

enum class TDataSetState { Inactive, Browse, Edit, Insert };

enum class TUpdateStatus { Unmodified, Modified, Inserted, Deleted };

enum class TLocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

enum class TFilterOption { CaseInsensitive = 0x1 };
Q_DECLARE_FLAGS(TFilterOptions, TFilterOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFilterOptions)

// Identifies a row (not a position): survives sorting, filtering, edits and
// inserts elsewhere; becomes invalid when the row is deleted or the data replaced.
using TBookmark = qint64;
constexpr TBookmark InvalidBookmark = -1;

using TDataSetNotify = std::function<void(TClientDataSet &)>;

// Every data-event handler of a dataset. A before-handler that throws (EAbort or
// any other exception) cancels the operation and the exception reaches the caller.
struct TDataSetEvents
{
    TDataSetNotify beforeOpen, afterOpen;
    TDataSetNotify beforeClose, afterClose;
    TDataSetNotify beforeInsert, afterInsert;
    TDataSetNotify beforeEdit, afterEdit;
    TDataSetNotify beforePost, afterPost;
    TDataSetNotify beforeCancel, afterCancel;
    TDataSetNotify beforeDelete, afterDelete;
    TDataSetNotify beforeScroll, afterScroll;
    TDataSetNotify onNewRecord;
};

// One pending change, as the change log holds it: the row's values before the
// first change (Modified, Deleted) and its values now (Inserted, Modified).
class TDeltaRow
{
public:
    TUpdateStatus status() const { return m_status; }
    TBookmark bookmark() const { return m_bookmark; }
    int fieldCount() const { return int(m_defs->size()); }
    const QList<TFieldDef> &fieldDefs() const { return *m_defs; }
    // -1 when the dataset has no such field (names case-insensitive).
    int fieldIndex(const QString &name) const;
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }
    // Null for an inserted row's old values and a deleted row's new values.
    QVariant oldValue(int field) const;
    QVariant newValue(int field) const;
    // By name: EDatabaseError "Campo '%1' non trovato" when absent.
    QVariant oldValue(const QString &name) const;
    QVariant newValue(const QString &name) const;
    // The new value, or the old one for a deleted row.
    QVariant value(const QString &name) const;

private:
    friend class TClientDataSet;
    friend class dsinternal::ChangeLog;
    TUpdateStatus m_status = TUpdateStatus::Unmodified;
    TBookmark m_bookmark = InvalidBookmark;
    std::shared_ptr<const QList<TFieldDef>> m_defs;
    QVariantList m_old;
    QVariantList m_new;
};
