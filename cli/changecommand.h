// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "changes/plan.h"
#include "cli/command.h"
#include "usecases/configurationrun.h"
#include "usecases/founddevice.h"

namespace kavren::changes {
class AuditTrail;
}

namespace kavren::cli {

// The base of the commands that send devices new settings (configure,
// restore): the password and run options, the audit trail and the run
// itself with its progress and summary.
class ChangeCommand : public Command {
public:
    using Command::Command;

    // Set in the environment, this ends the process the moment the N-th
    // request (1 when not a number) is handed to the socket, before any
    // answer or outcome line: the tests' stand-in for a crash or a kill at
    // the worst moment. It changes nothing else.
    static constexpr const char* kStopAfterSendVariable = "KAVREN_TEST_STOP_AFTER_SEND";

protected:
    // --password-file and --password-env for the devices' current password.
    static void addPasswordOptions(QCommandLineParser& parser);
    // The two ways besides the terminal to hand over a secret: --PREFIX-file
    // names a file whose first line it is, --PREFIX-env an environment
    // variable. readSecretOption() reads them back by the same prefix.
    static void addSecretOptions(QCommandLineParser& parser, const QString& prefix,
                                 const QString& fileHelp, const QString& envHelp);
    // --broadcast, --verify, --result-timeout, --attempts, --audit-file, --json,
    // --sender.
    static void addRunOptions(QCommandLineParser& parser);
    // The addresses of --sender, as the replies' senders are written; nullopt
    // (with `error`) when one is no IPv4 address.
    static std::optional<std::vector<protocol::Ipv4Address>> trustedSenders(
        const QCommandLineParser& parser, QString& error);

    // What people read (the preview, each device's lines, the summary):
    // standard output, or standard error with --json, whose document then
    // stands alone on standard output.
    static void writeReport(const QCommandLineParser& parser, const QByteArray& bytes);

    // Reads a secret from the file or environment variable the two options
    // of addSecretOptions() name, else from the terminal; a password file
    // others may read is warned about. False (after saying why) when there is
    // none.
    static bool readSecretOption(const QCommandLineParser& parser, const QString& prefix,
                                 bool prompt, const std::string& promptText, bool confirm,
                                 std::string& secret);

    // --result-timeout, --attempts and --verify, checked with the other
    // options before anything is discovered or asked for; false with the
    // usage error in `error`.
    static bool readRunOptions(const QCommandLineParser& parser, usecases::RunOptions& options,
                               QString& error);
    // The password variables named on the command line, withheld from the
    // programs the diagnosis starts.
    static void withholdSecretVariables(const QCommandLineParser& parser, NetworkOptions& network);

    static QString auditPathOf(const QCommandLineParser& parser);
    // The trail, with its warnings going to standard error.
    static changes::AuditTrail auditTrail(const QString& path);

    // Shows the preview of the checked entries and stops when one has an
    // error, or after it with `dryRun`; passes over the devices that report
    // their settings already (unless given a new password, which cannot be
    // read back); reads the current password and sends the rest. With
    // --json, one document on standard output tells how each entry ended.
    // Returns the exit status; the entries' new passwords are wiped.
    int applyPlan(DeviceFinder& finder, std::vector<changes::PlanEntry>& entries,
                  const QCommandLineParser& parser, const usecases::RunOptions& options,
                  const NetworkOptions& network, bool dryRun);

private:
    // Sends the jobs, reports each device as its results come, appends the
    // audit trail and prints the summary. Returns the exit status and
    // fills `results`, one per job.
    static int runJobs(DeviceFinder& finder, const std::vector<usecases::ConfigJob>& jobs,
                       const QCommandLineParser& parser, usecases::RunOptions options,
                       const NetworkOptions& network, const std::string& password,
                       std::vector<usecases::JobResult>& results);
};

}  // namespace kavren::cli
