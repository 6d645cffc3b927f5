#include "OvParamManager.h"

#include "platform/core/OvSafeFile.h"

#include <QSettings>

namespace {
TOvParamManager *g_mainParams = nullptr;
}

TOvParamManager *OvMainParams() { return g_mainParams; }
void setOvMainParams(TOvParamManager *manager) { g_mainParams = manager; }

TOvParamManager::TOvParamManager(QString storagePath) : m_path(std::move(storagePath)) {}

void TOvParamManager::declare(const QString &name, const QString &group, const QVariant &defaultValue)
{
    m_params.insert(key(name), Param{group, defaultValue});
    m_names.insert(key(name), name);
}

bool TOvParamManager::has(const QString &name) const { return m_params.contains(key(name)); }

QString TOvParamManager::groupOf(const QString &name) const
{
    return m_params.value(key(name)).group;
}

QVariant TOvParamManager::value(const QString &name) const
{
    return m_params.value(key(name)).value;
}

int TOvParamManager::intValue(const QString &name, int fallback) const
{
    bool ok = false;
    const int v = value(name).toInt(&ok);
    return ok ? v : fallback;
}

bool TOvParamManager::setValue(const QString &name, const QVariant &value)
{
    bool ok = true;
    if (OnCheckValue)
        OnCheckValue(m_names.value(key(name), name), value, ok);
    if (!ok)
        return false;
    assign(name, value);
    return true;
}

void TOvParamManager::assign(const QString &name, const QVariant &value)
{
    auto it = m_params.find(key(name));
    if (it == m_params.end()) {
        declare(name, QString(), value);
    } else {
        it->value = value;
    }
}

void TOvParamManager::load()
{
    if (m_path.isEmpty())
        return;
    QSettings ini(m_path, QSettings::IniFormat);
    for (auto it = m_params.begin(); it != m_params.end(); ++it) {
        const QString k = it->group.isEmpty() ? m_names.value(it.key()) : it->group + QLatin1Char('/') + m_names.value(it.key());
        if (ini.contains(k))
            it->value = ini.value(k);
    }
}

void TOvParamManager::save() const
{
    if (m_path.isEmpty())
        return;
    ovUpdateIniFile(m_path, [this](QSettings &ini) {
        for (auto it = m_params.cbegin(); it != m_params.cend(); ++it) {
            const QString k = it->group.isEmpty() ? m_names.value(it.key())
                                                  : it->group + QLatin1Char('/') + m_names.value(it.key());
            ini.setValue(k, it->value);
        }
    });
}
