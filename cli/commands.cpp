// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include "kavren/version.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonObject>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "cli/audittrail.h"
#include "cli/changerecord.h"
#include "cli/configrun.h"
#include "cli/devicefinder.h"
#include "cli/deviceoutput.h"
#include "cli/diagnosis.h"
#include "cli/passwordsource.h"
#include "cli/plan.h"
#include "cli/subnets.h"
#include "cli/terminal.h"
#include "devices/devicegrid.h"
#include "net/adapters.h"
#include "net/idexception.h"
#include "protocol/packets.h"
#include "usecases/secretwipe.h"

namespace kavren::cli {

namespace {

using std::chrono::milliseconds;

constexpr std::string_view kNoAdapterAddress = "0.0.0.0";
// Bounds of the waits and repeats a user can ask for: every send loop ends.
constexpr double kMaxTimeoutSeconds = 60.0;
constexpr int kMaxRetries = 10;

const char* const kExitStatuses =
    "\nExit status:\n"
    "  0  success (discover: at least one device answered)\n"
    "  1  nothing found, a device failed or was not verified, the plan has errors,\n"
    "     or the port 62631 could not be opened\n"
    "  2  usage error\n";

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
QString dev(const std::string& bytes) {
    return visibleText(fromDevice(bytes));
}

// A line of progress on a terminal, rewritten in place; other output first
// clears it so the two never mix.
class ProgressLine final {
public:
    ProgressLine() : m_enabled(standardErrorIsTerminal()) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const QString& text) {
        if (!m_enabled)
            return;
        writeErr(QStringLiteral("\r\033[K") + text);
        m_shown = true;
    }
    void clear() {
        if (m_shown)
            writeErr(QStringLiteral("\r\033[K"));
        m_shown = false;
    }

private:
    bool m_enabled;
    bool m_shown = false;
};

struct NetworkOptions {
    std::vector<std::string> adapters;
    milliseconds timeout{2000};
    int retries = 0;
};

// Options every command that talks to devices shares.
void addNetworkOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("adapter"),
                      QStringLiteral("Use only the adapter with this IPv4 address (repeatable; "
                                     "default: every adapter)."),
                      QStringLiteral("ADDRESS")});
    parser.addOption({QStringLiteral("timeout"),
                      QStringLiteral("Seconds to collect replies per adapter (default 2)."),
                      QStringLiteral("SECONDS"), QStringLiteral("2")});
    parser.addOption({QStringLiteral("retries"),
                      QStringLiteral("Send the discovery request this many more times within "
                                     "the time-out (default 0, at most 10)."),
                      QStringLiteral("N"), QStringLiteral("0")});
}

// The adapters' addresses in the window's list order, without adapters that
// have no IPv4 address.
std::vector<std::string> adapterAddresses(AdapterList& list) {
    std::vector<std::string> addresses;
    for (int i = 0; i < static_cast<int>(list.entryTexts().size()); ++i) {
        if (list.tableSlot(i) != kNoAdapterAddress)
            addresses.push_back(list.tableSlot(i));
    }
    return addresses;
}

// Fills `options` or says what is wrong with the command line.
bool readNetworkOptions(const QCommandLineParser& parser, NetworkOptions& options, QString& error) {
    bool ok = false;
    const double seconds = parser.value(QStringLiteral("timeout")).toDouble(&ok);
    if (!ok || seconds <= 0.0 || seconds > kMaxTimeoutSeconds) {
        error = QStringLiteral("--timeout wants seconds above 0 and at most 60");
        return false;
    }
    options.timeout = milliseconds(static_cast<long long>(seconds * 1000.0));
    options.retries = parser.value(QStringLiteral("retries")).toInt(&ok);
    if (!ok || options.retries < 0 || options.retries > kMaxRetries) {
        error = QStringLiteral("--retries wants a number from 0 to 10");
        return false;
    }
    AdapterList list;
    list.fill(*makePlatformAdapterQuery());
    const std::vector<std::string> all = adapterAddresses(list);
    const QStringList wanted = parser.values(QStringLiteral("adapter"));
    if (wanted.isEmpty()) {
        options.adapters = all;
        return true;
    }
    for (const QString& address : wanted) {
        const std::string text = address.toStdString();
        if (std::find(all.begin(), all.end(), text) == all.end()) {
            error = QStringLiteral("no adapter has the address ") + address;
            return false;
        }
        if (std::find(options.adapters.begin(), options.adapters.end(), text) ==
            options.adapters.end()) {
            options.adapters.push_back(text);
        }
    }
    return true;
}

