#pragma once
// The CU editor window "Modello CU": an MDI child, maximised, hosting the CU
// frame. Every confirmed change is in the store at once; save-all (closing
// with a pending change) posts with the Confirm-only rule lifted.
#include "src/prj/unit/editors/TfmOvChildDBDA.h"

class TTorDBCds;
class TfrVelCud;

class TfmVelCud : public TfmOvChildDBDA
{
    Q_OBJECT
public:
    explicit TfmVelCud(QWidget *parent = nullptr);

    TfrVelCud *frVelCud = nullptr;

    // The store the window edits, given by whoever opens it (before it shows).
    void setStore(TTorDBCds *store) { m_store = store; }
    TTorDBCds *store() const;

    bool saveAll() override;

protected:
    void formCreate() override;
    void formShow() override;

private:
    TTorDBCds *m_store = nullptr;
};
