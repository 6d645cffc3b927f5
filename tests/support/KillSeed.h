#pragma once
// The seed of a test that kills a process at random moments: VELCU_KILL_SEED
// when set (to repeat a failing run), else a new one; printed either way.
#include <QRandomGenerator>
#include <QtGlobal>

inline quint32 killSeed()
{
    const quint32 seed = qEnvironmentVariableIsSet("VELCU_KILL_SEED")
                             ? quint32(qEnvironmentVariableIntValue("VELCU_KILL_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("seme delle interruzioni: %u (VELCU_KILL_SEED=%u per ripeterle)", seed, seed);
    return seed;
}
