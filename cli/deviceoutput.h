// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "changes/changerecord.h"
#include "usecases/founddevice.h"

namespace kavren::cli {

// Device texts and settings as the audit trail writes them.
using changes::fromDevice;
using changes::settingsJson;
// Control characters as \xNN, for text that goes to a terminal.
QString visibleText(const QString& text);
// Device bytes as a terminal message shows them: both of the above.
QString visibleDeviceText(const std::string& bytes);

// Where a writer hands its output, piece by piece: a long list then goes out
// as it is made instead of being held whole as text.
using OutputSink = std::function<void(QByteArrayView)>;

// A table aligned in columns for people. Control characters of device texts
// are shown as \xNN so that no device can move the terminal's cursor.
QByteArray formatTable(const QStringList& headers, const std::vector<QStringList>& rows);
// The same for rows made one at a time by `rowAt` (0 .. rowCount - 1), each
// twice: for the widths, then for its line, which goes to `out` at once. A
// long list is then never held as texts, nor as the table.
void writeTable(const QStringList& headers, std::size_t rowCount,
                const std::function<QStringList(std::size_t)>& rowAt, const OutputSink& out);

// Column keys of the machine-readable forms, and the table's headers (the
// grid's own where it has one).
const QStringList& deviceKeys();
const QStringList& deviceHeaders();
QStringList deviceFields(const usecases::FoundDevice& device);
QJsonObject deviceJson(const usecases::FoundDevice& device);

// The device list as a table, a JSON array, CSV: written device by device
// to `out`, or as one document.
void writeDevicesTable(const usecases::FoundDevices& devices, const OutputSink& out);
void writeDevicesJson(const usecases::FoundDevices& devices, const OutputSink& out);
void writeDevicesCsv(const usecases::FoundDevices& devices, const OutputSink& out);
QByteArray devicesTable(const usecases::FoundDevices& devices);
QByteArray devicesJson(const usecases::FoundDevices& devices);
QByteArray devicesCsv(const usecases::FoundDevices& devices);

}  // namespace kavren::cli
