// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/restorecommand.h"

#include <QJsonObject>

#include "changes/audittrail.h"
#include "changes/changerecord.h"
#include "changes/plan.h"
#include "cli/console.h"
#include "cli/devicefinder.h"

namespace kavren::cli {

RestoreCommand::RestoreCommand()
    : ChangeCommand(QStringLiteral("restore"),
                    QStringLiteral("send a device its settings from before its last change")) {}

QString RestoreCommand::description() const {
    return QStringLiteral(
        "Sends a device the settings it had before its last change in the audit trail. "
        "A password changed then is not restored: the trail never holds passwords, so "
        "give the device's present password.");
}

void RestoreCommand::addOptions(QCommandLineParser& parser) const {
    parser.addOption(
        {QStringLiteral("mac"), QStringLiteral("The device to restore."), QStringLiteral("MAC")});
    addPasswordOptions(parser);
    addRunOptions(parser);
    addNetworkOptions(parser);
}

int RestoreCommand::run(const QCommandLineParser& parser) {
    const auto mac = changes::normaliseMac(parser.value(QStringLiteral("mac")).toStdString());
    if (!mac)
        return usageError(QStringLiteral("--mac wants a MAC address like 00-1A-2B-3C-4D-5E"));
    usecases::RunOptions options;
    NetworkOptions network;
    QString error;
    if (!readRunOptions(parser, options, error) || !readNetworkOptions(parser, network, error))
        return usageError(error);
    const auto trusted = trustedSenders(parser, error);
    if (!trusted)
        return usageError(error);
    withholdSecretVariables(parser, network);

    const changes::AuditTrail audit = auditTrail(auditPathOf(parser));
    const auto last = audit.lastChange(*mac, error);
    if (!last) {
        writeErr(QStringLiteral("kavren: ") + error + QStringLiteral("\n"));
        return ExitFailed;
    }
    const devices::DeviceSettings before =
        changes::settingsFromJson(last->value(QStringLiteral("before")).toObject());
    writeReport(parser, QStringLiteral("restoring %1 to the settings before the change of %2\n")
                            .arg(QString::fromStdString(*mac),
                                 last->value(QStringLiteral("time")).toString())
                            .toUtf8());
    if (last->value(QStringLiteral("new_password")).toBool())
        writeErr(QStringLiteral("kavren: that change set a new password; it stays\n"));

    DeviceFinder finder(network.masks);
    auto discovered = openAndDiscover(finder, network);
    if (!discovered)
        return ExitFailed;
    usecases::FoundDevices found = std::move(*discovered);
    changes::PlanRow row{1,
                         *mac,
                         devices::addressText(before.ip),
                         devices::addressText(before.mask),
                         devices::addressText(before.gateway),
                         before.description,
                         {}};
    std::vector<changes::PlanEntry> entries = changes::checkPlan({row}, found, *trusted);
    return applyPlan(finder, entries, parser, options, network, false);
}

}  // namespace kavren::cli
