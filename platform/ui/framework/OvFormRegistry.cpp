#include "platform/ui/framework/OvFormRegistry.h"

#include "platform/core/OvExceptions.h"

#include <QHash>

namespace {

struct Entry
{
    QString name;
    OvFormFactory factory;
};

QHash<QString, Entry> &registry()
{
    static QHash<QString, Entry> r;
    return r;
}

} // namespace

void registerFormClass(const QString &className, OvFormFactory factory)
{
    if (className.trimmed().isEmpty() || !factory)
        throw EAssertionFailed(QStringLiteral("Registrazione di una classe di finestra senza nome o senza costruttore."));
    registry().insert(className.trimmed().toLower(), Entry{className.trimmed(), std::move(factory)});
}

void unregisterFormClass(const QString &className)
{
    registry().remove(className.trimmed().toLower());
}

bool isFormClassRegistered(const QString &className)
{
    return registry().contains(className.trimmed().toLower());
}

QStringList registeredFormClasses()
{
    QStringList names;
    for (const Entry &e : registry())
        names << e.name;
    names.sort(Qt::CaseInsensitive);
    return names;
}

QWidget *createForm(const QString &className, QWidget *parent)
{
    const auto it = registry().constFind(className.trimmed().toLower());
    if (it == registry().constEnd())
        throw EOvError(QStringLiteral("La finestra \"%1\" non è disponibile in questo programma.").arg(className));
    QWidget *form = it->factory(parent);
    if (!form)
        throw EOvError(QStringLiteral("Impossibile creare la finestra \"%1\".").arg(className));
    try {
        ovEnsureFormCreated(form);
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}
