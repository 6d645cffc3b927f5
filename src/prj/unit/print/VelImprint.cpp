#include "src/prj/unit/print/VelImprint.h"

namespace VelImprint {

QString producerLine()
{
    return QStringLiteral("Stampato con velcu - Certificazione Unica 2026");
}

QString cuLine()
{
    return producerLine()
           + QStringLiteral("    Conforme al Provvedimento del 15 gennaio 2026 e successive modifiche");
}

} // namespace VelImprint
