// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/benchclock.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "lab/labguard.h"

namespace kavren::bench {

namespace {

std::int64_t clockNs(clockid_t id) {
    timespec ts{};
    ::clock_gettime(id, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

std::int64_t realtimeNs() {
    return clockNs(CLOCK_REALTIME);
}

std::int64_t monotonicNs() {
    return clockNs(CLOCK_MONOTONIC);
}

namespace {

double usageMs(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace

double processCpuMs() {
    return usageMs(RUSAGE_SELF);
}

double threadCpuMs() {
    return usageMs(RUSAGE_THREAD);
}

std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    if (!(statm >> size >> resident))
        return -1;
    return resident * ::sysconf(_SC_PAGESIZE);
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void requireLab(const char* program) {
    std::string why;
    if (!lab::isIsolated(&why)) {
        std::fprintf(stderr, "%s: %s\n", program, lab::notIsolatedMessage(why).c_str());
        std::exit(2);
    }
}

}  // namespace kavren::bench
