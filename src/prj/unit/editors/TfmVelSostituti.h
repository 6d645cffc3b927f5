#pragma once
// The windows of the agents' editors: "Dati Sostituto" (TfmVelSost), the other
// agents (TfmVelAltriSost, also titled "Dati Sostituto"), "Quadro CT"
// (TfmVelQuaCT) and "Dati Fornitore" (TfmVelFornitore). Each is an MDI child
// hosting its frame; showing it loads the structure, closing closes it.
// Save-all (closing with a pending change) posts with the Confirm-only rule
// lifted, so the frame's own checks still run.
#include "src/prj/unit/editors/TfmOvChildDBDA.h"

class TTorDBCds;
class TfrVelAgentBase;
class TfrVelAltriSost;
class TfrVelFornitore;
class TfrVelQuaCt;
class TfrVelSost;

class TfmVelAgentForm : public TfmOvChildDBDA
{
    Q_OBJECT
public:
    explicit TfmVelAgentForm(QWidget *parent = nullptr);

    // The store the window edits, given by whoever opens it (before it shows).
    void setStore(TTorDBCds *store) { m_store = store; }
    TTorDBCds *store() const;
    TfrVelAgentBase *frame() const { return m_frame; }

    bool saveAll() override;

protected:
    // The frame of the window, made by formCreate.
    virtual TfrVelAgentBase *createFrame() = 0;
    void formCreate() override;
    void formShow() override;
    void formClose() override;

private:
    TTorDBCds *m_store = nullptr;
    TfrVelAgentBase *m_frame = nullptr;
};

class TfmVelSost : public TfmVelAgentForm
{
    Q_OBJECT
public:
    explicit TfmVelSost(QWidget *parent = nullptr);
    TfrVelSost *frVelSost = nullptr;

protected:
    TfrVelAgentBase *createFrame() override;
};

class TfmVelAltriSost : public TfmVelAgentForm
{
    Q_OBJECT
public:
    explicit TfmVelAltriSost(QWidget *parent = nullptr);
    TfrVelAltriSost *frVelAltriSost = nullptr;

protected:
    TfrVelAgentBase *createFrame() override;
};

class TfmVelQuaCT : public TfmVelAgentForm
{
    Q_OBJECT
public:
    explicit TfmVelQuaCT(QWidget *parent = nullptr);
    TfrVelQuaCt *frVelQuaCt = nullptr;

protected:
    TfrVelAgentBase *createFrame() override;
};

class TfmVelFornitore : public TfmVelAgentForm
{
    Q_OBJECT
public:
    explicit TfmVelFornitore(QWidget *parent = nullptr);
    TfrVelFornitore *frVelFornitore = nullptr;

protected:
    TfrVelAgentBase *createFrame() override;
    // The row being edited or inserted keeps the window open.
    void formCloseQuery(bool &canClose) override;
};
