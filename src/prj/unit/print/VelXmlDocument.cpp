#include "src/prj/unit/print/VelXmlDocument.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"

#include <QFile>
#include <QFileInfo>

void TVelXMLDocument::setFileName(const QString &fileName)
{
    if (fileName != m_fileName)
        Close();
    m_fileName = fileName;
}

void TVelXMLDocument::setActive(bool active)
{
    if (active == m_active)
        return;
    if (!active) {
        Close();
        return;
    }
    const QString name = QFileInfo(m_fileName).fileName();
    QFile file(m_fileName);
    if (m_fileName.isEmpty() || !QFileInfo(m_fileName).isFile())
        throw EOvError(QStringLiteral("Il file di impaginazione \"%1\" non esiste.").arg(m_fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere il file di impaginazione \"%1\": %2")
                           .arg(m_fileName, file.errorString()));
    QDomDocument dom;
    QString message;
    int line = 0, column = 0;
    if (!dom.setContent(&file, &message, &line, &column))
        throw EOvError(QStringLiteral("Il file di impaginazione \"%1\" non è un XML valido (riga %2, colonna %3): %4")
                           .arg(name)
                           .arg(line)
                           .arg(column)
                           .arg(message));
    if (dom.documentElement().isNull())
        throw EOvError(QStringLiteral("Il file di impaginazione \"%1\" è vuoto.").arg(name));
    m_dom = dom;
    m_active = true;
}

void TVelXMLDocument::LoadFromFile(const QString &fileName)
{
    Close();
    m_fileName = fileName;
    setActive(true);
}

void TVelXMLDocument::Close()
{
    m_active = false;
    m_dom = QDomDocument();
}

QDomElement TVelXMLDocument::DocumentElement() const
{
    return m_active ? m_dom.documentElement() : QDomElement();
}

void TVelXMLDocument::SaveToFile(const QString &fileName) const
{
    TOvSafeFile::writeFile(fileName, m_dom.toByteArray(2), TOvSafeFile::Access::Shared);
}
