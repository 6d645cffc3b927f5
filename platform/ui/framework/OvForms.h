#pragma once
// Two-phase creation of forms. A form's formCreate() hook is virtual, so it
// cannot run inside the base constructor: it runs from ensureFormCreated(),
// which ovCreate() calls right after construction (and the first show calls
// anyway, for forms made with plain new or on the stack).
#include <QObject>

#include <utility>

// Implemented by every framework form base.
class IOvForm
{
public:
    virtual ~IOvForm() = default;
    // Runs formCreate() once; later calls do nothing.
    virtual void ensureFormCreated() = 0;
};

// Calls ensureFormCreated() on framework forms (no effect on other objects).
void ovEnsureFormCreated(QObject *form);

template <class T, class... Args>
T *ovCreate(Args &&...args)
{
    T *form = new T(std::forward<Args>(args)...);
    try {
        ovEnsureFormCreated(form);
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}
