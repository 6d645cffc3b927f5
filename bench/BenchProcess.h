#pragma once
// What a benchmark reports about its own process: memory from
// /proc/self/status and CPU time (Linux).
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstring>
#include <ctime>

namespace bench {

// A memory line of /proc/self/status ("VmHWM:" peak, "VmRSS:" now) in MB; -1 when unreadable.
inline double procMb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

inline double peakMb() { return procMb("VmHWM:"); }

// CPU time of the process so far, in milliseconds.
inline double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

} // namespace bench
