#include "src/prj/unit/print/VelImprint.h"
#include "tor/util/TorCampagna.h"

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

} // namespace VelImprint
