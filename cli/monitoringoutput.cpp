// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/monitoringoutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <map>

#include "cli/deviceoutput.h"
#include "devices/addressindex.h"

namespace kavren::cli {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString labels(const std::vector<std::pair<const char*, QString>>& pairs) {
    QStringList parts;
    for (const auto& [name, value] : pairs)
        parts << QLatin1String(name) + QStringLiteral("=\"") + prometheusLabel(value) +
                     QLatin1Char('"');
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString family(const char* name, const char* help) {
    return QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n")
        .arg(QLatin1String(name), QLatin1String(help));
}

// Addresses that more than one device reports, compared by value as the
// window's list marks them.
int addressConflicts(const usecases::FoundDevices& devices) {
    std::map<protocol::Ipv4Address, int> reporting;
    for (const usecases::FoundDevice device : devices) {
        if (device->deviceIp)
            ++reporting[*device->deviceIp];
    }
    int conflicts = 0;
    for (const auto& [address, count] : reporting)
        conflicts += count > 1 ? 1 : 0;
    return conflicts;
}

}  // namespace

QString prometheusLabel(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar ch : value) {
        if (ch == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (ch == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (ch == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += ch;
    }
    return out;
}

QByteArray devicesPrometheus(const usecases::FoundDevices& devices,
                             const std::vector<protocol::Ipv4Address>& adapters, qint64 timestamp) {
    QString text = family("kavren_device_info",
                          "A device that answered the discovery, with the settings it reports.");
    for (const usecases::FoundDevice d : devices) {
        text += QStringLiteral("kavren_device_info") +
                labels({{"mac", fromDevice(d->mac)},
                        {"name", fromDevice(d->name)},
                        {"version", fromDevice(d->version)},
                        {"ip", fromDevice(devices::addressText(d->deviceIp))},
                        {"mask", fromDevice(devices::addressText(d->mask))},
                        {"gateway", fromDevice(devices::addressText(d->gateway))},
                        {"description", fromDevice(d->description)},
                        {"adapter", fromDevice(d.foundVia.text())}}) +
                QStringLiteral(" 1\n");
    }
    text += family("kavren_devices", "Devices found via each adapter searched.");
    for (const protocol::Ipv4Address adapter : adapters) {
        const auto count = std::count_if(devices.begin(), devices.end(),
                                         [&](const auto& d) { return d.foundVia == adapter; });
        text += QStringLiteral("kavren_devices") + labels({{"adapter", qs(adapter.text())}}) +
                QStringLiteral(" %1\n").arg(count);
    }
    text += family("kavren_device_contested",
                   "1 when a second sender answers with the device's MAC address.");
    for (const usecases::FoundDevice d : devices) {
        text += QStringLiteral("kavren_device_contested") + labels({{"mac", fromDevice(d->mac)}}) +
                (d.rivals.empty() ? QStringLiteral(" 0\n") : QStringLiteral(" 1\n"));
    }
    text += family("kavren_address_conflicts", "Addresses that more than one device reports.");
    text += QStringLiteral("kavren_address_conflicts %1\n").arg(addressConflicts(devices));
    text += family("kavren_discovery_timestamp_seconds",
                   "When the discovery ended, in seconds since the Unix epoch.");
    text += QStringLiteral("kavren_discovery_timestamp_seconds %1\n").arg(timestamp);
    return text.toUtf8();
}

QByteArray devicesZabbix(const usecases::FoundDevices& devices) {
    QJsonArray array;
    for (const usecases::FoundDevice d : devices) {
        array.append(QJsonObject{
            {QStringLiteral("{#MAC}"), fromDevice(d->mac)},
            {QStringLiteral("{#NAME}"), fromDevice(d->name)},
            {QStringLiteral("{#IP}"), fromDevice(devices::addressText(d->deviceIp))},
            {QStringLiteral("{#MASK}"), fromDevice(devices::addressText(d->mask))},
            {QStringLiteral("{#GATEWAY}"), fromDevice(devices::addressText(d->gateway))},
            {QStringLiteral("{#DESCRIPTION}"), fromDevice(d->description)},
            {QStringLiteral("{#ADAPTER}"), fromDevice(d.foundVia.text())}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

}  // namespace kavren::cli
