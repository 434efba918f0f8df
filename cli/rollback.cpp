// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/rollback.h"

#include <set>

#include "changes/audittrail.h"
#include "changes/changerecord.h"
#include "protocol/ipv4.h"
#include "protocol/textcodecs.h"
#include "usecases/discovery.h"
#include "wording/wording.h"

namespace kavren::cli {

namespace {

// Longest check a user can ask for: it runs once per verified device.
constexpr double kMaxCheckSeconds = 600.0;

// The device as `found` lists it now, judged like the run's verification: a
// MAC claimed by several senders counts only from the sender the change went
// to or the address it was to move to.
std::optional<usecases::FoundDevice> seenNow(const usecases::ConfigJob& job,
                                             const usecases::FoundDevices& found) {
    const std::optional<usecases::FoundDevice> device = found.byMac(job.device->mac);
    if (!device || device->rivals.empty())
        return device;
    auto claim = usecases::trustedClaim(*device, job.device.sender);
    if (const auto moved = job.target.ip; !claim && moved)
        claim = usecases::trustedClaim(*device, *moved);
    return claim;
}

// The password the device takes now: the new one once it took the change.
const std::string& validPassword(const usecases::ConfigJob& job, const usecases::JobResult& result,
                                 const std::string& current) {
    const bool tookChange =
        result.state == usecases::JobState::Verified || usecases::acceptedAnswer(result.message);
    return !job.newPassword.empty() && tookChange ? job.newPassword : current;
}

}  // namespace

void addRollbackOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("rollback"),
                      QStringLiteral("Send a device whose change does not verify (or fails "
                                     "--check) the settings it had before, then verify that. "
                                     "Implies --verify.")});
    parser.addOption({QStringLiteral("check"),
                      QStringLiteral("With --rollback: after a device verifies, run COMMAND "
                                     "through /bin/sh with KAVREN_MAC, KAVREN_IP, "
                                     "KAVREN_PREVIOUS_IP and KAVREN_ADAPTER set; a non-zero exit "
                                     "or a time-out rolls the device back."),
                      QStringLiteral("COMMAND")});
    parser.addOption({QStringLiteral("check-timeout"),
                      QStringLiteral("Seconds a --check may take (default 10)."),
                      QStringLiteral("SECONDS"), QStringLiteral("10")});
}

bool readRollbackOptions(const QCommandLineParser& parser, const std::vector<std::string>& withheld,
                         RollbackOptions& options, QString& error) {
    options.enabled = parser.isSet(QStringLiteral("rollback"));
    bool ok = false;
    const double seconds = parser.value(QStringLiteral("check-timeout")).toDouble(&ok);
    if (!ok || seconds <= 0.0 || seconds > kMaxCheckSeconds) {
        error = QStringLiteral("--check-timeout wants seconds above 0 and at most 600");
        return false;
    }
    const bool checked = parser.isSet(QStringLiteral("check"));
    if ((checked || parser.isSet(QStringLiteral("check-timeout"))) && !options.enabled) {
        error = QStringLiteral("--check and --check-timeout go with --rollback");
        return false;
    }
    if (checked) {
        options.check = HealthCheck{
            parser.value(QStringLiteral("check")).toStdString(),
            std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0)), withheld};
        if (options.check->command.empty()) {
            error = QStringLiteral("--check wants a command");
            return false;
        }
    }
    return true;
}

bool needsRollback(const usecases::JobResult& result) {
    if (result.state != usecases::JobState::Failed || !result.handedOver)
        return false;
    return result.message.empty() || usecases::acceptedAnswer(result.message);
}

usecases::ConfigJob rollbackJob(const usecases::ConfigJob& job, const usecases::FoundDevices& found,
                                usecases::FoundDevices& assumed) {
    // The settings the device reported before the change.
    usecases::ConfigJob undo{job.device, devices::settingsOf(*job.device.record), {}};
    if (auto seen = seenNow(job, found)) {
        undo.device = *seen;
        undo.device.rivals = {};
    } else if (const auto moved = job.target.ip) {
        devices::DeviceRecord there = *job.device.record;
        there.deviceIp = *moved;
        assumed.add(std::move(there), job.device.foundVia, job.device.sender);
        undo.device = assumed[assumed.size() - 1];
    }
    return undo;
}

