// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
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

// A table aligned in columns for people. Control characters of device texts
// are shown as \xNN so that no device can move the terminal's cursor.
QByteArray formatTable(const QStringList& headers, const std::vector<QStringList>& rows);
// The same for rows made one at a time by `rowAt` (0 .. rowCount - 1), each
// twice: for the widths, then for its line. A long list is then never held
// as texts beside the table being written.
QByteArray formatTable(const QStringList& headers, std::size_t rowCount,
                       const std::function<QStringList(std::size_t)>& rowAt);

// Column keys of the machine-readable forms, and the table's headers (the
// grid's own where it has one).
const QStringList& deviceKeys();
const QStringList& deviceHeaders();
QStringList deviceFields(const usecases::FoundDevice& device);
QJsonObject deviceJson(const usecases::FoundDevice& device);

QByteArray devicesTable(const std::vector<usecases::FoundDevice>& devices);
QByteArray devicesJson(const std::vector<usecases::FoundDevice>& devices);
QByteArray devicesCsv(const std::vector<usecases::FoundDevice>& devices);

}  // namespace kavren::cli
