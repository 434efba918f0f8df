// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "cli/healthcheck.h"

extern char** environ;  // NOLINT(readability-identifier-naming): the C library's name

namespace kavren::cli {

namespace {

constexpr std::chrono::milliseconds kPollInterval{20};

bool withheld(const std::string& entry, const HealthCheck& check,
              const std::vector<std::pair<std::string, std::string>>& variables) {
    const std::string name = entry.substr(0, entry.find('='));
    return std::find(check.withheld.begin(), check.withheld.end(), name) != check.withheld.end() ||
           std::any_of(variables.begin(), variables.end(),
                       [&name](const auto& variable) { return variable.first == name; });
}

}  // namespace

std::string runHealthCheck(const HealthCheck& check,
                           const std::vector<std::pair<std::string, std::string>>& variables) {
    // Everything the child needs is built before the fork: after it, only
    // calls that are safe in a copy of a threaded process.
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (!withheld(*entry, check, variables))
            environment.emplace_back(*entry);
    }
    for (const auto& [name, value] : variables)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh";
    std::string flag = "-c";
    std::string command = check.command;
    char* argv[] = {shell.data(), flag.data(), command.data(), nullptr};

    const pid_t pid = ::fork();
    if (pid < 0)
        return "could not be started";
    if (pid == 0) {
        // A group of its own, so that a time-out ends whatever it started.
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDIN_FILENO);
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);  // also here: the child may not have run yet
    const auto deadline = std::chrono::steady_clock::now() + check.timeout;
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return "could not be waited for";
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return checkTimeoutText(check.timeout);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status) == 0
                   ? std::string()
                   : "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    return "ended by signal " + std::to_string(WTERMSIG(status));
}

}  // namespace kavren::cli
