#include "src/prj/unit/editors/TfrVefBase.h"

#include "src/prj/unit/editors/VelPageBuilder.h"

#include "platform/dataset/TClientDataSet.h"

TfrVefBase::TfrVefBase(QWidget *parent)
    : TfrTorDbFrame(parent)
{
    connect(this, &TfrTorDbFrame::dataSetStateChanged, this, [this] {
        if (cdsMain->state() == TDataSetState::Insert && detailShown())
            VelPageBuilder::focusFirstField(tsDettaglio);
    });
}
