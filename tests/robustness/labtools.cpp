// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/robustness/labtools.h"

#include "tests/lab/emulatorprocess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kavren::app {

namespace {

using Clock = std::chrono::steady_clock;

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

// Starts argv with its standard output on a pipe; the child's standard
// input is /dev/null. Returns the pid, or -1.
int spawn(const std::vector<std::string>& argv, int* outFd) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    std::vector<char*> cargv;
    for (const std::string& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDIN_FILENO);
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    *outFd = pipeFds[0];
    return pid;
}

// Reads the child's output until it ends or the time is up; then reaps it
// (killing it at the limit). Returns the exit status or -1.
int collect(int pid, int fd, Clock::time_point deadline, std::string* output) {
    char buffer[4096];
    bool open = true;
    while (open && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            open = false;
        } else if (output) {
            output->append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string labNodeA() {
    const char* node = std::getenv("KAVREN_LAB_NODE_A");
    return node ? node : "";
}

}  // namespace

std::vector<LabDevice> hundredDevices() {
    std::vector<LabDevice> devices;
    for (int i = 0; i < 100; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", i);
        char mac[24];
        std::snprintf(mac, sizeof mac, "02-C4-7E-00-00-%02X", i);
        LabDevice d;
        d.mac = mac;
        d.ip = "198.18.0." + std::to_string(129 + i);
        switch (i % 4) {
            case 0:
                d.name = std::string("Pump ") + number;
                break;
            case 1:
                d.name = std::string("<b>") + number + "</b>";
                break;
            case 2:
                d.name = std::string("%s%n%x ") + number;
                break;
            default:
                d.name = std::string(28, '\xFF') + number;
                break;
        }
        d.version = "1." + std::to_string(i);
        d.description = i % 2 ? std::string("100% <i>sure</i> ") + number
                              : std::string("\x80\xA9\xE9 ") + number;
        devices.push_back(d);
    }
    return devices;
}

std::string writeDeviceFile(const std::vector<LabDevice>& devices) {
    std::ostringstream out;
    out << "{\"devices\": [\n";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const LabDevice& d = devices[i];
        out << "  {\"mac\": \"" << d.mac << "\", \"ip\": \"" << d.ip
            << "\", \"gateway\": \"198.18.0.1\", \"name\": {\"hex\": \"" << hex(d.name)
            << "\"}, \"version\": {\"hex\": \"" << hex(d.version)
            << "\"}, \"description\": {\"hex\": \"" << hex(d.description) << "\"}}"
            << (i + 1 < devices.size() ? ",\n" : "\n");
    }
    out << "]}\n";
    return lab::writeDeviceFile(out.str());
}

int runBounded(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
               std::string* output) {
    int fd = -1;
    const int pid = spawn(argv, &fd);
    if (pid < 0)
        return -1;
    return collect(pid, fd, Clock::now() + limit, output);
}

bool ipCommand(const std::vector<std::string>& args, std::string* output) {
    std::vector<std::string> argv{"ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runBounded(argv, std::chrono::seconds(10), output) == 0;
}

FloodProcess::FloodProcess(std::string deviceFile, int count, std::string phase2File,
                           std::vector<std::string> extraOptions)
    : m_deviceFile(std::move(deviceFile)),
      m_count(count),
      m_phase2File(std::move(phase2File)),
      m_extraOptions(std::move(extraOptions)) {}

FloodProcess::~FloodProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_outFd >= 0)
        ::close(m_outFd);
}

std::string FloodProcess::scriptPath() {
    return KAVREN_FLOOD_SCRIPT;
}

std::string FloodProcess::endText() {
    return "<b>end</b> %s%n 100%";
}

bool FloodProcess::start(std::string* error) {
    const std::string node = labNodeA();
    if (node.empty()) {
        *error = "KAVREN_LAB_NODE_A is not set";
        return false;
    }
    std::vector<std::string> argv = {
        "ip",        "netns",      "exec",      node,
        "python3",   scriptPath(), "--devices", m_deviceFile,
        "--target",  "198.18.0.1", "--count",   std::to_string(m_count),
        "--seconds", "60",         "--lab-sh",  KAVREN_LAB_SCRIPT};
    if (!m_phase2File.empty()) {
        argv.insert(argv.end(), {"--phase2-file", m_phase2File, "--phase2-wait", "30"});
    }
    argv.insert(argv.end(), m_extraOptions.begin(), m_extraOptions.end());
    m_pid = spawn(argv, &m_outFd);
    if (m_pid < 0) {
        *error = "cannot start the flood";
        return false;
    }
    return true;
}

std::optional<std::string> FloodProcess::finish(std::chrono::milliseconds limit) {
    if (m_pid < 0)
        return std::nullopt;
    std::string output;
    const int status = collect(m_pid, m_outFd, Clock::now() + limit, &output);
    m_pid = -1;
    m_outFd = -1;
    if (status != 0)
        return std::nullopt;
    return output;
}

long long FloodProcess::summaryNumber(const std::string& summary, const std::string& key) {
    const std::string needle = "\"" + key + "\": ";
    const auto at = summary.find(needle);
    if (at == std::string::npos)
        return -1;
    return std::atoll(summary.c_str() + at + needle.size());
}

long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

}  // namespace kavren::app
