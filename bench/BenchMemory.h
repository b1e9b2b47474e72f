#pragma once
// The memory a benchmark's process holds, as the kernel counts it (kB).
#include <fstream>
#include <string>
#include <unistd.h>

inline long CurrentRssKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The most the process has held since it started or since ResetPeak.
inline long PeakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

inline void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}
