#pragma once
// The wait window the fiscal store shows while a structure loads (caption
// "Attendere...", text "Caricamento in corso...attendere.", no border icons,
// centred on the active window) with the hourglass. The program installs it
// as the store's wait indicator at start-up; tools and tests show nothing.
#include "tor/store/torUDBCds.h"

#include <QWidget>
#include <memory>

class TfmTorWait : public QWidget
{
public:
    TfmTorWait();
};

class TTorWaitWindow : public ITorWaitIndicator
{
public:
    TTorWaitWindow();
    ~TTorWaitWindow() override;
    void begin() override;
    void end() override;

private:
    int m_depth = 0;
    std::unique_ptr<TfmTorWait> m_window;
};
