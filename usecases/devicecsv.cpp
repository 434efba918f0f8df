// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/devicecsv.h"

#include <array>
#include <cstdint>

#include "devices/devicelist.h"

namespace kavren::usecases {

namespace {

constexpr std::size_t kDeviceOnlyKeys = 7;

std::size_t columnCount(DeviceCsvColumns columns) {
    return columns == DeviceCsvColumns::All ? kDeviceColumns.size() : kDeviceOnlyKeys;
}

void appendLatin1AsUtf8(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
}

void appendLine(std::string& out, const std::string_view* fields, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out.push_back(',');
        appendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

// The first characters a spreadsheet takes as the start of a formula, and
// the apostrophe that marks a text, which must then be marked itself.
bool needsTextMark(std::string_view field) {
    return !field.empty() &&
           std::string_view("=+-@\t\r'").find(field.front()) != std::string_view::npos;
}

}  // namespace

void appendCsvField(std::string& out, std::string_view bytes) {
    const std::string_view mark = needsTextMark(bytes) ? "'" : "";
    if (bytes.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += mark;
        appendLatin1AsUtf8(out, bytes);
        return;
    }
    out.push_back('"');
    out += mark;
    for (std::size_t start = 0;;) {
        const std::size_t quote = bytes.find('"', start);
        appendLatin1AsUtf8(out, bytes.substr(start, quote - start));
        if (quote == std::string_view::npos)
            break;
        out += "\"\"";
        start = quote + 1;
    }
    out.push_back('"');
}

CsvRecords readCsvRecords(std::string_view text) {
    CsvRecords result;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;     // inside quotes now
    bool wasQuoted = false;  // the current field was quoted
    bool started = false;    // the record has begun
    int line = 1;
    int recordLine = 1;
    int quoteLine = 1;
    auto endField = [&] {
        if (field.size() > 1 && field.front() == '\'' && needsTextMark(field.substr(1)))
            field.erase(0, 1);
        fields.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    auto fail = [&](int at, const char* what) {
        result.errors.push_back("line " + std::to_string(at) + ": " + what);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field.push_back('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == '\n')
                    ++line;
                field.push_back(ch);
            }
        } else if (ch == ',') {
            endField();
            started = true;
        } else if (ch == '\r') {
            continue;
        } else if (ch == '\n') {
            if (started || !field.empty() || wasQuoted) {
                endField();
                result.records.push_back({recordLine, std::move(fields)});
            }
            fields.clear();
            started = false;
            ++line;
            recordLine = line;
        } else if (wasQuoted) {
            fail(line, "text after a closing quote");
            return result;
        } else if (ch == '"') {
            if (!field.empty()) {
                fail(line, "a quote inside a field that is not quoted");
                return result;
            }
            quoted = true;
            wasQuoted = true;
            started = true;
            quoteLine = line;
        } else {
            field.push_back(ch);
            started = true;
        }
    }
    if (quoted) {
        fail(quoteLine, "the quote opened here is never closed");
        return result;
    }
    if (started || !field.empty()) {
        endField();
        result.records.push_back({recordLine, std::move(fields)});
    }
    return result;
}

void appendDeviceCsvHeader(std::string& out, DeviceCsvColumns columns) {
    std::array<std::string_view, kDeviceColumns.size()> keys;
    for (std::size_t c = 0; c < keys.size(); ++c)
        keys[c] = kDeviceColumns[c].key;
    appendLine(out, keys.data(), columnCount(columns));
}

void appendDeviceCsvLine(std::string& out, const DeviceCsvRecord& device,
                         DeviceCsvColumns columns) {
    const std::array<std::string_view, kDeviceColumns.size()> fields = {
        device.mac,     device.name,        device.version,  device.deviceIp, device.mask,
        device.gateway, device.description, device.foundVia, device.sender};
    appendLine(out, fields.data(), columnCount(columns));
}

std::string listedDevicesCsv(const devices::DeviceList& list) {
    std::string out;
    appendDeviceCsvHeader(out, DeviceCsvColumns::WithoutDiscoveryPath);
    for (int n = 1; n <= list.size(); ++n) {
        const devices::ListedDevice& listed = list.device(n);
        const std::string deviceIp = devices::addressText(listed.deviceIp);
        const std::string mask = list.field(devices::DeviceField::Mask, n);
        const std::string gateway = list.field(devices::DeviceField::Gateway, n);
        const DeviceCsvRecord device{.mac = listed.mac,
                                     .name = listed.name,
                                     .version = listed.version,
                                     .deviceIp = deviceIp,
                                     .mask = mask,
                                     .gateway = gateway,
                                     .description = listed.description,
                                     .foundVia = {},
                                     .sender = {}};
        appendDeviceCsvLine(out, device, DeviceCsvColumns::WithoutDiscoveryPath);
    }
    return out;
}

}  // namespace kavren::usecases
