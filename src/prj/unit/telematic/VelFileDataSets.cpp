#include "src/prj/unit/telematic/VelUFileUtil.h"

void TVelFileDataSets::add(const QString &name, TClientDataSet *ds)
{
    const QString key = name.toLower();
    if (!m_byName.contains(key))
        m_names.append(name);
    m_byName.insert(key, ds);
    for (auto it = m_exact.begin(); it != m_exact.end();)
        it = it.key().toLower() == key ? m_exact.erase(it) : std::next(it);
    m_exact.insert(name, ds);
    ++m_generation;
}

TClientDataSet *TVelFileDataSets::find(const QString &name) const
{
    const auto it = m_exact.constFind(name);
    if (it != m_exact.constEnd())
        return it.value();
    return m_byName.value(name.toLower(), nullptr);
}

QStringList TVelFileDataSets::names() const
{
    return m_names;
}
