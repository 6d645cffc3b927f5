#pragma once
#include "src/prj/unit/print/VelXmlNode.h"
// The form layout: where the fields of a form (the CU pages, the withholding
// agent's frontispiece, the Quadro CT) are written on a PDF model page.
//
//   <Cud>
//     <Sos><Section Name="..."> <Edit .../>... </Section></Sos>
//     <Pag1> <Section Name="..."> <Edit Name= Alignment= Space= Type=>
//                                   <PrintRect Top= Left= Height= Format=/>
//                                 </Edit>... </Section>... </Pag1>
//     ... <Pag12>
//   </Cud>
//
// The classes below are light views over the DOM: copy them freely; they keep
// the document alive. Children are reached by position among the elements of
// their own name. Top, Left and Height are required whole numbers: an absent or
// non-numeric value raises EOvError naming the file, the field and the
// attribute when it is read. Asking for a child that is not there raises too.
#include <QDomElement>
#include <QList>
#include <QString>

#include <map>
#include <memory>

class TVelXMLDocument;

// Common ground: the element and the file it came from (for messages).
class TXMLCudNode : public TVelXmlNode
{
public:
    TXMLCudNode() = default;
    TXMLCudNode(const QDomElement &element, const QString &fileName) : TVelXmlNode(element), m_file(fileName) {}
    QString fileName() const { return m_file; }

protected:
    QDomElement child(const QString &tag, int index) const; // raises when absent
    QString text(const QString &attribute) const { return m_e.attribute(attribute); }

    QString m_file;
};

class TXMLCudPrintRect : public TXMLCudNode
{
public:
    using TXMLCudNode::TXMLCudNode;
    int Top() const;
    int Left() const;
    int Height() const;
    QString Format() const { return text(QStringLiteral("Format")); }

private:
    int required(const QString &attribute) const;
};

class TXMLCudEdit : public TXMLCudNode
{
public:
    using TXMLCudNode::TXMLCudNode;
    QString Name() const { return text(QStringLiteral("Name")); }
    QString Alignment() const { return text(QStringLiteral("Alignment")); }
    QString Space() const { return text(QStringLiteral("Space")); }
    QString Type() const { return text(QStringLiteral("Type")); }
    TXMLCudPrintRect PrintRect() const;
};

class TXMLCudSection : public TXMLCudNode
{
public:
    using TXMLCudNode::TXMLCudNode;
    QString Name() const { return text(QStringLiteral("Name")); }
    int Count() const { return childCount(QStringLiteral("Edit")); }
    TXMLCudEdit Edit(int index) const;
};

// Sos and Pag1 ... Pag12: a list of sections.
class TXMLCudPage : public TXMLCudNode
{
public:
    using TXMLCudNode::TXMLCudNode;
    int Count() const; // 0 also when the element is absent
    TXMLCudSection Section(int index) const;
};

class TXMLCud : public TXMLCudNode
{
public:
    using TXMLCudNode::TXMLCudNode;
    TXMLCudPage Sos() const;
    // n from 1 to 12. An absent PagN reads as a page without sections.
    TXMLCudPage Pag(int n) const;
};

// Loads a form-layout file and returns its root. Raises EOvError naming the
// file when it is missing, does not parse or its root is not <Cud>.
TXMLCud GetCud(const QString &fileName);
// The root of an already loaded document (loads it when closed).
TXMLCud GetCud(TVelXMLDocument &document);
