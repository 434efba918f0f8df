// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "devices/devicelist.h"

namespace kavren::usecases {

// The device list as CSV, one writer for every front end, so that a list
// saved from the window and one printed by the command line read alike.
// Device texts are bytes: each is read as Latin-1 (one character per byte)
// and written as UTF-8, so a reader that encodes a parsed field back to
// Latin-1 has the device's exact bytes again. Fields holding a comma, quote
// or line break are quoted with quotes doubled (RFC 4180); lines end in
// CR LF.
//
// Names, versions and descriptions come from the network, and a spreadsheet
// runs a field starting with '=', '+', '-', '@', tab or carriage return as a
// formula. Such a field is written with an apostrophe in front, which makes
// the spreadsheet show it as text; so is a field that itself starts with an
// apostrophe, so that readCsvRecords, which takes one apostrophe off a field
// when one of those characters follows it, gives back every value exactly.

// One device's texts, unconverted; deviceIp is the address the device
// reported (column "ip"). foundVia (the adapter address whose request it
// answered) and sender (the reply's source address) are known to the command
// line only.
struct DeviceCsvRecord {
    std::string_view mac, name, version, deviceIp, mask, gateway, description, foundVia, sender;
};

// The columns of a device listing, in DeviceCsvRecord's order: the key of
// the machine-readable forms (CSV header, JSON) and the caption a table
// shows, the list's own field name where it has one.
struct DeviceColumn {
    std::string_view key;
    std::string_view caption;
};
inline constexpr std::array<DeviceColumn, 9> kDeviceColumns = {{
    {"mac", devices::DeviceList::fieldName(devices::DeviceField::Mac)},
    {"name", devices::DeviceList::fieldName(devices::DeviceField::Name)},
    {"version", devices::DeviceList::fieldName(devices::DeviceField::Version)},
    {"ip", devices::DeviceList::fieldName(devices::DeviceField::DeviceIp)},
    {"mask", devices::DeviceList::fieldName(devices::DeviceField::Mask)},
    {"gateway", devices::DeviceList::fieldName(devices::DeviceField::Gateway)},
    {"description", devices::DeviceList::fieldName(devices::DeviceField::Description)},
    {"found_via", "Found via"},
    {"sender", "Sender"},
}};

enum class DeviceCsvColumns {
    All,                  // mac ... description, found_via, sender
    WithoutDiscoveryPath  // mac ... description
};

void appendCsvField(std::string& out, std::string_view bytes);

// One record of a CSV text, with the line it starts on (1-based).
struct CsvRecord {
    int line = 0;
    std::vector<std::string> fields;
};

// Why a CSV text cannot be used, and on which line (1-based).
struct CsvError {
    enum class Kind {
        TextAfterClosingQuote,
        QuoteInUnquotedField,
        QuoteNeverClosed,  // `line` is where it opened
    };
    int line = 0;
    Kind kind = Kind::QuoteNeverClosed;
};

struct CsvRecords {
    std::vector<CsvRecord> records;
    std::vector<CsvError> errors;  // the text cannot be used
};

// The records of an RFC 4180 text as appendCsvField writes it: quoted fields
// may hold commas, doubled quotes and line breaks; blank lines are skipped;
// a field's text is returned as it stands (the caller decodes it), without
// the apostrophe the formula rule added. A quote that is never closed, or one
// inside or after a field that was not quoted, is an error naming its line:
// reading on would swallow the rest of the text into one field.
CsvRecords readCsvRecords(std::string_view text);
void appendDeviceCsvHeader(std::string& out, DeviceCsvColumns columns);
void appendDeviceCsvLine(std::string& out, const DeviceCsvRecord& device, DeviceCsvColumns columns);

// Every listed device, header first. The list knows no discovery path; mask,
// gateway and description are the texts it holds, which are what the device
// reported unless the user has typed over them.
std::string listedDevicesCsv(const devices::DeviceList& list);

}  // namespace kavren::usecases
