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

// Whether a found device reports these settings, as it would once it took
// them (the description is cut to the request's field).
bool reportsSettings(const FoundDevice& found, const DeviceSettings& target);

// One device to be given new settings.
struct ConfigJob {
    FoundDevice device;  // as found: current settings and the adapter it answered on
    DeviceSettings target;
    std::string newPassword;  // empty: the device keeps its password
};

// Unchanged: the device already reports the wanted settings and is sent
// nothing.
enum class JobState { NotSent, Sent, Acknowledged, Verified, Failed, Unchanged };

const char* stateName(JobState state);

struct JobResult {
    JobState state = JobState::NotSent;
    std::string reason;   // why it failed or was not sent
    std::string message;  // the device's result message, when one came
    std::string destination;
    bool broadcast = false;
    bool outsideSubnet = false;  // unicast cannot reach it: sent only with --broadcast
    std::string sentAt;          // ISO time of the latest send
    std::string change;          // the audit trail's id of this change, the same for every attempt
    int attempt = 0;             // the attempt under way (1 for the first request)
    bool handedOver = false;     // a request of this change reached the socket
};

// How hard a run tries. A request without a result message within
// `resultTimeout` is sent again, up to `attempts` requests in all; before
// each new attempt and at the end a discovery (`discoverTimeout`,
// `discoverRetries`) shows whether the device already reports the new
// settings, and then it is verified and never sent again.
struct RunOptions {
    static constexpr int kDefaultAttempts = 3;
    static constexpr int kMaxAttempts = 10;

    std::chrono::milliseconds resultTimeout{3000};
    int attempts = kDefaultAttempts;
    bool verify = false;  // also discover the acknowledged devices at the end
    std::chrono::milliseconds discoverTimeout{2000};
    int discoverRetries = 0;
};

// Sends the jobs' configuration requests through the product's update logic
// (the same checks, request and destination as the window), then waits for
// the devices' result messages and optionally discovers again to verify.
class ConfigRun final {
public:
    using Progress = std::function<void(std::size_t job, const JobResult& result)>;
    // Told just before each request leaves, with its destination and attempt
    // in `result`; the request goes out only when it returns true (so the
    // audit trail holds it first), otherwise `error` says why not.
    using BeforeSend =
        std::function<bool(std::size_t job, const JobResult& result, std::string& error)>;

    ConfigRun(DeviceFinder& finder, const std::string& password, bool forceBroadcast)
        : m_finder(finder), m_password(password), m_forceBroadcast(forceBroadcast) {}

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setBeforeSend(BeforeSend beforeSend) { m_beforeSend = std::move(beforeSend); }

    // Runs every step; returns one result per job, in job order.
    std::vector<JobResult> run(const std::vector<ConfigJob>& jobs, const RunOptions& options);

    // Set in the environment, this ends the process the moment the N-th
    // request (1 when not a number) is handed to the socket, before any
    // answer or outcome line: the tests' stand-in for a crash or a kill at
    // the worst moment. It changes nothing else.
    static constexpr const char* kStopAfterSendVariable = "KAVREN_TEST_STOP_AFTER_SEND";

    // A result message counts as acceptance when it starts with this text.
    static constexpr std::string_view kAcceptedText = "Setting OK";

private:
    void send(std::size_t index, const ConfigJob& job, JobResult& result);
    void awaitResults(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                      std::chrono::milliseconds timeout);
    // Discovers the devices of the jobs that `wanted` picks again and settles
    // them: verified when they report the new settings; otherwise failed
    // when `final` (a failure keeps its reason), left as they are when not.
    void checkReported(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                       const std::function<bool(const JobResult&)>& wanted, bool final,
                       const RunOptions& options);
    void report(std::size_t job, const JobResult& result) const;

    DeviceFinder& m_finder;
    const std::string& m_password;
    bool m_forceBroadcast;
    Progress m_progress;
    BeforeSend m_beforeSend;
    int m_handedOver = 0;  // requests handed to the socket, for the stop hook
};

}  // namespace kavren::cli
