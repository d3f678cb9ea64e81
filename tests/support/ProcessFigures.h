#pragma once
// Figures of this process that benchmarks print: CPU time, resident memory, read() calls.
#include <time.h>

#include <fstream>
#include <string>

// CPU time of every thread of this process so far.
inline double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The number after "key:" in a /proc file ("status", "io") of a process ("self" or its pid);
// -1 when absent.
inline double ProcFigureOf(const std::string& process, const char* file, const std::string& key) {
    std::ifstream in("/proc/" + process + "/" + file);
    const std::string prefix = key + ":";
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
    return -1;
}
inline double ProcFigure(const char* file, const std::string& key) { return ProcFigureOf("self", file, key); }

inline double ResidentKb() { return ProcFigure("status", "VmRSS"); }
inline double ReadCalls() { return ProcFigure("io", "syscr"); }
