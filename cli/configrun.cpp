// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/configrun.h"

#include <QDateTime>
#include <map>
#include <set>

#include "usecases/updatecommands.h"
#include "devices/devicegrid.h"
#include "protocol/textcodecs.h"
#include "net/idexception.h"
#include "protocol/packets.h"
#include "cli/devicefinder.h"
#include "cli/subnets.h"
#include "cli/terminalprompts.h"

namespace kavren::cli {

namespace {

// Sends through the finder from the adapter the device was found on, and
// remembers where the request went.
class RecordingSender final : public DatagramSender {
public:
    RecordingSender(DeviceFinder& finder, std::string source)
        : m_finder(finder), m_source(std::move(source)) {}

    void send(std::string_view host, bool broadcast,
              std::span<const std::uint8_t> datagram) override {
        if (broadcast) {
            m_host = config::UpdateCommands::kBroadcastHost;
        } else {
            m_host = host;
        }
        m_broadcast = broadcast;
        m_finder.send(m_source, host, broadcast, datagram);
        m_sent = true;
    }

    bool sent() const { return m_sent; }
    const std::string& host() const { return m_host; }
    bool broadcast() const { return m_broadcast; }

private:
    DeviceFinder& m_finder;
    std::string m_source;
    std::string m_host;
    bool m_broadcast = false;
    bool m_sent = false;
};

class FixedUi final : public config::UpdateUi {
public:
    explicit FixedUi(bool broadcast) : m_broadcast(broadcast) {}
    bool forceBroadcast() const override { return m_broadcast; }
    void disableUpdateDevice() override {}

private:
    bool m_broadcast;
};

// A device cannot be reached by unicast from an adapter whose subnet does
// not hold its address: the host has no route, or one through the wrong
// adapter.
bool outsideAdapterSubnet(const FoundDevice& device) {
    const auto mask = localNetMask(device.foundVia);
    const auto adapter = ipv4Value(device.foundVia);
    const auto ip = ipv4Value(device.ip);
    return mask && adapter && ip && !sameSubnet(*adapter, *ip, *mask);
}

// What the device will report once it took the settings: the description
// is cut to the packet's field.
bool reportsSettings(const FoundDevice& found, const DeviceSettings& target) {
    return ipv4Value(found.ip) == ipv4Value(target.ip) &&
           ipv4Value(found.mask) == ipv4Value(target.mask) &&
           ipv4Value(found.gateway) == ipv4Value(target.gateway) &&
           found.description == target.description.substr(0, packet::kConfigDescriptionWidth);
}

std::string differences(const FoundDevice& found, const DeviceSettings& target) {
    std::string text;
    auto compare = [&text](const char* what, const std::string& now, const std::string& wanted) {
        if (now == wanted)
            return;
        if (!text.empty())
            text += ", ";
        text += std::string(what) + " is " + now + " instead of " + wanted;
    };
    compare("ip", found.ip, codec::formatDotted(codec::parseIpv4(target.ip).values));
    compare("mask", found.mask, codec::formatDotted(codec::parseIpv4(target.mask).values));
    compare("gateway", found.gateway, codec::formatDotted(codec::parseIpv4(target.gateway).values));
    if (found.description != target.description.substr(0, packet::kConfigDescriptionWidth))
        compare("description", found.description, target.description);
    return text;
}

}  // namespace

const char* stateName(JobState state) {
    switch (state) {
        case JobState::NotSent:
            return "not sent";
        case JobState::Sent:
            return "sent";
        case JobState::Acknowledged:
            return "acknowledged";
        case JobState::Verified:
            return "verified";
        case JobState::Failed:
            return "failed";
    }
    return "";
}

void ConfigRun::report(std::size_t job, const JobResult& result) const {
    if (m_progress)
        m_progress(job, result);
}

JobResult ConfigRun::send(const ConfigJob& job) {
    JobResult result;
    const FoundDevice& device = job.device;

    // The device's row as the window would hold it after the user typed the
    // new settings, so the same checks and the same request apply.
    DeviceGrid grid;
    grid.setUp();
    const int row =
        grid.appendDeviceRow({device.mac, device.name, device.version, device.ip, job.target.ip,
                              job.target.mask, job.target.gateway, job.target.description});
    grid.setCell(DeviceGrid::ColNewPassword, row, job.newPassword);

    result.outsideSubnet = !m_forceBroadcast && outsideAdapterSubnet(device);
    TerminalPrompts prompts(m_password);
    RecordingSender sender(m_finder, device.foundVia);
    FixedUi ui(m_forceBroadcast || result.outsideSubnet);
    config::UpdateCommands commands(grid, prompts, sender, ui);
    result.sentAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    try {
        commands.updateRow(row);
    } catch (const EIdException& error) {
        result.state = JobState::Failed;
        result.reason = "send failed: " + error.message();
        return result;
    }
    if (!sender.sent()) {
        result.state = JobState::NotSent;
        result.reason = prompts.messages().empty() ? "not sent" : prompts.messages().front();
        return result;
    }
    result.state = JobState::Sent;
    result.destination = sender.host();
    result.broadcast = sender.broadcast();
    return result;
}

void ConfigRun::awaitResults(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                             std::chrono::milliseconds timeout) {
    std::map<std::string, std::size_t> waiting;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (results[i].state == JobState::Sent)
            waiting.emplace(jobs[i].device.mac, i);
    }
    if (waiting.empty())
        return;
    m_finder.collect(DeviceFinder::Clock::now() + timeout,
                     [&](std::span<const std::uint8_t> data, const std::string&) {
                         const packet::Reply reply = packet::recognise(data);
                         const auto* message = std::get_if<packet::ResultMessageReply>(&reply);
                         if (message == nullptr)
                             return false;
                         const auto it = waiting.find(codec::formatMac(message->mac));
                         if (it == waiting.end())
                             return false;
                         JobResult& result = results[it->second];
                         result.message = message->text;
                         if (message->text.starts_with(kAcceptedText)) {
                             result.state = JobState::Acknowledged;
                         } else {
                             result.state = JobState::Failed;
                             result.reason = "device answered \"" + message->text + "\"";
                         }
                         report(it->second, result);
                         waiting.erase(it);
                         return waiting.empty();
                     });
}

