// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small helpers shared by the discovery benchmarks: clocks that can be
// compared across processes and the process's resident memory (the UDP
// counters come from the lab support, lab/udpcounters.h).
namespace kavren::bench {

// CLOCK_REALTIME in nanoseconds: the clock the kernel stamps packets with.
std::int64_t realtimeNs();
// CLOCK_MONOTONIC in nanoseconds: comparable between processes of one boot.
std::int64_t monotonicNs();

// CPU time (user and system) of this whole process, and of the calling
// thread, in milliseconds.
double processCpuMs();
double threadCpuMs();

// Resident set size of this process in bytes.
std::int64_t residentBytes();

// The p-th percentile (0..100) of the values, nearest rank; 0 when empty.
double percentile(std::vector<double> values, double p);

// Exits with a message unless this process runs inside the lab's network
// namespaces, where nothing sent can reach a real network.
void requireLab(const char* program);

}  // namespace kavren::bench
