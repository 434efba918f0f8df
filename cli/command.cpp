// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command.h"

#include <QStringList>
#include <algorithm>
#include <utility>

#include "cli/console.h"
#include "cli/devicefinder.h"
#include "cli/diagnosis.h"
#include "net/adapters.h"
#include "net/idexception.h"
#include "protocol/packets.h"
#include "usecases/discovery.h"
#include "wording/wording.h"

namespace kavren::cli {

namespace {

using std::chrono::milliseconds;

// Repeats of the discovery request a user can ask for.
constexpr int kMaxRetries = 10;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The adapters' addresses in the window's list order, without adapters that
// have no IPv4 address.
std::vector<protocol::Ipv4Address> adapterAddresses(net::AdapterList& list) {
    std::vector<protocol::Ipv4Address> addresses;
    for (int i = 0; i < static_cast<int>(list.entryTexts().size()); ++i) {
        const auto address = protocol::Ipv4Address::parse(list.tableSlot(i));
        if (address && !address->isAny())
            addresses.push_back(*address);
    }
    return addresses;
}

// Opens the receiving endpoint; when another program holds the port, says
// which one where it can tell.
bool openFinder(DeviceFinder& finder) {
    try {
        finder.open();
        return true;
    } catch (const net::EIdException& error) {
        writeErr(QStringLiteral("kavren: cannot receive replies on UDP port %1: %2\n")
                     .arg(protocol::kHostPort)
                     .arg(qs(error.message()).simplified()));
        for (const std::string& holder : udpPortHolders(protocol::kHostPort))
            writeErr(QStringLiteral("  the port is held by ") + qs(holder) + QStringLiteral("\n"));
        return false;
    }
}

usecases::FoundDevices discoverWithProgress(DeviceFinder& finder, const NetworkOptions& options) {
    ProgressLine progress;
    std::size_t count = 0;
    std::string via;
    auto show = [&] {
        progress.show(QStringLiteral("searching via %1: %2 found").arg(qs(via)).arg(count));
    };
    // A device answering on two adapters keeps the first reply's texts and
    // counts on each; the other senders are kept beside it.
    usecases::FoundDevices found =
        finder.discover(options.adapters, options.timeout, options.retries,
                        {.roundStarts =
                             [&](protocol::Ipv4Address adapter) {
                                 via = adapter.text();
                                 show();
                             },
                         .heard =
                             [&] {
                                 ++count;
                                 show();
                             }});
    progress.clear();
    if (finder.devicesLeftOut())
        writeErr(QStringLiteral("kavren: ") + qs(std::string(wording::kDeviceListFull)) +
                 QStringLiteral("\n"));
    // Any host on the segment can answer with a listed device's MAC and so
    // receive what is sent to that MAC; all the program can see is a second
    // sender, and it says so.
    for (const usecases::FoundDevice device : found) {
        if (device.rivals.empty())
            continue;
        writeErr(QStringLiteral("kavren: warning: replies for %1 came from %2: another host may "
                                "be answering in its place\n")
                     .arg(qs(device->mac), qs(wording::claimantsText(device))));
    }
    return found;
}

}  // namespace

QByteArray exitStatusesHelp() {
    return QByteArrayLiteral(
        "\nExit status:\n"
        "  0  success (discover: at least one device answered)\n"
        "  1  nothing found, a device failed or was not verified, the plan has errors,\n"
        "     or the port 62631 could not be opened\n"
        "  2  usage error\n");
}

Command::Command(QString name, QString summary)
    : m_name(std::move(name)), m_summary(std::move(summary)) {}

int Command::execute(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addPositionalArgument(m_name, QStringLiteral("The command."));
    addOptions(parser);
    // Added last so that it comes last in the list of options.
    parser.addHelpOption();
    if (!parser.parse(arguments)) {
        writeErr(parser.errorText() + QStringLiteral("\n"));
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        writeOut(parser.helpText().toUtf8() + exitStatuses());
        return ExitOk;
    }
    return run(parser);
}

int Command::usageError(const QString& text) {
    writeErr(QStringLiteral("kavren: ") + text + QStringLiteral("\n"));
    return ExitUsage;
}

void Command::addNetworkOptions(QCommandLineParser& parser) {
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

bool Command::readNetworkOptions(const QCommandLineParser& parser, NetworkOptions& options,
                                 QString& error) {
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
    net::AdapterList list;
    list.fill(*net::makePlatformAdapterQuery());
    const std::vector<protocol::Ipv4Address> all = adapterAddresses(list);
    for (const protocol::Ipv4Address address : all) {
        if (const auto mask = list.netmaskOf(address))
            options.masks.emplace(address, *mask);
    }
    const QStringList wanted = parser.values(QStringLiteral("adapter"));
    if (wanted.isEmpty()) {
        options.adapters = all;
        return true;
    }
    for (const QString& address : wanted) {
        const auto value = protocol::Ipv4Address::parse(address.toStdString());
        if (!value || std::find(all.begin(), all.end(), *value) == all.end()) {
            error = QStringLiteral("no adapter has the address ") + address;
            return false;
        }
        if (std::find(options.adapters.begin(), options.adapters.end(), *value) ==
            options.adapters.end()) {
            options.adapters.push_back(*value);
        }
    }
    return true;
}

std::optional<usecases::FoundDevices> Command::openAndDiscover(DeviceFinder& finder,
                                                               const NetworkOptions& options) {
    if (options.adapters.empty()) {
        writeErr(QStringLiteral("kavren: no adapter has an IPv4 address\n"));
        return std::nullopt;
    }
    if (!openFinder(finder))
        return std::nullopt;
    try {
        return discoverWithProgress(finder, options);
    } catch (const net::EIdException& failure) {
        writeErr(QStringLiteral("kavren: sending failed: ") + qs(failure.message()).simplified() +
                 QStringLiteral("\n"));
        return std::nullopt;
    }
}

void Command::diagnoseSilence(const NetworkOptions& options) {
    QStringList adapters;
    for (const protocol::Ipv4Address adapter : options.adapters)
        adapters << qs(adapter.text());
    writeErr(QStringLiteral("kavren: no device answered on %1 within %2 s per adapter\n")
                 .arg(adapters.join(QStringLiteral(", ")))
                 .arg(static_cast<double>(options.timeout.count()) / 1000.0));
    bool readable = false;
    const auto rules = firewallRulesFor({protocol::kDevicePort, protocol::kHostPort}, readable,
                                        options.secretVariables);
    if (!readable) {
        writeErr(QStringLiteral("  the firewall rules could not be read\n"));
    }
    for (const std::string& rule : rules)
        writeErr(QStringLiteral("  firewall rule that may drop replies: ") + qs(rule) +
                 QStringLiteral("\n"));
    for (const std::string& hint : firewallProfileHints())
        writeErr(QStringLiteral("  ") + qs(hint) + QStringLiteral("\n"));
}

}  // namespace kavren::cli
