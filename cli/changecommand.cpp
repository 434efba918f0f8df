// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/changecommand.h"

#include <QUuid>
#include <algorithm>

#include "changes/audittrail.h"
#include "changes/changerecord.h"
#include "changes/trailfile.h"
#include "cli/console.h"
#include "cli/devicefinder.h"
#include "cli/passwordsource.h"
#include "cli/rollback.h"
#include "cli/runoutput.h"
#include "protocol/textcodecs.h"
#include "usecases/secretwipe.h"

namespace kavren::cli {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string joined(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& part : texts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

// The send count at which the test hook ends the process; 0 when unset.
int stopAfterSend() {
    const QByteArray value = qgetenv(ChangeCommand::kStopAfterSendVariable);
    if (value.isEmpty())
        return 0;
    bool ok = false;
    const int count = value.toInt(&ok);
    return ok && count > 0 ? count : 1;
}

}  // namespace

void ChangeCommand::addPasswordOptions(QCommandLineParser& parser) {
    addSecretOptions(parser, QStringLiteral("password"),
                     QStringLiteral("Read the devices' current password from the first line "
                                    "of FILE."),
                     QStringLiteral("Read the devices' current password from the environment "
                                    "variable VAR. Without either option it is asked for on "
                                    "the terminal, without echo."));
}

void ChangeCommand::addSecretOptions(QCommandLineParser& parser, const QString& prefix,
                                     const QString& fileHelp, const QString& envHelp) {
    parser.addOption({prefix + QStringLiteral("-file"), fileHelp, QStringLiteral("FILE")});
    parser.addOption({prefix + QStringLiteral("-env"), envHelp, QStringLiteral("VAR")});
}

void ChangeCommand::addRunOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("broadcast"),
                      QStringLiteral("Send the configuration request by broadcast, to every "
                                     "host on the segment. Needed for a device whose address "
                                     "lies outside the subnet of the adapter it was found via, "
                                     "which unicast cannot reach; without it such a device "
                                     "fails.")});
    parser.addOption({QStringLiteral("verify"),
                      QStringLiteral("Discover again afterwards and check that each device "
                                     "reports the new settings.")});
    parser.addOption({QStringLiteral("result-timeout"),
                      QStringLiteral("Seconds to wait for the devices' result messages "
                                     "(default 3)."),
                      QStringLiteral("SECONDS"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("attempts"),
                      QStringLiteral("Requests per device at most (default 3, at most 10): one "
                                     "without a result message within the result time-out is "
                                     "sent again, unless a discovery shows that the device "
                                     "already reports the new settings."),
                      QStringLiteral("N"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("audit-file"),
                      QStringLiteral("Audit trail to append to (default "
                                     "$XDG_STATE_HOME/kavren/audit.jsonl)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Write one JSON document about the run on standard output "
                                     "(each device's settings before and requested, what was "
                                     "sent, its result and final state, the totals); the "
                                     "preview and the progress go to standard error.")});
    parser.addOption({QStringLiteral("sender"),
                      QStringLiteral("Trust the reply from ADDRESS for a device whose MAC "
                                     "more than one sender answered with; such a device is "
                                     "refused without it. May be given more than once."),
                      QStringLiteral("ADDRESS")});
    addRollbackOptions(parser);
}

std::optional<std::vector<protocol::Ipv4Address>> ChangeCommand::trustedSenders(
    const QCommandLineParser& parser, QString& error) {
    std::vector<protocol::Ipv4Address> senders;
    for (const QString& value : parser.values(QStringLiteral("sender"))) {
        const auto address = protocol::Ipv4Address::parse(value.toStdString());
        if (!address) {
            error = QStringLiteral("--sender wants an IPv4 address, not ") + value;
            return std::nullopt;
        }
        senders.push_back(*address);
    }
    return senders;
}

void ChangeCommand::writeReport(const QCommandLineParser& parser, const QByteArray& bytes) {
    if (parser.isSet(QStringLiteral("json")))
        writeErr(QString::fromUtf8(bytes));
    else
        writeOut(bytes);
}

bool ChangeCommand::readSecretOption(const QCommandLineParser& parser, const QString& prefix,
                                     bool prompt, const std::string& promptText, bool confirm,
                                     std::string& secret) {
    SecretSource source;
    source.file = parser.value(prefix + QStringLiteral("-file")).toStdString();
    source.envName = parser.value(prefix + QStringLiteral("-env")).toStdString();
    source.prompt = prompt;
    if (!source.file.empty()) {
        const std::string warning = passwordFileWarning(source.file);
        if (!warning.empty())
            writeErr(QStringLiteral("kavren: warning: ") + qs(warning) + QStringLiteral("\n"));
    }
    std::string error;
    auto value = readSecret(source, promptText, confirm, error);
    if (!value) {
        writeErr(QStringLiteral("kavren: ") + qs(error) + QStringLiteral("\n"));
        return false;
    }
    secret = std::move(*value);
    usecases::wipeString(*value);
    return true;
}

QString ChangeCommand::auditPathOf(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("audit-file")) ? parser.value(QStringLiteral("audit-file"))
                                                      : changes::AuditTrail::defaultPath();
}