// Parses; on --help prints the help with the exit statuses.
enum class Parsed { Run, Done, Usage };
Parsed parse(QCommandLineParser& parser, const QStringList& arguments) {
    parser.addHelpOption();
    if (!parser.parse(arguments)) {
        writeErr(parser.errorText() + QStringLiteral("\n"));
        return Parsed::Usage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        writeOut(parser.helpText().toUtf8() + kExitStatuses);
        return Parsed::Done;
    }
    return Parsed::Run;
}

int usageError(const QString& text) {
    writeErr(QStringLiteral("kavren: ") + text + QStringLiteral("\n"));
    return ExitUsage;
}

// Opens the receiving endpoint; when another program holds the port, says
// which one where it can tell.
bool openFinder(DeviceFinder& finder) {
    try {
        finder.open();
        return true;
    } catch (const EIdException& error) {
        writeErr(QStringLiteral("kavren: cannot receive replies on UDP port %1: %2\n")
                     .arg(packet::kHostPort)
                     .arg(qs(error.message()).simplified()));
        for (const std::string& holder : udpPortHolders(packet::kHostPort))
            writeErr(QStringLiteral("  the port is held by ") + qs(holder) + QStringLiteral("\n"));
        return false;
    }
}

void diagnoseSilence(const NetworkOptions& options) {
    QStringList adapters;
    for (const std::string& adapter : options.adapters)
        adapters << qs(adapter);
    writeErr(QStringLiteral("kavren: no device answered on %1 within %2 s per adapter\n")
                 .arg(adapters.join(QStringLiteral(", ")))
                 .arg(static_cast<double>(options.timeout.count()) / 1000.0));
    bool readable = false;
    const auto rules = firewallRulesFor({packet::kDevicePort, packet::kHostPort}, readable);
    if (!readable) {
        writeErr(QStringLiteral("  the firewall rules could not be read\n"));
    }
    for (const std::string& rule : rules)
        writeErr(QStringLiteral("  firewall rule that may drop replies: ") + qs(rule) +
                 QStringLiteral("\n"));
    for (const std::string& hint : firewallProfileHints())
        writeErr(QStringLiteral("  ") + qs(hint) + QStringLiteral("\n"));
}

std::vector<FoundDevice> discoverWithProgress(DeviceFinder& finder, const NetworkOptions& options) {
    ProgressLine progress;
    std::size_t count = 0;
    std::vector<FoundDevice> found;
    for (const std::string& adapter : options.adapters) {
        progress.show(QStringLiteral("searching via %1: %2 found").arg(qs(adapter)).arg(count));
        auto more =
            finder.discover({adapter}, options.timeout, options.retries, [&](const FoundDevice&) {
                ++count;
                progress.show(
                    QStringLiteral("searching via %1: %2 found").arg(qs(adapter)).arg(count));
            });
        // Rounds are separate, so a device answering on two adapters keeps
        // the first; merged by MAC like the grid does.
        for (FoundDevice& device : more) {
            const bool known = std::any_of(found.begin(), found.end(), [&](const FoundDevice& d) {
                return d.mac == device.mac;
            });
            if (!known)
                found.push_back(std::move(device));
        }
    }
    return found;
}

// The discovery every command starts with: no adapters, a port held by
// another program and a failed send are reported here, and give nothing.
std::optional<std::vector<FoundDevice>> openAndDiscover(DeviceFinder& finder,
                                                        const NetworkOptions& options) {
    if (options.adapters.empty()) {
        writeErr(QStringLiteral("kavren: no adapter has an IPv4 address\n"));
        return std::nullopt;
    }
    if (!openFinder(finder))
        return std::nullopt;
    try {
        return discoverWithProgress(finder, options);
    } catch (const EIdException& failure) {
        writeErr(QStringLiteral("kavren: sending failed: ") + qs(failure.message()).simplified() +
                 QStringLiteral("\n"));
        return std::nullopt;
    }
}

