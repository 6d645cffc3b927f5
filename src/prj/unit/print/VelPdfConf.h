#pragma once
#include "src/prj/unit/print/VelXmlNode.h"
// The print configuration: which values of which datasets are written where
// on the pages of a print made by the printing data module.
//
//   <PdfConf>
//     <Page Name="FirmeDipendenti" Template="1">
//       <Section Name="cdsDipendenti" Repeat="...">
//         <Edit Name="SCUDCOGNOME" Alignment="taLeftJustify" Type="SP">
//           <PrintRect Top= Left= Height= Space= vOffset= oOffset= MinIndex= MaxIndex=/>
//         </Edit>...
//
// Light views over the DOM, as for the form layout. Here an integer attribute
// that is absent or not a number reads as 0. Template and Repeat are kept for
// whoever edits the file; no print interprets them.
#include <QDomElement>
#include <QList>
#include <QString>

#include <map>
#include <memory>

class TXMLPdfConfNode : public TVelXmlNode
{
public:
    using TVelXmlNode::TVelXmlNode;

protected:
    QDomElement child(const QString &tag, int index) const { return childOrNull(tag, index); }
    int integer(const QString &attribute) const;
    void setInteger(const QString &attribute, int value);
};

class TXMLPdfConfPrintRect : public TXMLPdfConfNode
{
public:
    using TXMLPdfConfNode::TXMLPdfConfNode;
    int Top() const { return integer(QStringLiteral("Top")); }
    int Left() const { return integer(QStringLiteral("Left")); }
    int Height() const { return integer(QStringLiteral("Height")); }
    int Space() const { return integer(QStringLiteral("Space")); }
    int vOffset() const { return integer(QStringLiteral("vOffset")); }
    int oOffset() const { return integer(QStringLiteral("oOffset")); }
    int MinIndex() const { return integer(QStringLiteral("MinIndex")); }
    int MaxIndex() const { return integer(QStringLiteral("MaxIndex")); }
    void setTop(int v) { setInteger(QStringLiteral("Top"), v); }
    void setLeft(int v) { setInteger(QStringLiteral("Left"), v); }
    void setHeight(int v) { setInteger(QStringLiteral("Height"), v); }
    void setSpace(int v) { setInteger(QStringLiteral("Space"), v); }
    void setvOffset(int v) { setInteger(QStringLiteral("vOffset"), v); }
    void setoOffset(int v) { setInteger(QStringLiteral("oOffset"), v); }
    void setMinIndex(int v) { setInteger(QStringLiteral("MinIndex"), v); }
    void setMaxIndex(int v) { setInteger(QStringLiteral("MaxIndex"), v); }
    // Whether the place is written for row n, and where.
    bool appliesTo(int row) const;
    int xFor(int row) const { return Left() + (row - MinIndex()) * oOffset(); }
    int yFor(int row) const { return Top() + (row - MinIndex()) * vOffset(); }
};

class TXMLPdfConfSection;

class TXMLPdfConfEdit : public TXMLPdfConfNode
{
public:
    using TXMLPdfConfNode::TXMLPdfConfNode;
    QString Name() const { return m_e.attribute(QStringLiteral("Name")); }
    QString Alignment() const { return m_e.attribute(QStringLiteral("Alignment")); }
    QString Type() const { return m_e.attribute(QStringLiteral("Type")); }
    void setName(const QString &v) { m_e.setAttribute(QStringLiteral("Name"), v); }
    void setAlignment(const QString &v) { m_e.setAttribute(QStringLiteral("Alignment"), v); }
    void setType(const QString &v) { m_e.setAttribute(QStringLiteral("Type"), v); }
    int Count() const { return childCount(QStringLiteral("PrintRect")); }
    TXMLPdfConfPrintRect PrintRect(int index) const;
    TXMLPdfConfPrintRect AddPrintRect();
    // The section the Edit belongs to.
    TXMLPdfConfSection Section() const;
};

class TXMLPdfConfSection : public TXMLPdfConfNode
{
public:
    using TXMLPdfConfNode::TXMLPdfConfNode;
    QString Name() const { return m_e.attribute(QStringLiteral("Name")); }
    QString Repeat() const { return m_e.attribute(QStringLiteral("Repeat")); }
    void setName(const QString &v) { m_e.setAttribute(QStringLiteral("Name"), v); }
    void setRepeat(const QString &v) { m_e.setAttribute(QStringLiteral("Repeat"), v); }
    int Count() const { return childCount(QStringLiteral("Edit")); }
    TXMLPdfConfEdit Edit(int index) const;
    TXMLPdfConfEdit AddEdit();
};

class TXMLPdfConfPage : public TXMLPdfConfNode
{
public:
    using TXMLPdfConfNode::TXMLPdfConfNode;
    QString Name() const { return m_e.attribute(QStringLiteral("Name")); }
    int Template() const { return integer(QStringLiteral("Template")); }
    void setName(const QString &v) { m_e.setAttribute(QStringLiteral("Name"), v); }
    void setTemplate(int v) { setInteger(QStringLiteral("Template"), v); }
    int Count() const { return childCount(QStringLiteral("Section")); }
    TXMLPdfConfSection Section(int index) const;
    TXMLPdfConfSection AddSection();
};

class TXMLPdfConf : public TXMLPdfConfNode
{
public:
    using TXMLPdfConfNode::TXMLPdfConfNode;
    int Count() const { return childCount(QStringLiteral("Page")); }
    TXMLPdfConfPage Page(int index) const;
    TXMLPdfConfPage AddPage();
    // The first page whose Name matches (upper-cased); null when none.
    TXMLPdfConfPage findPage(const QString &name) const;
};
