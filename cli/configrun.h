// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/founddevice.h"
#include "cli/plan.h"

namespace kavren::cli {

class DeviceFinder;

// One device to be given new settings.
struct ConfigJob {
    FoundDevice device;  // as found: current settings and the adapter it answered on
    DeviceSettings target;
    std::string newPassword;  // empty: the device keeps its password
};

enum class JobState { NotSent, Sent, Acknowledged, Verified, Failed };

const char* stateName(JobState state);

struct JobResult {
    JobState state = JobState::NotSent;
    std::string reason;   // why it failed or was not sent
    std::string message;  // the device's result message, when one came
    std::string destination;
    bool broadcast = false;
    bool outsideSubnet = false;  // broadcast chosen because unicast cannot reach it
    std::string sentAt;          // ISO time of the send
};

// Sends the jobs' configuration requests through the product's update logic
// (the same checks, request and destination as the window), then waits for
// the devices' result messages and optionally discovers again to verify.
class ConfigRun final {
public:
    using Progress = std::function<void(std::size_t job, const JobResult& result)>;

    ConfigRun(DeviceFinder& finder, const std::string& password, bool forceBroadcast)
        : m_finder(finder), m_password(password), m_forceBroadcast(forceBroadcast) {}

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Runs every step; returns one result per job, in job order.
    std::vector<JobResult> run(const std::vector<ConfigJob>& jobs,
                               std::chrono::milliseconds resultTimeout, bool verify,
                               std::chrono::milliseconds discoverTimeout);

    // A result message counts as acceptance when it starts with this text.
    static constexpr std::string_view kAcceptedText = "Setting OK";

private:
    JobResult send(const ConfigJob& job);
    void awaitResults(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                      std::chrono::milliseconds timeout);
    void verifyAll(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                   std::chrono::milliseconds timeout);
    void report(std::size_t job, const JobResult& result) const;

    DeviceFinder& m_finder;
    const std::string& m_password;
    bool m_forceBroadcast;
    Progress m_progress;
};

}  // namespace kavren::cli
