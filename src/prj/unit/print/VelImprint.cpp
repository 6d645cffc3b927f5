#include "src/prj/unit/print/VelImprint.h"

#include "platform/pdf/TPdkPdf.h"
#include "tor/util/TorCampagna.h"

#include <QTimeZone>

namespace VelImprint {

QString producerLine()
{
    return QStringLiteral("Stampato con velcu - Certificazione Unica %1").arg(Campagna::AnnoInvio);
}

QString cuLine()
{
    return producerLine()
           + QStringLiteral("    Conforme al Provvedimento del %1 e successive modifiche").arg(Campagna::provvedimentoEsteso());
}

QDateTime printDate()
{
    bool ok = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").trimmed().toLongLong(&ok);
    if (ok && epoch >= 0)
        return QDateTime::fromSecsSinceEpoch(epoch, QTimeZone::utc());
    return QDateTime::currentDateTime();
}

int setDocumentInfo(TPdkPdf &pdf, const QString &title, const QString &author)
{
    return pdf.SetDocumentInfo(title, author, QStringLiteral("velcu"), printDate());
}

} // namespace VelImprint