void ConfigRun::verifyAll(const std::vector<ConfigJob>& jobs, std::vector<JobResult>& results,
                          std::chrono::milliseconds timeout) {
    std::vector<std::string> adapters;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const JobState state = results[i].state;
        if ((state == JobState::Acknowledged || state == JobState::Sent) &&
            seen.insert(jobs[i].device.foundVia).second) {
            adapters.push_back(jobs[i].device.foundVia);
        }
    }
    if (adapters.empty())
        return;
    const std::vector<FoundDevice> found = m_finder.discover(adapters, timeout, 0);
    std::map<std::string, const FoundDevice*> byMac;
    for (const FoundDevice& device : found)
        byMac.emplace(device.mac, &device);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        JobResult& result = results[i];
        if (result.state != JobState::Acknowledged && result.state != JobState::Sent)
            continue;
        const auto it = byMac.find(jobs[i].device.mac);
        if (it == byMac.end()) {
            result.state = JobState::Failed;
            result.reason = result.message.empty() ? "no result message and not found again"
                                                   : "not found again";
        } else if (reportsSettings(*it->second, jobs[i].target)) {
            result.state = JobState::Verified;
        } else {
            result.state = JobState::Failed;
            result.reason = "found again, but " + differences(*it->second, jobs[i].target);
        }
        report(i, result);
    }
}

std::vector<JobResult> ConfigRun::run(const std::vector<ConfigJob>& jobs,
                                      std::chrono::milliseconds resultTimeout, bool verify,
                                      std::chrono::milliseconds discoverTimeout) {
    std::vector<JobResult> results;
    results.reserve(jobs.size());
    // Every request goes out before any answer is awaited, so a plan over
    // many devices takes one time-out, not one per device.
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        results.push_back(send(jobs[i]));
        report(i, results.back());
    }
    awaitResults(jobs, results, resultTimeout);
    if (verify)
        verifyAll(jobs, results, discoverTimeout);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (results[i].state == JobState::Sent) {
            results[i].state = JobState::Failed;
            results[i].reason =
                "no result message within " + std::to_string(resultTimeout.count()) + " ms";
            report(i, results[i]);
        }
    }
    return results;
}

}  // namespace kavren::cli
