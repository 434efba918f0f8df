// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/updatecommands.h"

#include <span>

#include "usecases/secretwipe.h"
#include "protocol/textcodecs.h"
#include "protocol/packets.h"

namespace kavren::config {

namespace {

constexpr std::string_view kSettingInfo = "Setting info :";
constexpr std::string_view kNoChange = "No Change";
constexpr std::size_t kHeaderPad = 15;

// "%-15s \t: %s", built without a format string: device texts may hold '%'.
std::string settingLine(std::string_view header, std::string_view value) {
    std::string line(header);
    if (line.size() < kHeaderPad)
        line.append(kHeaderPad - line.size(), ' ');
    line += " \t: ";
    line += value;
    return line;
}

// Writes the parsed value when the text is valid; reports whether it was.
bool parseAddressInto(std::string_view text, Ipv4Bytes& out) {
    const codec::Ipv4Parse parsed = codec::parseIpv4(text);
    if (parsed.valid)
        out = parsed.bytes();
    return parsed.valid;
}

}  // namespace

UpdateCommands::UpdateCommands(DeviceGrid& grid, UpdatePrompts& prompts, DatagramSender& sender,
                               UpdateUi& ui)
    : m_grid(grid), m_prompts(prompts), m_sender(sender), m_ui(ui) {}

std::string UpdateCommands::confirmationCaption(const DeviceGrid& grid, int row) {
    std::string caption = grid.cell(DeviceGrid::ColName, row);
    caption += " (";
    caption += grid.cell(DeviceGrid::ColMac, row);
    caption += ')';
    return caption;
}

std::vector<std::string> UpdateCommands::confirmationLines(const DeviceGrid& grid, int row) {
    std::vector<std::string> lines;
    lines.reserve(DeviceGrid::kColCount);
    lines.emplace_back(kSettingInfo);
    for (int col = DeviceGrid::ColMac; col < DeviceGrid::kColCount; ++col) {
        std::string_view value = grid.cell(col, row);
        if (col == DeviceGrid::ColNewPassword && value.empty())
            value = kNoChange;
        lines.push_back(settingLine(grid.cell(col, 0), value));
    }
    return lines;
}

std::string UpdateCommands::selectionItem(const DeviceGrid& grid, int row) {
    std::string item = grid.cell(DeviceGrid::ColRow, row);
    item += " - ";
    item += grid.cell(DeviceGrid::ColName, row);
    item += " (";
    item += grid.cell(DeviceGrid::ColMac, row);
    item += ") ";
    return item;
}

void UpdateCommands::updateRow(int row) {
    // Read once: toggling the check box while the dialog is open does not
    // change where this row's request goes.
    const bool broadcast = m_ui.forceBroadcast();
    bool addressesValid = true;

    if (!m_grid.isDeviceRow(row))
        return;

    packet::ConfigFields fields;
    const StringWiper wipeCurrent(fields.currentPassword);
    const StringWiper wipeNew(fields.newPassword);

    fields.mac = codec::parseMac(m_grid.cell(DeviceGrid::ColMac, row));
    // All three are parsed even after one has failed; the user gets one
    // message for the row however many were wrong.
    addressesValid &= parseAddressInto(m_grid.cell(DeviceGrid::ColIp, row), fields.ip);
    addressesValid &= parseAddressInto(m_grid.cell(DeviceGrid::ColMask, row), fields.mask);
    addressesValid &= parseAddressInto(m_grid.cell(DeviceGrid::ColGateway, row), fields.gateway);
    fields.description = m_grid.cell(DeviceGrid::ColDescription, row);
    fields.newPassword = m_grid.cell(DeviceGrid::ColNewPassword, row);

    // The reply handler always writes a dotted text into DeviceIP, but should
    // it ever not parse there is no address to send to. It counts as one more
    // invalid address, found before the user is asked for a password; under
    // force broadcast the cell is not used and not judged.
    std::string destination(kBroadcastHost);
    if (!broadcast) {
        const codec::Ipv4Parse deviceIp =
            codec::parseIpv4(m_grid.cell(DeviceGrid::ColDeviceIp, row));
        if (deviceIp.valid) {
            destination = codec::formatDotted(deviceIp.values);
        } else {
            addressesValid = false;
        }
    }

    if (!addressesValid) {
        m_prompts.message(kAddressError);
        return;
    }

    fields.currentPassword =
        m_prompts.confirm(confirmationCaption(m_grid, row), confirmationLines(m_grid, row));
    if (fields.currentPassword.empty()) {
        m_prompts.message(kCancelled);
        return;
    }
    // Emptied at once, so the box is empty at the next showing even when the
    // send below fails.
    m_prompts.clearPassword();

    packet::ConfigRequest request = packet::buildConfigRequest(fields);
    wipeString(fields.currentPassword);
    struct RequestWiper {
        packet::ConfigRequest& bytes;
        ~RequestWiper() { wipeBytes(bytes); }
    } const wipeRequest{request};

    m_sender.send(destination, broadcast, request);

    m_ui.disableUpdateDevice();
    m_grid.setCell(DeviceGrid::ColNewPassword, row, std::string());
}

void UpdateCommands::updateDevice() {
    if (const auto row = m_grid.currentRow())
        updateRow(*row);
}

void UpdateCommands::updateMulti() {
    std::vector<std::string> items;
    // Item i stands for row i + 1; rows are only ever appended at the end
    // while a command runs, so the mapping holds until the loop below ends.
    for (int row = 1; row < m_grid.rowCount() - 1; ++row)
        items.push_back(selectionItem(m_grid, row));

    const std::optional<std::vector<int>> ticked = m_prompts.selectDevices(items);
    if (!ticked)
        return;
    for (const int index : *ticked) {
        if (index < 0 || index >= static_cast<int>(items.size()))
            continue;
        updateRow(index + 1);
    }
}

void UpdateCommands::updateAll() {
    // The row count is read before every pass: a device that answered while
    // an earlier confirmation was open is appended and updated too.
    for (int row = 1; row < m_grid.rowCount() - 1; ++row)
        updateRow(row);
}

}  // namespace kavren::config
