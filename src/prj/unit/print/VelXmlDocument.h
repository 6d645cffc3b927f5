#pragma once
// An XML document held by a data module: a file name, opened (active) or
// closed, and its DOM. Print layouts are read through it.
//
// Loading raises EOvError naming the file when it is missing or does not
// parse; the document is then closed.
#include <QDomDocument>
#include <QDomElement>
#include <QString>

class TVelXMLDocument
{
public:
    QString FileName() const { return m_fileName; }
    // Closes the document when the name changes.
    void setFileName(const QString &fileName);

    bool Active() const { return m_active; }
    // Opening loads FileName.
    void setActive(bool active);

    // Sets the file name and loads it.
    void LoadFromFile(const QString &fileName);
    void Close();

    // The root element (null while closed).
    QDomElement DocumentElement() const;
    QDomDocument &dom() { return m_dom; }

    // Writes the document (two-space indentation); raises EOvError on failure.
    void SaveToFile(const QString &fileName) const;

private:
    QString m_fileName;
    bool m_active = false;
    QDomDocument m_dom;
};
