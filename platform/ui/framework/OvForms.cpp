#include "platform/ui/framework/OvForms.h"

void ovEnsureFormCreated(QObject *form)
{
    if (auto *f = dynamic_cast<IOvForm *>(form))
        f->ensureFormCreated();
}
