// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/healthcheck.h"
#include "usecases/configurationrun.h"
#include "usecases/deviceport.h"
#include "usecases/founddevice.h"

namespace kavren::changes {
class AuditTrail;
}  // namespace kavren::changes

namespace kavren::cli {

// --rollback and --check: the client holds the safety net these devices
// have no timer for. A change that does not verify, or whose device fails
// the check, is undone by sending the device the settings it had before.
struct RollbackOptions {
    bool enabled = false;
    std::optional<HealthCheck> check;
};

void addRollbackOptions(QCommandLineParser& parser);
// False with the usage error in `error`; `withheld` names the password
// variables the check must not see.
bool readRollbackOptions(const QCommandLineParser& parser, const std::vector<std::string>& withheld,
                         RollbackOptions& options, QString& error);

// Whether a result calls for a rollback: a request went out and the change
// did not verify. A device that answered with a refusal took nothing.
bool needsRollback(const usecases::JobResult& result);

// The rollback of `job`: its settings from before the change, sent where
// the device is now seen (`found`, a discovery after the run), else where it
// was asked to move: as a record that `assumed` lists, for as long as the job.
usecases::ConfigJob rollbackJob(const usecases::ConfigJob& job, const usecases::FoundDevices& found,
                                usecases::FoundDevices& assumed);

// The check's variables for a verified job: KAVREN_MAC, KAVREN_IP (the new
// address), KAVREN_PREVIOUS_IP and KAVREN_ADAPTER.
std::vector<std::pair<std::string, std::string>> checkVariables(const usecases::ConfigJob& job);

// Everything after the run: the checks of the verified devices, then the
// rollbacks, each a change of its own in the audit trail that names the
// change it undoes, sent with the password that is valid now. Results of
// rolled-back jobs become RolledBack or RollbackFailed and are told through
// `report`; `note` takes a line for people (a failed check).
struct RollbackContext {
    usecases::DevicePort& port;
    const usecases::RunClock& clock;
    const changes::AuditTrail& audit;
    const std::string& password;
    bool broadcast = false;
    usecases::RunOptions options;
    std::function<std::string()> changeIds;
    std::function<void(std::size_t job, const usecases::JobResult&)> report;
    std::function<void(const QString&)> note;
};
void checkAndRollBack(const RollbackOptions& rollback, RollbackContext& context,
                      const std::vector<usecases::ConfigJob>& jobs,
                      std::vector<usecases::JobResult>& results);

}  // namespace kavren::cli
