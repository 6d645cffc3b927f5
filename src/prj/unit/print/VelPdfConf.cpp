#include "src/prj/unit/print/VelPdfConf.h"

#include <QDomDocument>

const QList<QDomElement> &TXMLPdfConfNode::children(const QString &tag) const
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

int TXMLPdfConfNode::childCount(const QString &tag) const
{
    return int(children(tag).size());
}

QDomElement TXMLPdfConfNode::child(const QString &tag, int index) const
{
    const QList<QDomElement> &list = children(tag);
    return (index >= 0 && index < list.size()) ? list.at(index) : QDomElement();
}

int TXMLPdfConfNode::integer(const QString &attribute) const
{
    bool ok = false;
    const int v = m_e.attribute(attribute).trimmed().toInt(&ok);
    return ok ? v : 0;
}

void TXMLPdfConfNode::setInteger(const QString &attribute, int value)
{
    m_e.setAttribute(attribute, value);
}

static QDomElement appendChild(QDomElement parent, const QString &tag,
                               std::shared_ptr<std::map<QString, QList<QDomElement>>> &cache)
{
    QDomElement e = parent.ownerDocument().createElement(tag);
    parent.appendChild(e);
    if (cache)
        cache->clear(); // every copy of the view sees the new child
    return e;
}

bool TXMLPdfConfPrintRect::appliesTo(int row) const
{
    const int max = MaxIndex();
    return max == 0 || (MinIndex() <= row && row <= max);
}

TXMLPdfConfPrintRect TXMLPdfConfEdit::PrintRect(int index) const
{
    return TXMLPdfConfPrintRect(child(QStringLiteral("PrintRect"), index));
}

TXMLPdfConfPrintRect TXMLPdfConfEdit::AddPrintRect()
{
    return TXMLPdfConfPrintRect(appendChild(m_e, QStringLiteral("PrintRect"), m_children));
}

TXMLPdfConfSection TXMLPdfConfEdit::Section() const
{
    return TXMLPdfConfSection(m_e.parentNode().toElement());
}

TXMLPdfConfEdit TXMLPdfConfSection::Edit(int index) const
{
    return TXMLPdfConfEdit(child(QStringLiteral("Edit"), index));
}

TXMLPdfConfEdit TXMLPdfConfSection::AddEdit()
{
    return TXMLPdfConfEdit(appendChild(m_e, QStringLiteral("Edit"), m_children));
}

TXMLPdfConfSection TXMLPdfConfPage::Section(int index) const
{
    return TXMLPdfConfSection(child(QStringLiteral("Section"), index));
}

TXMLPdfConfSection TXMLPdfConfPage::AddSection()
{
    return TXMLPdfConfSection(appendChild(m_e, QStringLiteral("Section"), m_children));
}

TXMLPdfConfPage TXMLPdfConf::Page(int index) const
{
    return TXMLPdfConfPage(child(QStringLiteral("Page"), index));
}

TXMLPdfConfPage TXMLPdfConf::AddPage()
{
    return TXMLPdfConfPage(appendChild(m_e, QStringLiteral("Page"), m_children));
}

TXMLPdfConfPage TXMLPdfConf::findPage(const QString &name) const
{
    const QString wanted = name.toUpper();
    for (QDomElement c = m_e.firstChildElement(QStringLiteral("Page")); !c.isNull();
         c = c.nextSiblingElement(QStringLiteral("Page"))) {
        if (c.attribute(QStringLiteral("Name")).toUpper() == wanted)
            return TXMLPdfConfPage(c);
    }
    return TXMLPdfConfPage();
}
