// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/runoutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <map>

#include "cli/deviceoutput.h"
#include "wording/wording.h"

namespace kavren::cli {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QByteArray previewTable(const std::vector<changes::PlanEntry>& entries) {
    const QStringList headers{QStringLiteral("Line"),        QStringLiteral("MAC Address"),
                              QStringLiteral("Device Name"), QStringLiteral("DeviceIP"),
                              QStringLiteral("IP Address"),  QStringLiteral("NetMask"),
                              QStringLiteral("Gateway"),     QStringLiteral("Description"),
                              QStringLiteral("NewPassword"), QStringLiteral("Check")};
    std::vector<QStringList> rows;
    for (const changes::PlanEntry& entry : entries) {
        QStringList notes;
        for (const std::string& e : entry.errors)
            notes << QStringLiteral("ERROR: ") + fromDevice(e);
        for (const std::string& w : entry.warnings)
            notes << QStringLiteral("warning: ") + fromDevice(w);
        rows.push_back(
            {QString::number(entry.line), fromDevice(entry.mac),
             entry.device ? fromDevice(entry.device->record->name) : QString(),
             entry.device ? fromDevice(devices::addressText(entry.device->record->deviceIp))
                          : QString(),
             fromDevice(devices::addressText(entry.target.ip)),
             fromDevice(devices::addressText(entry.target.mask)),
             fromDevice(devices::addressText(entry.target.gateway)),
             fromDevice(entry.target.description),
             entry.newPassword.empty() ? QStringLiteral("No Change") : QStringLiteral("(set)"),
             notes.isEmpty() ? QStringLiteral("ok") : notes.join(QStringLiteral("; "))});
    }
    return formatTable(headers, rows);
}

QString resultLine(const usecases::ConfigJob& job, const usecases::JobResult& result) {
    QString line = qs(job.device->mac) + QStringLiteral("  ") +
                   QLatin1String(usecases::stateName(result.state));
    switch (result.state) {
        case usecases::JobState::Sent:
            line += QStringLiteral(" to ") + qs(devices::addressText(result.destination));
            if (result.attempt > 1)
                line += QStringLiteral(" (attempt %1)").arg(result.attempt);
            if (result.outsideSubnet) {
                line += QStringLiteral(" (by broadcast: its address ") +
                        visibleDeviceText(devices::addressText(job.device->deviceIp)) +
                        QStringLiteral(" lies outside the subnet of adapter ") +
                        qs(job.device.foundVia.text()) + QStringLiteral(")");
            }
            break;
        case usecases::JobState::Acknowledged:
            line +=
                QStringLiteral(" \"") + visibleDeviceText(result.message) + QStringLiteral("\"");
            break;
        case usecases::JobState::Verified:
            line += QStringLiteral(" (reports ") + qs(devices::addressText(job.target.ip)) +
                    QStringLiteral(")");
            break;
        case usecases::JobState::Failed:
        case usecases::JobState::NotSent:
        case usecases::JobState::RollbackFailed:
            line += QStringLiteral(": ") +
                    visibleDeviceText(wording::reasonText(job.device, job.target, result));
            break;
        case usecases::JobState::RolledBack:
            line += QStringLiteral(" (reports its previous settings)");
            break;
        case usecases::JobState::Unchanged:
            line += QStringLiteral(" (reports its settings already; nothing sent)");
            break;
    }
    return line + QStringLiteral("\n");
}

RunSummary summarise(const std::vector<usecases::JobResult>& results) {
    RunSummary summary;
    summary.devices = results.size();
    for (const usecases::JobResult& result : results) {
        switch (result.state) {
            case usecases::JobState::Verified:
                ++summary.verified;
                break;
            case usecases::JobState::Acknowledged:
                ++summary.acknowledged;
                break;
            case usecases::JobState::Failed:
            case usecases::JobState::NotSent:
            case usecases::JobState::RolledBack:
            case usecases::JobState::RollbackFailed:
                ++summary.failed;
                break;
            case usecases::JobState::Unchanged:
                ++summary.unchanged;
                break;
            case usecases::JobState::Sent:
                break;
        }
    }
    return summary;
}

QString summaryLine(const RunSummary& summary) {
    QString line = QStringLiteral("%1 device(s): %2 verified, %3 acknowledged, %4 failed")
                       .arg(summary.devices)
                       .arg(summary.verified)
                       .arg(summary.acknowledged)
                       .arg(summary.failed);
    if (summary.unchanged > 0)
        line += QStringLiteral(", %1 unchanged").arg(summary.unchanged);
    return line + QStringLiteral("\n");
}

namespace {

QJsonArray textsJson(const std::vector<std::string>& texts) {
    QJsonArray array;
    for (const std::string& text : texts)
        array.append(fromDevice(text));
    return array;
}

// The one word a script acts on.
QString finalState(const changes::PlanEntry& entry, const usecases::JobResult& result,
                   bool dryRun) {
    if (!entry.device)
        return QStringLiteral("not_found");
    switch (result.state) {
        case usecases::JobState::Unchanged:
            return QStringLiteral("unchanged");
        case usecases::JobState::Verified:
            return QStringLiteral("verified");
        case usecases::JobState::Acknowledged:
            return QStringLiteral("acknowledged");
        case usecases::JobState::NotSent:
            if (dryRun && entry.ok() && result.why == usecases::JobWhy::None &&
                result.reason.empty())
                return QStringLiteral("would_change");
            break;
        case usecases::JobState::RolledBack:
            return QStringLiteral("rolled_back");
        case usecases::JobState::RollbackFailed:
            return QStringLiteral("rollback_failed");
        case usecases::JobState::Sent:
        case usecases::JobState::Failed:
            break;
    }
    return QStringLiteral("failed");
}

}  // namespace

QByteArray runJson(const QString& command, bool dryRun,
                   const std::vector<changes::PlanEntry>& entries,
                   const std::vector<usecases::JobResult>& results) {
    QJsonArray devices;
    std::map<QString, int> totals{{QStringLiteral("unchanged"), 0},
                                  {QStringLiteral("verified"), 0},
                                  {QStringLiteral("acknowledged"), 0},
                                  {QStringLiteral("failed"), 0},
                                  {QStringLiteral("not_found"), 0}};
    if (dryRun)
        totals[QStringLiteral("would_change")] = 0;
    for (std::size_t i = 0; i < entries.size() && i < results.size(); ++i) {
        const changes::PlanEntry& entry = entries[i];
        const usecases::JobResult& result = results[i];
        const QString state = finalState(entry, result, dryRun);
        ++totals[state];
        QJsonObject device{
            {QStringLiteral("line"), entry.line},
            {QStringLiteral("mac"), fromDevice(entry.mac)},
            {QStringLiteral("name"),
             entry.device ? fromDevice(entry.device->record->name) : QString()},
            {QStringLiteral("found_via"),
             entry.device ? qs(entry.device->foundVia.text()) : QString()},
            {QStringLiteral("before"),
             entry.device ? QJsonValue(settingsJson(changes::currentSettings(*entry.device)))
                          : QJsonValue()},
            {QStringLiteral("requested"), settingsJson(entry.target)},
            {QStringLiteral("new_password"), !entry.newPassword.empty()},
            {QStringLiteral("errors"), textsJson(entry.errors)},
            {QStringLiteral("warnings"), textsJson(entry.warnings)},
            {QStringLiteral("sent"),
             result.handedOver
                 ? QJsonValue(QJsonObject{{QStringLiteral("destination"),
                                           qs(devices::addressText(result.destination))},
                                          {QStringLiteral("broadcast"), result.broadcast},
                                          {QStringLiteral("attempts"), result.attempt}})
                 : QJsonValue()},
            {QStringLiteral("message"), fromDevice(result.message)},
            {QStringLiteral("reason"),
             fromDevice(entry.device ? wording::reasonText(*entry.device, entry.target, result)
                                     : result.reason)},
            {QStringLiteral("state"), state}};
        devices.append(device);
    }
    QJsonObject totalsJson{{QStringLiteral("devices"), static_cast<qint64>(entries.size())}};
    for (const auto& [state, count] : totals)
        totalsJson.insert(state, count);
    const QJsonObject document{{QStringLiteral("command"), command},
                               {QStringLiteral("dry_run"), dryRun},
                               {QStringLiteral("devices"), devices},
                               {QStringLiteral("totals"), totalsJson}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace kavren::cli
