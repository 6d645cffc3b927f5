#pragma once
// Base frame of an editor's main structure: navigation and edit toolbar,
// pages "Griglia" and "Dettaglio", dataset cdsMain with its source dsMain, and
// the editing rules of TfrTorDbFrame.
#include "tor/ui/frames/TfrTorDbFrame.h"

class TfrTorBase : public TfrTorDbFrame
{
    Q_OBJECT
public:
    explicit TfrTorBase(QWidget *parent = nullptr) : TfrTorDbFrame(parent) {}
};