// ---- adapters -------------------------------------------------------------

int cmdAdapters(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the adapter entries as the window's adapter box shows them: "
                       "one per IPv4 address, \"ADDRESS (ADAPTER MAC)\"."));
    parser.addPositionalArgument(QStringLiteral("adapters"), QStringLiteral("The command."));
    if (const Parsed parsed = parse(parser, arguments); parsed != Parsed::Run)
        return parsed == Parsed::Done ? ExitOk : ExitUsage;
    AdapterList list;
    list.fill(*makePlatformAdapterQuery());
    QByteArray out;
    for (const std::string& entry : list.entryTexts())
        out += QByteArray::fromStdString(entry) + '\n';
    writeOut(out);
    if (list.entryTexts().empty()) {
        writeErr(QStringLiteral("kavren: no adapters\n"));
        return ExitFailed;
    }
    return ExitOk;
}

// ---- discover -------------------------------------------------------------

int cmdDiscover(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Broadcasts a discovery request from each adapter in turn and lists the devices "
        "that answered, merged by MAC address, with the adapter each was found via and "
        "the address its reply came from. Device texts are written as UTF-8, one "
        "character per device byte (Latin-1)."));
    parser.addPositionalArgument(QStringLiteral("discover"), QStringLiteral("The command."));
    addNetworkOptions(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("Write a JSON array.")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Write CSV with a header line.")});
    if (const Parsed parsed = parse(parser, arguments); parsed != Parsed::Run)
        return parsed == Parsed::Done ? ExitOk : ExitUsage;
    if (parser.isSet(QStringLiteral("json")) && parser.isSet(QStringLiteral("csv")))
        return usageError(QStringLiteral("--json and --csv exclude each other"));
    NetworkOptions options;
    QString error;
    if (!readNetworkOptions(parser, options, error))
        return usageError(error);
    DeviceFinder finder;
    auto discovered = openAndDiscover(finder, options);
    if (!discovered)
        return ExitFailed;
    std::vector<FoundDevice> found = std::move(*discovered);
    if (parser.isSet(QStringLiteral("json"))) {
        writeOut(devicesJson(found));
    } else if (parser.isSet(QStringLiteral("csv"))) {
        writeOut(devicesCsv(found));
    } else if (!found.empty()) {
        writeOut(devicesTable(found));
    }
    if (found.empty()) {
        diagnoseSilence(options);
        return ExitFailed;
    }
    return ExitOk;
}

// ---- configure and restore ---------------------------------------------------

void addPasswordOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("password-file"),
                      QStringLiteral("Read the devices' current password from the first line "
                                     "of FILE."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("password-env"),
                      QStringLiteral("Read the devices' current password from the environment "
                                     "variable VAR. Without either option it is asked for on "
                                     "the terminal, without echo."),
                      QStringLiteral("VAR")});
}

void addRunOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("broadcast"),
                      QStringLiteral("Send the configuration request by broadcast. This happens "
                                     "on its own for a device whose address lies outside the "
                                     "subnet of the adapter it was found via.")});
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
}

bool readSecretOption(const QCommandLineParser& parser, const QString& fileOption,
                      const QString& envOption, bool prompt, const std::string& promptText,
                      bool confirm, std::string& secret) {
    SecretSource source;
    source.file = parser.value(fileOption).toStdString();
    source.envName = parser.value(envOption).toStdString();
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
    config::wipeString(*value);
    return true;
}

