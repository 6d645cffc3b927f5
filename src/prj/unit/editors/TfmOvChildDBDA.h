#pragma once
// The program's base of the editor windows: on the framework's child window,
// it knows every data source in the window and in its frames, at any depth.
// Save-all posts the pending row of each, cancel-all cancels it. Closing with a
// pending change asks whether to save it; nothing is dropped silently.
#include "platform/ui/framework/TfmOvChildDoc.h"

#include <QList>

class TDataSource;

class TfmOvChildDBDA : public TfmOvChildDoc
{
    Q_OBJECT
public:
    explicit TfmOvChildDBDA(QWidget *parent = nullptr);

    QList<TDataSource *> dataSources() const;
    bool hasPendingChanges() const;
    bool saveAll() override;
    void cancelAll() override;

protected:
    void formCloseQuery(bool &canClose) override;
};
