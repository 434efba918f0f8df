// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/configurationrun.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "devices/addressindex.h"
#include "net/idexception.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"
#include "usecases/configuration.h"
#include "usecases/discovery.h"

namespace kavren::usecases {

std::optional<CheckedSettings> routeJob(const ConfigJob& job, const Adapter& adapter,
                                        bool broadcast, JobResult& result) {
    Route route = routeTo({.mac = job.device->mac,
                           .deviceIp = job.device->deviceIp,
                           .target = job.target,
                           .newPassword = job.newPassword},
                          adapter, broadcast ? Delivery::Broadcast : Delivery::UnicastWithinSubnet);
    result.outsideSubnet = route.outsideSubnet;
    if (route.refusal == RouteRefusal::OutsideSubnet)
        result.why = JobWhy::OutsideSubnet;
    else if (route.refusal == RouteRefusal::AddressError)
        result.why = JobWhy::AddressError;
    return std::move(route.request);
}

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
        case JobState::Unchanged:
            return "unchanged";
        case JobState::RolledBack:
            return "rolled back";
        case JobState::RollbackFailed:
            return "rollback failed";
    }
    return "";
}

void ConfigurationRun::report(std::size_t job, const JobResult& result) const {
    if (m_progress)
        m_progress(job, result);
}

Adapter ConfigurationRun::adapter(protocol::Ipv4Address address) {
    auto known = m_masks.find(address);
    if (known == m_masks.end())
        known = m_masks.emplace(address, m_port.adapterMask(address)).first;
    return {.address = address, .mask = known->second};
}

void ConfigurationRun::send(std::size_t index, const ConfigJob& job, JobResult& result) {
    const FoundDevice& device = job.device;

    // A later attempt that cannot go out ends the change; the first one was
    // simply never sent. The same checks and the same request as the
    // window's update of a row holding the new settings.
    const JobState notSent = result.handedOver ? JobState::Failed : JobState::NotSent;
    const std::optional<CheckedSettings> settings =
        routeJob(job, adapter(device.foundVia), m_forceBroadcast, result);
    if (!settings) {
        result.state = notSent;
        return;
    }
    if (m_password.empty()) {
        result.state = notSent;
        result.why = JobWhy::NoPassword;
        return;
    }

    result.sentAt = m_clock.utcText();
    result.destination = settings->destination;
    result.broadcast = settings->broadcast;
    if (std::string refusal; m_beforeSend && !m_beforeSend(index, result, refusal)) {
        result.state = notSent;
        result.why = JobWhy::Withheld;
        result.detail = std::move(refusal);
        return;
    }
    try {
        sendConfiguration(*settings, m_password, m_port, device.foundVia);
    } catch (const net::EIdException& error) {
        result.state = JobState::Failed;
        result.why = JobWhy::SendFailed;
        result.detail = error.message();
        return;
    }
    if (m_handedOver)
        m_handedOver(index);
    result.handedOver = true;
    result.state = JobState::Sent;
}

void ConfigurationRun::awaitResults(const std::vector<ConfigJob>& jobs,
                                    std::vector<JobResult>& results,
                                    std::chrono::milliseconds timeout) {
    std::map<std::string, std::size_t> waiting;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (results[i].state == JobState::Sent)
            waiting.emplace(jobs[i].device->mac, i);
    }
    if (waiting.empty())
        return;
    m_port.receive(m_clock.now() + timeout,
                   [&](std::span<const std::uint8_t> data, protocol::Ipv4Address) {
                       const protocol::Reply reply = protocol::recognise(data);
                       const auto* message = std::get_if<protocol::ResultMessageReply>(&reply);
                       if (message == nullptr)
                           return false;
                       const auto it = waiting.find(protocol::formatMac(message->mac));
                       if (it == waiting.end())
                           return false;
                       JobResult& result = results[it->second];
                       result.message = message->text;
                       if (acceptedAnswer(message->text)) {
                           result.state = JobState::Acknowledged;
                       } else {
                           result.state = JobState::Failed;
                           result.why = JobWhy::DeviceRefused;
                       }
                       report(it->second, result);
                       waiting.erase(it);
                       return waiting.empty();
                   });
}

void ConfigurationRun::checkReported(const std::vector<ConfigJob>& jobs,
                                     std::vector<JobResult>& results,
                                     const std::function<bool(const JobResult&)>& wanted,
                                     bool final, const RunOptions& options) {
    DiscoveryRounds rounds{
        .adapters = {}, .timeout = options.discoverTimeout, .retries = options.discoverRetries};
    std::set<protocol::Ipv4Address> seen;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (wanted(results[i]) && seen.insert(jobs[i].device.foundVia).second)
            rounds.adapters.push_back(jobs[i].device.foundVia);
    }
    if (rounds.adapters.empty())
        return;
    const FoundDevices found = findDevices(m_port, m_clock, rounds);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        JobResult& result = results[i];
        if (!wanted(result))
            continue;
        std::optional<FoundDevice> reported = found.byMac(jobs[i].device->mac);
        // A MAC that more than one sender answers with is judged by the reply
        // of the sender the request went to, or of the address it moved to.
        if (reported && !reported->rivals.empty()) {
            std::optional<FoundDevice> claim = trustedClaim(*reported, jobs[i].device.sender);
            if (const auto moved = jobs[i].target.ip; !claim && moved)
                claim = trustedClaim(*reported, *moved);
            if (claim)
                reported = claim;
        }
        if (reported && devices::reportsSettings(*reported->record, jobs[i].target)) {
            result.state = JobState::Verified;
        } else if (!final || result.state == JobState::Failed) {
            continue;  // sent again, or its failure stands
        } else if (!reported) {
            result.state = JobState::Failed;
            result.why = result.message.empty() ? JobWhy::Silent : JobWhy::NotFoundAgain;
        } else {
            result.state = JobState::Failed;
            result.why = JobWhy::ReportsOtherwise;
            result.reported = *reported->record;
        }
        report(i, result);
    }
}

std::vector<JobResult> ConfigurationRun::run(const std::vector<ConfigJob>& jobs,
                                             const RunOptions& options) {
    std::vector<JobResult> results(jobs.size());
    if (m_changeIds) {
        for (JobResult& result : results)
            result.change = m_changeIds();
    }
    const int attempts = std::clamp(options.attempts, 1, RunOptions::kMaxAttempts);
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        // Every request of an attempt goes out before any answer is awaited,
        // so a plan over many devices takes one time-out, not one per device.
        bool anySent = false;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            JobResult& result = results[i];
            if (attempt > 1 && result.state != JobState::Sent)
                continue;
            result.attempt = attempt;
            send(i, jobs[i], result);
            anySent = anySent || result.state == JobState::Sent;
            report(i, result);
        }
        if (!anySent)
            break;
        awaitResults(jobs, results, options.resultTimeout);
        // A device whose result message was lost may have taken the
        // settings all the same: asking it again would change it twice.
        checkReported(
            jobs, results, [](const JobResult& r) { return r.state == JobState::Sent; },
            attempt == attempts, options);
    }
    // A device refusing a later attempt may have taken an earlier one whose
    // answer was lost: one that set a new password no longer takes the old.
    checkReported(
        jobs, results,
        [](const JobResult& r) {
            return r.state == JobState::Failed && r.attempt > 1 && !r.message.empty();
        },
        true, options);
    if (options.verify) {
        checkReported(
            jobs, results, [](const JobResult& r) { return r.state == JobState::Acknowledged; },
            true, options);
    }
    return results;
}

}  // namespace kavren::usecases
