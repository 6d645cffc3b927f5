#pragma once
// Form classes by name. The command table opens forms named by a text
// (ClasseForm); each form class registers a factory under its name when the
// program starts: registerFormClass<TfmVelCud>("TfmVelCud").
// Names are matched without regard to case.
#include "platform/ui/framework/OvForms.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

using OvFormFactory = std::function<QWidget *(QWidget *parent)>;

// Registers (or replaces) the factory of a form class.
void registerFormClass(const QString &className, OvFormFactory factory);
template <class T>
void registerFormClass(const QString &className)
{
    registerFormClass(className, [](QWidget *parent) -> QWidget * { return ovCreate<T>(parent); });
}
void unregisterFormClass(const QString &className);
bool isFormClassRegistered(const QString &className);
QStringList registeredFormClasses();

// A new form of the class (formCreate already run). An unknown class raises
// EOvError naming it.
QWidget *createForm(const QString &className, QWidget *parent = nullptr);