std::vector<std::pair<std::string, std::string>> checkVariables(const usecases::ConfigJob& job) {
    return {
        {"KAVREN_MAC", job.device->mac},
        {"KAVREN_IP", devices::addressText(job.target.ip ? job.target.ip : job.device->deviceIp)},
        {"KAVREN_PREVIOUS_IP", devices::addressText(job.device->deviceIp)},
        {"KAVREN_ADAPTER", job.device.foundVia.text()}};
}

void checkAndRollBack(const RollbackOptions& rollback, RollbackContext& context,
                      const std::vector<usecases::ConfigJob>& jobs,
                      std::vector<usecases::JobResult>& results) {
    if (!rollback.enabled)
        return;
    std::vector<std::size_t> undo;
    std::vector<std::string> why(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (results[i].state == usecases::JobState::Verified && rollback.check) {
            const std::string failure = runHealthCheck(*rollback.check, checkVariables(jobs[i]));
            if (failure.empty())
                continue;
            why[i] = "health check " + failure;
            context.note(QString::fromStdString(jobs[i].device->mac +
                                                "  health check failed: " + failure + "\n"));
            undo.push_back(i);
        } else if (needsRollback(results[i])) {
            why[i] = wording::reasonText(jobs[i].device, jobs[i].target, results[i]);
            undo.push_back(i);
        }
    }
    if (undo.empty())
        return;

    // Where the devices are now, on the adapters they were found via.
    usecases::DiscoveryRounds rounds{.adapters = {},
                                     .timeout = context.options.discoverTimeout,
                                     .retries = context.options.discoverRetries};
    std::set<protocol::Ipv4Address> adapters;
    for (const std::size_t i : undo) {
        if (adapters.insert(jobs[i].device.foundVia).second)
            rounds.adapters.push_back(jobs[i].device.foundVia);
    }
    const usecases::FoundDevices found = usecases::findDevices(context.port, context.clock, rounds);
    usecases::FoundDevices assumed;

    // One run per password that is valid now, as a run sends one password.
    std::vector<std::pair<const std::string*, std::vector<std::size_t>>> groups;
    for (const std::size_t i : undo) {
        const std::string* password = &validPassword(jobs[i], results[i], context.password);
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [password](const auto& g) { return *g.first == *password; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {password, {}});
        group->second.push_back(i);
    }
    usecases::RunOptions options = context.options;
    options.verify = true;
    for (const auto& [password, members] : groups) {
        std::vector<usecases::ConfigJob> undoJobs;
        std::vector<std::string> undone;
        for (const std::size_t i : members) {
            undoJobs.push_back(rollbackJob(jobs[i], found, assumed));
            undone.push_back(results[i].change);
        }
        changes::ChangeRecorder recorder(context.audit, undoJobs);
        recorder.setUndoes(undone);
        usecases::ConfigurationRun run(context.port, context.clock, *password, context.broadcast);
        run.setChangeIds(context.changeIds);
        run.setBeforeSend(
            [&recorder](std::size_t index, const usecases::JobResult& result, std::string& error) {
                return recorder.sending(index, result, error);
            });
        run.setProgress([&](std::size_t index, const usecases::JobResult& result) {
            QString error;
            if (!recorder.outcome(index, result, error))
                context.note(QStringLiteral("kavren: audit trail: ") + error +
                             QStringLiteral("\n"));
        });
        const std::vector<usecases::JobResult> outcomes = run.run(undoJobs, options);
        for (std::size_t k = 0; k < members.size(); ++k) {
            usecases::JobResult& result = results[members[k]];
            if (outcomes[k].state == usecases::JobState::Verified) {
                result.state = usecases::JobState::RolledBack;
                result.reason = why[members[k]];
            } else {
                result.state = usecases::JobState::RollbackFailed;
                const std::string undoneWhy =
                    wording::reasonText(undoJobs[k].device, undoJobs[k].target, outcomes[k]);
                result.reason =
                    undoneWhy.empty() ? usecases::stateName(outcomes[k].state) : undoneWhy;
            }
            context.report(members[k], result);
        }
    }
}

}  // namespace kavren::cli
