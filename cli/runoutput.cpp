// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/runoutput.h"

#include <QStringList>

#include "cli/deviceoutput.h"

namespace kavren::cli {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

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
                line += QStringLiteral(" (by broadcast: its address ") +
                        visibleDeviceText(job.device.ip) +
                        QStringLiteral(" lies outside the subnet of adapter ") +
                        qs(job.device.foundVia) + QStringLiteral(")");
            }
            break;
        case JobState::Acknowledged:
            line +=
                QStringLiteral(" \"") + visibleDeviceText(result.message) + QStringLiteral("\"");
            break;
        case JobState::Verified:
            line += QStringLiteral(" (reports ") + visibleDeviceText(job.target.ip) +
                    QStringLiteral(")");
            break;
        case JobState::Failed:
        case JobState::NotSent:
            line += QStringLiteral(": ") + visibleDeviceText(result.reason);
            break;
    }
    return line + QStringLiteral("\n");
}

RunSummary summarise(const std::vector<JobResult>& results) {
    RunSummary summary;
    summary.devices = results.size();
    for (const JobResult& result : results) {
        switch (result.state) {
            case JobState::Verified:
                ++summary.verified;
                break;
            case JobState::Acknowledged:
                ++summary.acknowledged;
                break;
            case JobState::Failed:
            case JobState::NotSent:
                ++summary.failed;
                break;
            case JobState::Sent:
                break;
        }
    }
    return summary;
}

QString summaryLine(const RunSummary& summary) {
    return QStringLiteral("%1 device(s): %2 verified, %3 acknowledged, %4 failed\n")
        .arg(summary.devices)
        .arg(summary.verified)
        .arg(summary.acknowledged)
        .arg(summary.failed);
}

}  // namespace kavren::cli