changes::AuditTrail ChangeCommand::auditTrail(const QString& path) {
    return changes::AuditTrail(path, [](const QString& text) {
        writeErr(QStringLiteral("kavren: warning: ") + text + QStringLiteral("\n"));
    });
}

int ChangeCommand::applyPlan(DeviceFinder& finder, std::vector<changes::PlanEntry>& entries,
                             const QCommandLineParser& parser, const usecases::RunOptions& options,
                             const NetworkOptions& network, bool dryRun) {
    struct Wipe {
        std::vector<changes::PlanEntry>& entries;
        ~Wipe() {
            for (changes::PlanEntry& entry : entries)
                usecases::wipeString(entry.newPassword);
        }
    } const wipe{entries};
    const bool json = parser.isSet(QStringLiteral("json"));
    const QString command = name();
    std::vector<usecases::JobResult> results(entries.size());
    auto finish = [&](int status) {
        if (json)
            writeOut(runJson(command, dryRun, entries, results));
        return status;
    };

    writeReport(parser, previewTable(entries));
    const auto errors = std::count_if(entries.begin(), entries.end(),
                                      [](const changes::PlanEntry& entry) { return !entry.ok(); });
    if (errors > 0) {
        writeErr(QStringLiteral("kavren: %1 of %2 device(s) have errors; nothing was sent\n")
                     .arg(errors)
                     .arg(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            results[i].reason = entries[i].ok() ? "not sent: other devices of the plan have errors"
                                                : joined(entries[i].errors);
        }
        return finish(ExitFailed);
    }
    // Sending a device the settings it reports already would change nothing
    // but its audit trail; a new password is another matter, as no reply
    // ever shows one.
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].newPassword.empty() &&
            devices::reportsSettings(*entries[i].device->record, entries[i].target))
            results[i].state = usecases::JobState::Unchanged;
        else
            pending.push_back(i);
    }
    if (dryRun) {
        // The preview answers as the run would: a device that only a
        // broadcast reaches is refused without --broadcast.
        int status = ExitOk;
        for (const std::size_t i : pending) {
            const usecases::FoundDevice& device = *entries[i].device;
            // Without the new password: it is not judged here, and a copy
            // would outlive the wipe.
            if (!usecases::routeJob(
                    {device, entries[i].target, {}},
                    {.address = device.foundVia, .mask = finder.adapterMask(device.foundVia)},
                    parser.isSet(QStringLiteral("broadcast")), results[i])) {
                writeReport(
                    parser,
                    resultLine({*entries[i].device, entries[i].target, {}}, results[i]).toUtf8());
                status = ExitFailed;
            }
        }
        return finish(status);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (results[i].state == usecases::JobState::Unchanged) {
            writeReport(
                parser,
                resultLine({*entries[i].device, entries[i].target, {}}, results[i]).toUtf8());
        }
    }

    std::string password;
    const usecases::StringWiper wipeCurrent(password);
    if (!readSecretOption(parser, QStringLiteral("password"), true,
                          "Current device password: ", false, password)) {
        return ExitUsage;
    }
    std::vector<usecases::ConfigJob> jobs;
    for (const std::size_t i : pending)
        jobs.push_back({*entries[i].device, entries[i].target, entries[i].newPassword});
    std::vector<usecases::JobResult> jobResults;
    int status = runJobs(finder, jobs, parser, options, network, password, jobResults);
    for (usecases::ConfigJob& job : jobs)
        usecases::wipeString(job.newPassword);
    if (status == ExitUsage)
        return status;
    for (std::size_t j = 0; j < pending.size() && j < jobResults.size(); ++j)
        results[pending[j]] = jobResults[j];
    RunSummary summary = summarise(results);
    writeReport(parser, summaryLine(summary).toUtf8());
    if (status == ExitOk && summary.failed > 0)
        status = ExitFailed;
    return finish(status);
}

