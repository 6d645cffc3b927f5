#pragma once
// Base frame of the program's section editors: the layout and rules of the
// editors' base frame (toolbar, "Griglia" / "Dettaglio", Confirm-only posts,
// row counter in the context bar). A new row puts the cursor in the first
// field of the detail page.
#include "tor/ui/frames/TfrTorDbFrame.h"

class TfrVefBase : public TfrTorDbFrame
{
    Q_OBJECT
public:
    explicit TfrVefBase(QWidget *parent = nullptr);
};