QByteArray previewTable(const std::vector<PlanEntry>& entries) {
    const QStringList headers{QStringLiteral("Line"),        QStringLiteral("MAC Address"),
                              QStringLiteral("Device Name"), QStringLiteral("DeviceIP"),
                              QStringLiteral("IP Address"),  QStringLiteral("NetMask"),
                              QStringLiteral("Gateway"),     QStringLiteral("Description"),
                              QStringLiteral("NewPassword"), QStringLiteral("Check")};
    std::vector<QStringList> rows;
    for (const PlanEntry& entry : entries) {
        QStringList notes;
        for (const std::string& e : entry.errors)
            notes << QStringLiteral("ERROR: ") + fromDevice(e);
        for (const std::string& w : entry.warnings)
            notes << QStringLiteral("warning: ") + fromDevice(w);
        rows.push_back(
            {QString::number(entry.line), fromDevice(entry.mac),
             entry.device ? fromDevice(entry.device->name) : QString(),
             entry.device ? fromDevice(entry.device->ip) : QString(), fromDevice(entry.target.ip),
             fromDevice(entry.target.mask), fromDevice(entry.target.gateway),
             fromDevice(entry.target.description),
             entry.newPassword.empty() ? QStringLiteral("No Change") : QStringLiteral("(set)"),
             notes.isEmpty() ? QStringLiteral("ok") : notes.join(QStringLiteral("; "))});
    }
    return formatTable(headers, rows);
}

QString resultLine(const ConfigJob& job, const JobResult& result) {
    QString line =
        qs(job.device.mac) + QStringLiteral("  ") + QLatin1String(stateName(result.state));
    switch (result.state) {
        case JobState::Sent:
            line += QStringLiteral(" to ") + qs(result.destination);
            if (result.attempt > 1)
                line += QStringLiteral(" (attempt %1)").arg(result.attempt);
            if (result.outsideSubnet) {
                line += QStringLiteral(" (by broadcast: its address ") + dev(job.device.ip) +
                        QStringLiteral(" lies outside the subnet of adapter ") +
                        qs(job.device.foundVia) + QStringLiteral(")");
            }
            break;
        case JobState::Acknowledged:
            line += QStringLiteral(" \"") + dev(result.message) + QStringLiteral("\"");
            break;
        case JobState::Verified:
            line += QStringLiteral(" (reports ") + dev(job.target.ip) + QStringLiteral(")");
            break;
        case JobState::Failed:
        case JobState::NotSent:
            line += QStringLiteral(": ") + dev(result.reason);
            break;
    }
    return line + QStringLiteral("\n");
}

// The trail's warnings go to standard error.
AuditTrail auditTrail(const QString& path) {
    return AuditTrail(path, [](const QString& text) {
        writeErr(QStringLiteral("kavren: warning: ") + text + QStringLiteral("\n"));
    });
}

// Sends the jobs, reports each device as its results come, appends the
// audit trail and prints the summary. Returns the exit status.
int runJobs(DeviceFinder& finder, const std::vector<ConfigJob>& jobs,
            const QCommandLineParser& parser, const NetworkOptions& network,
            const std::string& password, const QString& auditPath) {
    bool ok = false;
    RunOptions options;
    const double resultSeconds = parser.value(QStringLiteral("result-timeout")).toDouble(&ok);
    if (!ok || resultSeconds <= 0.0 || resultSeconds > kMaxTimeoutSeconds)
        return usageError(QStringLiteral("--result-timeout wants seconds above 0 and at most 60"));
    options.resultTimeout = milliseconds(static_cast<long long>(resultSeconds * 1000.0));
    options.attempts = parser.value(QStringLiteral("attempts")).toInt(&ok);
    if (!ok || options.attempts < 1 || options.attempts > RunOptions::kMaxAttempts)
        return usageError(QStringLiteral("--attempts wants a number from 1 to 10"));
    options.verify = parser.isSet(QStringLiteral("verify"));
    options.discoverTimeout = network.timeout;
    options.discoverRetries = network.retries;

    const AuditTrail audit = auditTrail(auditPath);
    const ChangeRecorder recorder(audit, jobs);
    ConfigRun run(finder, password, parser.isSet(QStringLiteral("broadcast")));
    ProgressLine progress;
    std::size_t sent = 0;
    std::size_t settled = 0;
    run.setBeforeSend([&recorder](std::size_t index, const JobResult& result, std::string& error) {
        return recorder.sending(index, result, error);
    });
    run.setProgress([&](std::size_t index, const JobResult& result) {
        progress.clear();
        writeOut(resultLine(jobs[index], result).toUtf8());
        if (result.state == JobState::Sent)
            ++sent;
        else
            ++settled;
        QString error;
        if (!recorder.outcome(index, result, error))
            writeErr(QStringLiteral("kavren: audit trail: ") + error + QStringLiteral("\n"));
        progress.show(
            QStringLiteral("[%1 sent, %2/%3 answered]").arg(sent).arg(settled).arg(jobs.size()));
    });
    const std::vector<JobResult> results = run.run(jobs, options);
    progress.clear();

    std::map<JobState, int> counts;
    for (const JobResult& result : results)
        ++counts[result.state];
    const int failed = counts[JobState::Failed] + counts[JobState::NotSent];
    writeOut(QStringLiteral("%1 device(s): %2 verified, %3 acknowledged, %4 failed\n")
                 .arg(jobs.size())
                 .arg(counts[JobState::Verified])
                 .arg(counts[JobState::Acknowledged])
                 .arg(failed)
                 .toUtf8());
    return failed > 0 ? ExitFailed : ExitOk;
}

