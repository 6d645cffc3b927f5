#include "src/prj/unit/print/VelPdfConf.h"

#include <QDomDocument>

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
    return TXMLPdfConfPrintRect(appendChild(QStringLiteral("PrintRect")));
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
    return TXMLPdfConfEdit(appendChild(QStringLiteral("Edit")));
}

TXMLPdfConfSection TXMLPdfConfPage::Section(int index) const
{
    return TXMLPdfConfSection(child(QStringLiteral("Section"), index));
}

TXMLPdfConfSection TXMLPdfConfPage::AddSection()
{
    return TXMLPdfConfSection(appendChild(QStringLiteral("Section")));
}

TXMLPdfConfPage TXMLPdfConf::Page(int index) const
{
    return TXMLPdfConfPage(child(QStringLiteral("Page"), index));
}

TXMLPdfConfPage TXMLPdfConf::AddPage()
{
    return TXMLPdfConfPage(appendChild(QStringLiteral("Page")));
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
