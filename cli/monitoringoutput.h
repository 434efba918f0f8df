// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "usecases/founddevice.h"

namespace kavren::cli {

// A label value of Prometheus's text format: backslash, double quote and
// line feed escaped, as a device's texts may hold any of them.
QString prometheusLabel(const QString& value);

// The devices in Prometheus's text exposition format, for node_exporter's
// textfile collector: one info series per device, the count per adapter
// searched (zero included), whether a second sender claims each MAC, how
// many addresses more than one device reports, and when the discovery ended
// (`timestamp`, seconds since the epoch).
QByteArray devicesPrometheus(const usecases::FoundDevices& devices,
                             const std::vector<protocol::Ipv4Address>& adapters, qint64 timestamp);

// The devices as Zabbix low-level discovery data: an array of objects whose
// macros ({#MAC}, {#NAME}, ...) are all strings.
QByteArray devicesZabbix(const usecases::FoundDevices& devices);

}  // namespace kavren::cli