QString auditPathOf(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("audit-file")) ? parser.value(QStringLiteral("audit-file"))
                                                      : AuditTrail::defaultPath();
}

int cmdConfigure(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds the devices, checks the new settings as the window does, shows a preview, "
        "sends one configuration request per device and waits for each device's result "
        "message. One device with --mac (settings not given are kept), a plan with --plan "
        "(CSV: mac,ip,mask,gateway,description,new_password; empty means keep), or "
        "consecutive addresses in MAC order with --sequential-from."));
    parser.addPositionalArgument(QStringLiteral("configure"), QStringLiteral("The command."));
    parser.addOption(
        {QStringLiteral("mac"), QStringLiteral("The device to configure."), QStringLiteral("MAC")});
    parser.addOption(
        {QStringLiteral("ip"), QStringLiteral("New IP address."), QStringLiteral("ADDRESS")});
    parser.addOption(
        {QStringLiteral("mask"), QStringLiteral("New net mask."), QStringLiteral("MASK")});
    parser.addOption(
        {QStringLiteral("gateway"), QStringLiteral("New gateway."), QStringLiteral("ADDRESS")});
    parser.addOption({QStringLiteral("description"), QStringLiteral("New description."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("new-password"),
                      QStringLiteral("Give the device a new password, asked for on the terminal "
                                     "twice without echo.")});
    parser.addOption({QStringLiteral("new-password-file"),
                      QStringLiteral("Give the device the new password on the first line of "
                                     "FILE."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("new-password-env"),
                      QStringLiteral("Give the device the new password in the environment "
                                     "variable VAR."),
                      QStringLiteral("VAR")});
    parser.addOption({QStringLiteral("plan"),
                      QStringLiteral("Configure the devices of a CSV plan."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("sequential-from"),
                      QStringLiteral("Give the found devices consecutive addresses from ADDRESS "
                                     "in MAC order."),
                      QStringLiteral("ADDRESS")});
    parser.addOption(
        {QStringLiteral("dry-run"), QStringLiteral("Show the preview and stop; nothing is sent.")});
    addPasswordOptions(parser);
    addRunOptions(parser);
    addNetworkOptions(parser);
    if (const Parsed parsed = parse(parser, arguments); parsed != Parsed::Run)
        return parsed == Parsed::Done ? ExitOk : ExitUsage;

    const int modes = int{parser.isSet(QStringLiteral("mac"))} +
                      int{parser.isSet(QStringLiteral("plan"))} +
                      int{parser.isSet(QStringLiteral("sequential-from"))};
    if (modes != 1)
        return usageError(QStringLiteral("give exactly one of --mac, --plan, --sequential-from"));
    const bool single = parser.isSet(QStringLiteral("mac"));
    for (const char* option : {"ip", "mask", "gateway", "description", "new-password",
                               "new-password-file", "new-password-env"}) {
        if (!single && parser.isSet(QLatin1String(option)))
            return usageError(QStringLiteral("--") + QLatin1String(option) +
                              QStringLiteral(" goes with --mac only"));
    }
    if (parser.isSet(QStringLiteral("sequential-from")) &&
        !ipv4Value(parser.value(QStringLiteral("sequential-from")).toStdString())) {
        return usageError(QStringLiteral("--sequential-from wants an IPv4 address"));
    }
    NetworkOptions network;
    QString error;
    if (!readNetworkOptions(parser, network, error))
        return usageError(error);

    std::vector<PlanRow> rows;
    if (parser.isSet(QStringLiteral("plan"))) {
        QFile file(parser.value(QStringLiteral("plan")));
        if (!file.open(QIODevice::ReadOnly))
            return usageError(QStringLiteral("cannot read the plan ") + file.fileName());
        PlanFile plan = parsePlan(file.readAll());
        if (!plan.errors.empty()) {
            for (const std::string& e : plan.errors)
                writeErr(QStringLiteral("kavren: ") + file.fileName() + QStringLiteral(": ") +
                         dev(e) + QStringLiteral("\n"));
            return ExitFailed;
        }
        rows = std::move(plan.rows);
    } else if (single) {
        PlanRow row;
        row.line = 1;
        auto bytes = [&parser](const char* option) {
            const QString value = parser.value(QLatin1String(option));
            return value.toLatin1().toStdString();
        };
        row.mac = bytes("mac");
        row.ip = bytes("ip");
        row.mask = bytes("mask");
        row.gateway = bytes("gateway");
        row.description = bytes("description");
        rows.push_back(std::move(row));
    }
    DeviceFinder finder;
    auto discovered = openAndDiscover(finder, network);
    if (!discovered)
        return ExitFailed;
    std::vector<FoundDevice> found = std::move(*discovered);
    if (parser.isSet(QStringLiteral("sequential-from"))) {
        auto plan =
            sequentialPlan(found, parser.value(QStringLiteral("sequential-from")).toStdString());
        if (!plan)
            return usageError(QStringLiteral("the addresses would run past 255.255.255.255"));
        rows = std::move(*plan);
        if (rows.empty()) {
            diagnoseSilence(network);
            return ExitFailed;
        }
    }

    std::string newPassword;
    const config::StringWiper wipeNew(newPassword);
    if (single && (parser.isSet(QStringLiteral("new-password")) ||
                   parser.isSet(QStringLiteral("new-password-file")) ||
                   parser.isSet(QStringLiteral("new-password-env")))) {
        if (!readSecretOption(parser, QStringLiteral("new-password-file"),
                              QStringLiteral("new-password-env"), true, "New password: ", true,
                              newPassword)) {
            return ExitUsage;
        }
        rows.front().newPassword = newPassword;
    }

    std::vector<PlanEntry> entries = checkPlan(rows, found);
    for (PlanRow& row : rows)
        config::wipeString(row.newPassword);
    writeOut(previewTable(entries));
    const auto errors = std::count_if(entries.begin(), entries.end(),
                                      [](const PlanEntry& entry) { return !entry.ok(); });
    if (errors > 0) {
        writeErr(QStringLiteral("kavren: %1 of %2 device(s) have errors; nothing was sent\n")
                     .arg(errors)
                     .arg(entries.size()));
        return ExitFailed;
    }
    if (parser.isSet(QStringLiteral("dry-run")))
        return ExitOk;

    std::string password;
    const config::StringWiper wipeCurrent(password);
    if (!readSecretOption(parser, QStringLiteral("password-file"), QStringLiteral("password-env"),
                          true, "Current device password: ", false, password)) {
        return ExitUsage;
    }
    std::vector<ConfigJob> jobs;
    for (PlanEntry& entry : entries) {
        jobs.push_back({*entry.device, entry.target, entry.newPassword});
        config::wipeString(entry.newPassword);
    }
    const int status = runJobs(finder, jobs, parser, network, password, auditPathOf(parser));
    for (ConfigJob& job : jobs)
        config::wipeString(job.newPassword);
    return status;
}

DeviceSettings settingsFromJson(const QJsonObject& object) {
    auto bytes = [&object](const char* key) {
        return object.value(QLatin1String(key)).toString().toLatin1().toStdString();
    };
    return {bytes("ip"), bytes("mask"), bytes("gateway"), bytes("description")};
}

int cmdRestore(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends a device the settings it had before its last change in the audit trail. "
        "A password changed then is not restored: the trail never holds passwords, so "
        "give the device's present password."));
    parser.addPositionalArgument(QStringLiteral("restore"), QStringLiteral("The command."));
    parser.addOption(
        {QStringLiteral("mac"), QStringLiteral("The device to restore."), QStringLiteral("MAC")});
    addPasswordOptions(parser);
    addRunOptions(parser);
    addNetworkOptions(parser);
    if (const Parsed parsed = parse(parser, arguments); parsed != Parsed::Run)
        return parsed == Parsed::Done ? ExitOk : ExitUsage;
    const auto mac = normaliseMac(parser.value(QStringLiteral("mac")).toStdString());
    if (!mac)
        return usageError(QStringLiteral("--mac wants a MAC address like 00-1A-2B-3C-4D-5E"));
    NetworkOptions network;
    QString error;
    if (!readNetworkOptions(parser, network, error))
        return usageError(error);

    const AuditTrail audit = auditTrail(auditPathOf(parser));
    const auto last = audit.lastChange(*mac, error);
    if (!last) {
        writeErr(QStringLiteral("kavren: ") + error + QStringLiteral("\n"));
        return ExitFailed;
    }
    const DeviceSettings before =
        settingsFromJson(last->value(QStringLiteral("before")).toObject());
    writeOut(QStringLiteral("restoring %1 to the settings before the change of %2\n")
                 .arg(qs(*mac), last->value(QStringLiteral("time")).toString())
                 .toUtf8());
    if (last->value(QStringLiteral("new_password")).toBool())
        writeErr(QStringLiteral("kavren: that change set a new password; it stays\n"));

    DeviceFinder finder;
    auto discovered = openAndDiscover(finder, network);
    if (!discovered)
        return ExitFailed;
    std::vector<FoundDevice> found = std::move(*discovered);
    PlanRow row{1, *mac, before.ip, before.mask, before.gateway, before.description, {}};
    std::vector<PlanEntry> entries = checkPlan({row}, found);
    writeOut(previewTable(entries));
    if (!entries.front().ok())
        return ExitFailed;
    std::string password;
    const config::StringWiper wipeCurrent(password);
    if (!readSecretOption(parser, QStringLiteral("password-file"), QStringLiteral("password-env"),
                          true, "Current device password: ", false, password)) {
        return ExitUsage;
    }
    return runJobs(finder, {{*entries.front().device, entries.front().target, {}}}, parser, network,
                   password, auditPathOf(parser));
}