bool ChangeCommand::readRunOptions(const QCommandLineParser& parser, usecases::RunOptions& options,
                                   QString& error) {
    bool ok = false;
    const double resultSeconds = parser.value(QStringLiteral("result-timeout")).toDouble(&ok);
    if (!ok || resultSeconds <= 0.0 || resultSeconds > kMaxTimeoutSeconds) {
        error = QStringLiteral("--result-timeout wants seconds above 0 and at most 60");
        return false;
    }
    options.resultTimeout =
        std::chrono::milliseconds(static_cast<long long>(resultSeconds * 1000.0));
    options.attempts = parser.value(QStringLiteral("attempts")).toInt(&ok);
    if (!ok || options.attempts < 1 || options.attempts > usecases::RunOptions::kMaxAttempts) {
        error = QStringLiteral("--attempts wants a number from 1 to 10");
        return false;
    }
    options.verify = parser.isSet(QStringLiteral("verify"));
    RollbackOptions rollback;
    if (!readRollbackOptions(parser, {}, rollback, error))
        return false;
    options.verify = options.verify || rollback.enabled;
    return true;
}

void ChangeCommand::withholdSecretVariables(const QCommandLineParser& parser,
                                            NetworkOptions& network) {
    for (const QString& name : parser.optionNames()) {
        if (name == QLatin1String("password-env") || name == QLatin1String("new-password-env"))
            network.secretVariables.push_back(parser.value(name).toStdString());
    }
}

int ChangeCommand::runJobs(DeviceFinder& finder, const std::vector<usecases::ConfigJob>& jobs,
                           const QCommandLineParser& parser, usecases::RunOptions options,
                           const NetworkOptions& network, const std::string& password,
                           std::vector<usecases::JobResult>& results) {
    options.discoverTimeout = network.timeout;
    options.discoverRetries = network.retries;
    if (jobs.empty())
        return ExitOk;

    const changes::AuditTrail audit = auditTrail(auditPathOf(parser));
    const changes::ChangeRecorder recorder(audit, jobs);
    const SystemRunClock clock;
    usecases::ConfigurationRun run(finder, clock, password,
                                   parser.isSet(QStringLiteral("broadcast")));
    run.setChangeIds(
        [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(); });
    const int stopAt = stopAfterSend();
    int handedOver = 0;
    run.setHandedOver([&](std::size_t) {
        if (++handedOver == stopAt)
            changes::endProcessAbruptly();
    });
    ProgressLine progress;
    std::size_t sent = 0;
    std::size_t settled = 0;
    run.setBeforeSend(
        [&recorder](std::size_t index, const usecases::JobResult& result, std::string& error) {
            return recorder.sending(index, result, error);
        });
    run.setProgress([&](std::size_t index, const usecases::JobResult& result) {
        progress.clear();
        writeReport(parser, resultLine(jobs[index], result).toUtf8());
        if (result.state == usecases::JobState::Sent)
            ++sent;
        else
            ++settled;
        QString error;
        if (!recorder.outcome(index, result, error))
            writeErr(QStringLiteral("kavren: audit trail: ") + error + QStringLiteral("\n"));
        progress.show(
            QStringLiteral("[%1 sent, %2/%3 answered]").arg(sent).arg(settled).arg(jobs.size()));
    });
    results = run.run(jobs, options);
    progress.clear();
    RollbackOptions rollback;
    QString error;
    readRollbackOptions(parser, network.secretVariables, rollback, error);
    RollbackContext context{
        .port = finder,
        .clock = clock,
        .audit = audit,
        .password = password,
        .broadcast = parser.isSet(QStringLiteral("broadcast")),
        .options = options,
        .changeIds =
            [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(); },
        .report =
            [&](std::size_t index, const usecases::JobResult& result) {
                writeReport(parser, resultLine(jobs[index], result).toUtf8());
            },
        .note = [&](const QString& text) { writeReport(parser, text.toUtf8()); }};
    checkAndRollBack(rollback, context, jobs, results);
    return summarise(results).failed > 0 ? ExitFailed : ExitOk;
}

}  // namespace kavren::cli
