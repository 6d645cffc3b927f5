#pragma once
// The run host of the windowed program: an engine's notices and questions as
// the message boxes of the office ("Informazioni" for the lists), through the
// message seam, so that a test's scripted responder answers them.
#include "src/prj/unit/model/VelRunHost.h"

class TVelBoxRunHost : public IVelRunHost
{
public:
    void notice(const QString &text, TVelNotice kind) override;
    bool question(const QString &text) override;
    bool information(const QStringList &lines, bool ask) override;

    // The one the windows hand to the engines they run.
    static TVelBoxRunHost &instance();
};
