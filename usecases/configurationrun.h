// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "usecases/configuration.h"
#include "usecases/deviceport.h"
#include "usecases/founddevice.h"

namespace kavren::usecases {

// One device to be given new settings.
struct ConfigJob {
    FoundDevice device;  // as found: current settings and the adapter it answered on
    devices::DeviceSettings target;
    std::string newPassword;  // empty: the device keeps its password
};

// Unchanged: the device already reports the wanted settings and is sent
// nothing. RolledBack and RollbackFailed: the change did not hold and the
// device was sent its settings from before, which it then reports, or not.
enum class JobState {
    NotSent,
    Sent,
    Acknowledged,
    Verified,
    Failed,
    Unchanged,
    RolledBack,
    RollbackFailed
};

const char* stateName(JobState state);

// Why a job failed or was not sent, as the run found it; the front ends put
// it into words (wording::reasonText).
enum class JobWhy {
    None,
    OutsideSubnet,     // only a broadcast reaches the device, and none is allowed
    AddressError,      // an address of the settings does not parse
    NoPassword,        // the current password is empty
    Withheld,          // BeforeSend kept the request back; its words in `detail`
    SendFailed,        // the socket refused it; the endpoint layer's text in `detail`
    DeviceRefused,     // the device's result message (`message`) is no acceptance
    NotFoundAgain,     // a result message came, but the device did not answer again
    Silent,            // neither a result message nor an answer again
    ReportsOtherwise,  // found again with other settings (`reported`)
};

// What became of one job; each change of it is told as it happens.
struct JobResult {
    JobState state = JobState::NotSent;
    JobWhy why = JobWhy::None;
    std::string detail;                             // the text that goes with `why`, as it came
    std::optional<devices::DeviceRecord> reported;  // what the device reports, for ReportsOtherwise
    std::string reason;   // the front end's own words of why, where the run has no value for it
    std::string message;  // the device's result message, when one came
    std::optional<protocol::Ipv4Address> destination;  // where the latest request went
    bool broadcast = false;
    bool outsideSubnet = false;  // unicast cannot reach it: sent only when broadcast is allowed
    std::string sentAt;          // ISO time of the latest send
    std::string change;          // the id of this change, the same for every attempt
    int attempt = 0;             // the attempt under way (1 for the first request)
    bool handedOver = false;     // a request of this change reached the socket
};

// Whether and how the request of `job` goes from `adapter`, the one it was
// found on, as a run decides it (routeTo): by unicast, refused for a device
// outside the adapter's subnet, or by broadcast for every device when
// `broadcast`. Records outsideSubnet in `result`, and the reason when it is
// refused. A dry run asks the same.
std::optional<CheckedSettings> routeJob(const ConfigJob& job, const Adapter& adapter,
                                        bool broadcast, JobResult& result);

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
// the devices' result messages, sends again where none came, and discovers
// again to verify.
class ConfigurationRun final {
public:
    using Progress = std::function<void(std::size_t job, const JobResult& result)>;
    // Told just before each request leaves, with its destination and attempt
    // in `result`; the request goes out only when it returns true (so an
    // audit trail holds it first), otherwise `error` says why not.
    using BeforeSend =
        std::function<bool(std::size_t job, const JobResult& result, std::string& error)>;
    // Told the moment a request has been handed to the port.
    using HandedOver = std::function<void(std::size_t job)>;
    // A new id for each change, kept for all its attempts.
    using ChangeIds = std::function<std::string()>;

    // `password` is the devices' current one; only a reference is kept, so
    // the caller wipes its only copy.
    ConfigurationRun(DevicePort& port, const RunClock& clock, const std::string& password,
                     bool forceBroadcast)
        : m_port(port), m_clock(clock), m_password(password), m_forceBroadcast(forceBroadcast) {}

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setBeforeSend(BeforeSend beforeSend) { m_beforeSend = std::move(beforeSend); }
    void setHandedOver(HandedOver handedOver) { m_handedOver = std::move(handedOver); }
    void setChangeIds(ChangeIds changeIds) { m_changeIds = std::move(changeIds); }

    // Runs every step; returns one result per job, in job order.
    std::vector<JobResult> run(const std::vector<ConfigJob>& jobs, const RunOptions& options);

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
    // The adapter at `address` with its mask, asked of the port once a run.
    Adapter adapter(protocol::Ipv4Address address);

    DevicePort& m_port;
    const RunClock& m_clock;
    const std::string& m_password;
    bool m_forceBroadcast;
    Progress m_progress;
    BeforeSend m_beforeSend;
    HandedOver m_handedOver;
    ChangeIds m_changeIds;
    std::map<protocol::Ipv4Address, std::optional<protocol::Ipv4Address>> m_masks;
};

}  // namespace kavren::usecases
