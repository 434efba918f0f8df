// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/configurecommand.h"

#include <QFile>

#include "changes/plan.h"
#include "cli/console.h"
#include "cli/devicefinder.h"
#include "cli/deviceoutput.h"
#include "cli/passwordsource.h"
#include "usecases/secretwipe.h"

namespace kavren::cli {

ConfigureCommand::ConfigureCommand()
    : ChangeCommand(QStringLiteral("configure"),
                    QStringLiteral("give one device (--mac), a plan (--plan) or every found "
                                   "device (--sequential-from) new settings, with a preview "
                                   "first")) {}

QString ConfigureCommand::description() const {
    return QStringLiteral(
        "Finds the devices, checks the new settings as the window does, shows a preview, "
        "sends one configuration request per device and waits for each device's result "
        "message. One device with --mac (settings not given are kept), a plan with --plan "
        "(CSV: mac,ip,mask,gateway,description,new_password; empty means keep), or "
        "consecutive addresses in MAC order with --sequential-from.");
}

void ConfigureCommand::addOptions(QCommandLineParser& parser) const {
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
    addSecretOptions(parser, QStringLiteral("new-password"),
                     QStringLiteral("Give the device the new password on the first line of "
                                    "FILE."),
                     QStringLiteral("Give the device the new password in the environment "
                                    "variable VAR."));
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
}

// Which devices to configure, and with what, said consistently: an error
// text, or empty.
QString ConfigureCommand::selectionError(const QCommandLineParser& parser) {
    const int modes = int{parser.isSet(QStringLiteral("mac"))} +
                      int{parser.isSet(QStringLiteral("plan"))} +
                      int{parser.isSet(QStringLiteral("sequential-from"))};
    if (modes != 1)
        return QStringLiteral("give exactly one of --mac, --plan, --sequential-from");
    const bool single = parser.isSet(QStringLiteral("mac"));
    for (const char* option : {"ip", "mask", "gateway", "description", "new-password",
                               "new-password-file", "new-password-env"}) {
        if (!single && parser.isSet(QLatin1String(option)))
            return QStringLiteral("--") + QLatin1String(option) +
                   QStringLiteral(" goes with --mac only");
    }
    if (parser.isSet(QStringLiteral("sequential-from")) &&
        !protocol::Ipv4Address::parse(
            parser.value(QStringLiteral("sequential-from")).toStdString())) {
        return QStringLiteral("--sequential-from wants an IPv4 address");
    }
    return {};
}

// The rows the command line gives: a plan file's, or the one of --mac.
// --sequential-from gives none here; its rows need the discovery first.
// ExitOk, or the status to end with.
int ConfigureCommand::readGivenRows(const QCommandLineParser& parser,
                                    std::vector<changes::PlanRow>& rows) {
    const bool single = parser.isSet(QStringLiteral("mac"));
    if (parser.isSet(QStringLiteral("plan"))) {
        QFile file(parser.value(QStringLiteral("plan")));
        if (!file.open(QIODevice::ReadOnly))
            return usageError(QStringLiteral("cannot read the plan ") + file.fileName());
        if (const std::string warning = planFileWarning(file.fileName().toStdString());
            !warning.empty()) {
            writeErr(QStringLiteral("kavren: warning: ") + QString::fromStdString(warning) +
                     QStringLiteral("\n"));
        }
        changes::PlanFile plan = changes::parsePlan(file.readAll());
        if (!plan.errors.empty()) {
            for (const std::string& e : plan.errors)
                writeErr(QStringLiteral("kavren: ") + file.fileName() + QStringLiteral(": ") +
                         visibleDeviceText(e) + QStringLiteral("\n"));
            return ExitFailed;
        }
        rows = std::move(plan.rows);
    } else if (single) {
        changes::PlanRow row;
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
    return ExitOk;
}

int ConfigureCommand::run(const QCommandLineParser& parser) {
    if (const QString error = selectionError(parser); !error.isEmpty())
        return usageError(error);
    const bool single = parser.isSet(QStringLiteral("mac"));
    usecases::RunOptions options;
    QString error;
    if (!readRunOptions(parser, options, error))
        return usageError(error);
    const auto trusted = trustedSenders(parser, error);
    if (!trusted)
        return usageError(error);

    // Everything given on the command line is judged before the adapters
    // are even looked at, so a broken plan never gets near a send.
    std::vector<changes::PlanRow> rows;
    if (const int status = readGivenRows(parser, rows); status != ExitOk)
        return status;
    NetworkOptions network;
    if (!readNetworkOptions(parser, network, error))
        return usageError(error);
    withholdSecretVariables(parser, network);
    DeviceFinder finder(network.masks);
    auto discovered = openAndDiscover(finder, network);
    if (!discovered)
        return ExitFailed;
    usecases::FoundDevices found = std::move(*discovered);
    if (parser.isSet(QStringLiteral("sequential-from"))) {
        auto plan = changes::sequentialPlan(
            found, parser.value(QStringLiteral("sequential-from")).toStdString());
        if (!plan)
            return usageError(QStringLiteral("the addresses would run past 255.255.255.255"));
        rows = std::move(*plan);
        if (rows.empty()) {
            diagnoseSilence(network);
            return ExitFailed;
        }
    }

    std::string newPassword;
    const usecases::StringWiper wipeNew(newPassword);
    if (single && (parser.isSet(QStringLiteral("new-password")) ||
                   parser.isSet(QStringLiteral("new-password-file")) ||
                   parser.isSet(QStringLiteral("new-password-env")))) {
        if (!readSecretOption(parser, QStringLiteral("new-password"), true, "New password: ", true,
                              newPassword)) {
            return ExitUsage;
        }
        rows.front().newPassword = newPassword;
    }

    std::vector<changes::PlanEntry> entries = changes::checkPlan(rows, found, *trusted);
    for (changes::PlanRow& row : rows)
        usecases::wipeString(row.newPassword);
    return applyPlan(finder, entries, parser, options, network,
                     parser.isSet(QStringLiteral("dry-run")));
}

}  // namespace kavren::cli
