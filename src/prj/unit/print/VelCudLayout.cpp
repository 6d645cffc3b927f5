#include "src/prj/unit/print/VelCudLayout.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/print/VelXmlDocument.h"

#include <QFileInfo>

namespace {

QString shortName(const QString &file)
{
    return QFileInfo(file).fileName();
}

} // namespace

QDomElement TXMLCudNode::child(const QString &tag, int index) const
{
    const QDomElement e = childOrNull(tag, index);
    if (!e.isNull())
        return e;
    QString where = m_e.tagName();
    const QString name = m_e.attribute(QStringLiteral("Name"));
    if (!name.isEmpty())
        where += QStringLiteral(" \"%1\"").arg(name);
    throw EOvError(QStringLiteral("Impaginazione \"%1\": l'elemento <%2> non contiene <%3> numero %4.")
                       .arg(shortName(m_file), where, tag)
                       .arg(index + 1));
}

int TXMLCudPrintRect::required(const QString &attribute) const
{
    const QString field = m_e.parentNode().toElement().attribute(QStringLiteral("Name"));
    if (!m_e.hasAttribute(attribute))
        throw EOvError(QStringLiteral("Impaginazione \"%1\", campo \"%2\": manca l'attributo %3.")
                           .arg(shortName(m_file), field, attribute));
    const QString value = m_e.attribute(attribute);
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok)
        throw EOvError(QStringLiteral("Impaginazione \"%1\", campo \"%2\": l'attributo %3 non è un numero intero (\"%4\").")
                           .arg(shortName(m_file), field, attribute, value));
    return v;
}

int TXMLCudPrintRect::Top() const
{
    return required(QStringLiteral("Top"));
}

int TXMLCudPrintRect::Left() const
{
    return required(QStringLiteral("Left"));
}

int TXMLCudPrintRect::Height() const
{
    return required(QStringLiteral("Height"));
}

TXMLCudPrintRect TXMLCudEdit::PrintRect() const
{
    return TXMLCudPrintRect(child(QStringLiteral("PrintRect"), 0), m_file);
}

TXMLCudEdit TXMLCudSection::Edit(int index) const
{
    return TXMLCudEdit(child(QStringLiteral("Edit"), index), m_file);
}

int TXMLCudPage::Count() const
{
    return m_e.isNull() ? 0 : childCount(QStringLiteral("Section"));
}

TXMLCudSection TXMLCudPage::Section(int index) const
{
    if (m_e.isNull())
        throw EOvError(QStringLiteral("Impaginazione \"%1\": manca la pagina che contiene la sezione %2.")
                           .arg(shortName(m_file))
                           .arg(index + 1));
    return TXMLCudSection(child(QStringLiteral("Section"), index), m_file);
}

TXMLCudPage TXMLCud::Sos() const
{
    return TXMLCudPage(m_e.firstChildElement(QStringLiteral("Sos")), m_file);
}

TXMLCudPage TXMLCud::Pag(int n) const
{
    if (n < 1 || n > 12)
        throw EAssertionFailed(QStringLiteral("Pagina di impaginazione inesistente: Pag%1").arg(n));
    return TXMLCudPage(m_e.firstChildElement(QStringLiteral("Pag%1").arg(n)), m_file);
}

TXMLCud GetCud(TVelXMLDocument &document)
{
    if (!document.Active())
        document.setActive(true);
    const QDomElement root = document.DocumentElement();
    if (root.tagName() != QLatin1String("Cud"))
        throw EOvError(QStringLiteral("Il file di impaginazione \"%1\" non è un modulo: l'elemento principale è <%2>, non <Cud>.")
                           .arg(shortName(document.FileName()), root.tagName()));
    return TXMLCud(root, document.FileName());
}

TXMLCud GetCud(const QString &fileName)
{
    TVelXMLDocument document;
    document.LoadFromFile(fileName);
    return GetCud(document);
}
