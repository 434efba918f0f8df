// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/lab/labsend.h"

// Helpers of the robustness tests that act on the lab: its links and
// addresses, the hostile sender, the kernel's UDP counters. Everything here
// is only called after KAVREN_REQUIRE_LAB().
namespace kavren::app {

// One device of the test's device file, as the emulator plays it.
struct LabDevice {
    std::string mac;  // "02-C4-7E-00-00-05"
    std::string ip;
    std::string name, version, description;  // bytes, as the grid shows them
};

// A hundred devices whose texts hold markup, percent signs and bytes from
// 0x80 up, on addresses of the lab's device pool.
std::vector<LabDevice> hundredDevices();

// Writes the device file for the emulator (and the flood's known MACs);
// returns its path, empty on failure.
std::string writeDeviceFile(const std::vector<LabDevice>& devices);

// Runs `ip ARGS...` in this (the lab's host) namespace; true on success.
bool ipCommand(const std::vector<std::string>& args, std::string* output = nullptr);

// Runs a command to its end, bounded in time; returns its exit status (-1
// when it could not run or was killed at the time limit) and its output.
int runBounded(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
               std::string* output);

// The hostile sender tools/flood.py, started in device namespace A.
class FloodProcess final {
public:
    // extraOptions: more flood.py options, such as {"--oversized-only"}.
    FloodProcess(std::string deviceFile, int count, std::string phase2File = {},
                 std::vector<std::string> extraOptions = {});
    ~FloodProcess();
    FloodProcess(const FloodProcess&) = delete;
    FloodProcess& operator=(const FloodProcess&) = delete;

    bool start(std::string* error);
    // Waits (bounded) for the sender to end; its JSON summary, or nothing.
    std::optional<std::string> finish(std::chrono::milliseconds limit);
    // A field of the summary ("sent", "phase1", ...), -1 when missing.
    static long long summaryNumber(const std::string& summary, const std::string& key);

    static std::string scriptPath();
    static std::string endText();  // the closing result message's text

private:
    std::string m_deviceFile;
    int m_count;
    std::string m_phase2File;
    std::vector<std::string> m_extraOptions;
    int m_pid = -1;
    int m_outFd = -1;
};

// The process's peak resident set so far, in kB (VmHWM).
long peakResidentKb();

// Sends one datagram to 127.0.0.1:62631 in this namespace (lab support).
using ::kavren::lab::sendToLoopback;

}  // namespace kavren::app
