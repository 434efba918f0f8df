// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/emulatorprocess.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace kavren::lab {
namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Several emulators may run in one test; each gets its own files.
std::string uniqueStem() {
    static std::atomic<int> counter{0};
    return envOr("KAVREN_LAB_DIR", "/tmp") + "/emulator-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

}  // namespace

EmulatorProcess::EmulatorProcess(std::vector<std::string> arguments, std::string node)
    : m_arguments(std::move(arguments)),
      m_node(node.empty() ? envOr("KAVREN_LAB_NODE_A", "") : std::move(node)) {
    const std::string stem = uniqueStem();
    m_logPath = stem + ".jsonl";
    m_readyPath = stem + ".ready";
}

EmulatorProcess::~EmulatorProcess() {
    stop();
}

std::string EmulatorProcess::scriptPath() {
    return KAVREN_EMULATOR_SCRIPT;
}

bool EmulatorProcess::start(std::string* error, std::chrono::milliseconds readyTimeout) {
    if (m_pid > 0) {
        *error = "the emulator is running already";
        return false;
    }
    if (m_node.empty()) {
        *error = "no device namespace: KAVREN_LAB_NODE_A is not set (not inside the lab?)";
        return false;
    }
    std::vector<std::string> argv = {"ip",         "netns", "exec",    m_node,         "python3",
                                     scriptPath(), "--log", m_logPath, "--ready-file", m_readyPath};
    argv.insert(argv.end(), m_arguments.begin(), m_arguments.end());
    if (std::find(m_arguments.begin(), m_arguments.end(), "--lifetime") == m_arguments.end()) {
        argv.insert(argv.end(), {"--lifetime", "30"});
    }
    std::vector<char*> cargv;
    for (std::string& arg : argv) {
        cargv.push_back(arg.data());
    }
    cargv.push_back(nullptr);
    ::unlink(m_readyPath.c_str());

    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = "fork failed";
        return false;
    }
    if (pid == 0) {
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }
    m_pid = pid;
    m_exitStatus = -1;

    const auto deadline = std::chrono::steady_clock::now() + readyTimeout;
    while (!fileExists(m_readyPath)) {
        if (reap(false)) {
            *error = "the emulator ended before it was ready (exit status " +
                     std::to_string(m_exitStatus) + ")";
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            stop();
            *error =
                "the emulator was not ready within " + std::to_string(readyTimeout.count()) + " ms";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool EmulatorProcess::reap(bool block) {
    if (m_pid <= 0) {
        return true;
    }
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (done != m_pid) {
        return false;
    }
    m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    m_pid = -1;
    return true;
}

void EmulatorProcess::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            reap(true);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool EmulatorProcess::isRunning() {
    return !reap(false);
}

std::vector<LoggedDatagram> EmulatorProcess::received() const {
    return readLog(m_logPath);
}

std::vector<LoggedDatagram> EmulatorProcess::waitForReceived(
    std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<LoggedDatagram> records = received();
        if (records.size() >= count || std::chrono::steady_clock::now() >= deadline) {
            return records;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string writeDeviceFile(std::string_view json) {
    char path[] = "/tmp/kavren-devices-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return {};
    ::close(fd);
    std::ofstream out(path);
    out << json;
    out.close();
    if (!out) {
        std::remove(path);
        return {};
    }
    return path;
}

}  // namespace kavren::lab