const char* const kOverview =
    "Usage: kavren COMMAND [options]\n"
    "\n"
    "Finds and configures the maker's network devices from the command line.\n"
    "\n"
    "Commands:\n"
    "  adapters    list the adapter entries\n"
    "  discover    find the devices on every adapter (or --adapter)\n"
    "  configure   give one device (--mac), a plan (--plan) or every found device\n"
    "              (--sequential-from) new settings, with a preview first\n"
    "  restore     send a device its settings from before its last change\n"
    "\n"
    "\"kavren COMMAND --help\" describes a command's options.\n";

}  // namespace

int runCommand(const QStringList& arguments) {
    const QString command = arguments.value(1);
    if (command == QStringLiteral("adapters"))
        return cmdAdapters(arguments);
    if (command == QStringLiteral("discover"))
        return cmdDiscover(arguments);
    if (command == QStringLiteral("configure"))
        return cmdConfigure(arguments);
    if (command == QStringLiteral("restore"))
        return cmdRestore(arguments);
    if (command == QStringLiteral("--help") || command == QStringLiteral("-h") ||
        command == QStringLiteral("help")) {
        writeOut(QByteArray(kOverview) + kExitStatuses);
        return ExitOk;
    }
    if (command == QStringLiteral("--version")) {
        writeOut(QByteArray("kavren ") +
                 QByteArray(kVersion.data(), static_cast<qsizetype>(kVersion.size())) + "\n");
        return ExitOk;
    }
    writeErr(command.isEmpty()
                 ? QStringLiteral("kavren: no command given\n")
                 : QStringLiteral("kavren: unknown command ") + command + QStringLiteral("\n"));
    writeErr(QString::fromLatin1(kOverview));
    return ExitUsage;
}

}  // namespace kavren::cli
