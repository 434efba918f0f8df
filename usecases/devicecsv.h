// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kavren {

class DeviceGrid;

// The device list as CSV, one writer for every front end, so that a list
// saved from the window and one printed by the command line read alike.
// Device texts are bytes: each is read as Latin-1 (one character per byte)
// and written as UTF-8, so a reader that encodes a parsed field back to
// Latin-1 has the device's exact bytes again. Fields holding a comma, quote
// or line break are quoted with quotes doubled (RFC 4180); lines end in
// CR LF.

// One device's texts, unconverted. foundVia (the adapter address whose
// request it answered) and sender (the reply's source address) are known to
// the command line only.
struct DeviceCsvRecord {
    std::string_view mac, name, version, ip, mask, gateway, description, foundVia, sender;
};

enum class DeviceCsvColumns {
    All,                  // mac ... description, found_via, sender
    WithoutDiscoveryPath  // mac ... description
};

void appendCsvField(std::string& out, std::string_view bytes);
void appendDeviceCsvHeader(std::string& out, DeviceCsvColumns columns);
void appendDeviceCsvLine(std::string& out, const DeviceCsvRecord& device, DeviceCsvColumns columns);

// Every device row of the grid, header first. The grid knows no discovery
// path; mask, gateway and description are the texts its rows hold, which are
// what the device reported unless the user has typed over them.
std::string gridDevicesCsv(const DeviceGrid& grid);

}  // namespace kavren
