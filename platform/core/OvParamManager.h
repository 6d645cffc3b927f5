#pragma once
// Framework parameter manager: named parameters (financial year, school year,
// workgroup...) grouped and checked by an owner-supplied handler, kept in an
// ini file of the user's area when one is given.
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>

class TOvParamManager
{
public:
    // (parameter name, proposed value, by-reference Ok)
    using CheckValueHandler = std::function<void(const QString &, const QVariant &, bool &)>;

    explicit TOvParamManager(QString storagePath = {});

    void declare(const QString &name, const QString &group, const QVariant &defaultValue = {});
    bool has(const QString &name) const;
    QString groupOf(const QString &name) const;

    QVariant value(const QString &name) const;
    int intValue(const QString &name, int fallback = 0) const;
    // A choice of the user: runs OnCheckValue first; returns false (and
    // changes nothing) when refused.
    bool setValue(const QString &name, const QVariant &value);
    // A value the program restores (from its ini, from the database's
    // configuration): taken as it is, without the check of a choice.
    void assign(const QString &name, const QVariant &value);

    CheckValueHandler OnCheckValue;

    // Reads and writes the values of every declared parameter (no-op without a path).
    void load();
    void save() const;

private:
    struct Param
    {
        QString group;
        QVariant value;
    };
    QString key(const QString &name) const { return name.toUpper(); }

    QString m_path;
    QHash<QString, Param> m_params;
    QHash<QString, QString> m_names; // upper-case key -> written name
};

// The parameter manager of the main window (null until one is attached).
TOvParamManager *OvMainParams();
void setOvMainParams(TOvParamManager *manager);
