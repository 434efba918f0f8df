// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/discovercommand.h"

#include "cli/console.h"
#include "cli/devicefinder.h"
#include "cli/deviceoutput.h"

namespace kavren::cli {

DiscoverCommand::DiscoverCommand()
    : Command(QStringLiteral("discover"),
              QStringLiteral("find the devices on every adapter (or --adapter)")) {}

QString DiscoverCommand::description() const {
    return QStringLiteral(
        "Broadcasts a discovery request from each adapter in turn and lists the devices "
        "that answered, merged by MAC address, with the adapter each was found via and "
        "the address its reply came from. Device texts are written as UTF-8, one "
        "character per device byte (Latin-1).");
}

void DiscoverCommand::addOptions(QCommandLineParser& parser) const {
    addNetworkOptions(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("Write a JSON array.")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Write CSV with a header line.")});
}

int DiscoverCommand::run(const QCommandLineParser& parser) {
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
    const std::vector<usecases::FoundDevice> found = std::move(*discovered);
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

}  // namespace kavren::cli
