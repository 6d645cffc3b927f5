#include "src/prj/unit/print/VelXmlNode.h"

#include <QDomDocument>

const QList<QDomElement> &TVelXmlNode::children(const QString &tag) const
{
    if (!m_children)
        m_children = std::make_shared<std::map<QString, QList<QDomElement>>>();
    auto it = m_children->find(tag);
    if (it == m_children->end()) {
        QList<QDomElement> list;
        for (QDomElement c = m_e.firstChildElement(tag); !c.isNull(); c = c.nextSiblingElement(tag))
            list.append(c);
        it = m_children->emplace(tag, list).first;
    }
    return it->second;
}

QDomElement TVelXmlNode::childOrNull(const QString &tag, int index) const
{
    const QList<QDomElement> &list = children(tag);
    return (index >= 0 && index < list.size()) ? list.at(index) : QDomElement();
}

QDomElement TVelXmlNode::appendChild(const QString &tag)
{
    QDomElement e = m_e.ownerDocument().createElement(tag);
    m_e.appendChild(e);
    if (m_children)
        m_children->clear();
    return e;
}
