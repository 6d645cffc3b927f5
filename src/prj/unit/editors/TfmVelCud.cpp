#include "src/prj/unit/editors/TfmVelCud.h"

#include "src/prj/unit/editors/TfrVelCud.h"

#include "platform/core/OvExceptions.h"

#include <QVBoxLayout>

TfmVelCud::TfmVelCud(QWidget *parent)
    : TfmOvChildDBDA(parent)
{
    setObjectName(QStringLiteral("fmVelCud"));
    setWindowTitle(QStringLiteral("Modello CU"));
    setOpenMaximized(true);
}

TTorDBCds *TfmVelCud::store() const
{
    return m_store;
}

void TfmVelCud::formCreate()
{
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    frVelCud = new TfrVelCud(this);
    l->addWidget(frVelCud);
    resize(1280, 760);
}

void TfmVelCud::formShow()
{
    TTorDBCds *s = store();
    if (!s)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    frVelCud->setStore(s);
    frVelCud->open();
}

bool TfmVelCud::saveAll()
{
    // Save-all posts what is pending in every frame: the Confirm-only rule is
    // lifted for its run.
    QList<TfrTorDbFrame *> frames = findChildren<TfrTorDbFrame *>();
    QList<bool> rules;
    for (TfrTorDbFrame *f : frames) {
        rules.append(f->confirmOnly());
        f->setConfirmOnly(false);
    }
    bool ok = false;
    try {
        ok = TfmOvChildDBDA::saveAll();
    } catch (...) {
        for (int i = 0; i < frames.size(); ++i)
            frames[i]->setConfirmOnly(rules[i]);
        throw;
    }
    for (int i = 0; i < frames.size(); ++i)
        frames[i]->setConfirmOnly(rules[i]);
    return ok;
}
