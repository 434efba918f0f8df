// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tests/lab/emulatorlog.h"

namespace kavren::lab {

// The device emulator (tools/emulator/kavren_emulator.py) as a child process
// in one of the lab's device namespaces. start() returns once the emulator
// has bound its port; the destructor stops it. The emulator also ends by
// itself after its lifetime, so a crashed test cannot leave it running.
class EmulatorProcess final {
public:
    // arguments: emulator options such as {"--generate", "3"}; --log,
    // --ready-file and (unless given) --lifetime are added here. node: the
    // device namespace name; empty means $KAVREN_LAB_NODE_A.
    explicit EmulatorProcess(std::vector<std::string> arguments, std::string node = {});
    ~EmulatorProcess();

    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;
    EmulatorProcess(EmulatorProcess&&) = delete;
    EmulatorProcess& operator=(EmulatorProcess&&) = delete;

    // Starts the emulator and waits (bounded) until it is ready. On failure
    // returns false with a reason in *error and leaves nothing running.
    bool start(std::string* error,
               std::chrono::milliseconds readyTimeout = std::chrono::seconds(10));

    // Ends the emulator (SIGTERM, then SIGKILL after a grace period) and
    // reaps it. Safe to call more than once.
    void stop();

    bool isRunning();

    // Exit status after stop() (or after it ended by itself); -1 while
    // running or when it never ran.
    int exitStatus() const { return m_exitStatus; }

    // The datagrams that reached the emulator so far, in arrival order.
    std::vector<LoggedDatagram> received() const;

    // Waits (bounded) until at least count datagrams were logged and returns
    // all of them; fewer when the time runs out.
    std::vector<LoggedDatagram> waitForReceived(std::size_t count,
                                                std::chrono::milliseconds timeout) const;

    const std::string& logPath() const { return m_logPath; }

    // The emulator script compiled into the support library.
    static std::string scriptPath();

private:
    bool reap(bool block);

    std::vector<std::string> m_arguments;
    std::string m_node;
    std::string m_logPath;
    std::string m_readyPath;
    pid_t m_pid = -1;
    int m_exitStatus = -1;
};

// Writes an emulator device file (the JSON given to --devices) to a new
// temporary file and returns its path; empty when it cannot be written. The
// caller removes it.
std::string writeDeviceFile(std::string_view json);

}  // namespace kavren::lab
