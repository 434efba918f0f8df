// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/updatecommands.h"

#include <optional>

#include "protocol/textcodecs.h"
#include "usecases/configuration.h"
#include "usecases/secretwipe.h"

namespace kavren::usecases {

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

}  // namespace

UpdateCommands::UpdateCommands(devices::DeviceGrid& grid, UpdatePrompts& prompts,
                               net::DatagramSender& sender, const UpdateOptions& options,
                               UpdateEvents& events)
    : m_grid(grid), m_prompts(prompts), m_sender(sender), m_options(options), m_events(events) {}

std::string UpdateCommands::confirmationCaption(const devices::DeviceGrid& grid, int row) {
    std::string caption = grid.cell(devices::DeviceGrid::ColName, row);
    caption += " (";
    caption += grid.cell(devices::DeviceGrid::ColMac, row);
    caption += ')';
    return caption;
}

std::vector<std::string> UpdateCommands::confirmationLines(const devices::DeviceGrid& grid,
                                                           int row) {
    std::vector<std::string> lines;
    lines.reserve(devices::DeviceGrid::kColCount);
    lines.emplace_back(kSettingInfo);
    for (int col = devices::DeviceGrid::ColMac; col < devices::DeviceGrid::kColCount; ++col) {
        std::string_view value = grid.cell(col, row);
        if (col == devices::DeviceGrid::ColNewPassword && value.empty())
            value = kNoChange;
        lines.push_back(settingLine(grid.cell(col, 0), value));
    }
    return lines;
}

std::string UpdateCommands::selectionItem(const devices::DeviceGrid& grid, int row) {
    std::string item = grid.cell(devices::DeviceGrid::ColRow, row);
    item += " - ";
    item += grid.cell(devices::DeviceGrid::ColName, row);
    item += " (";
    item += grid.cell(devices::DeviceGrid::ColMac, row);
    item += ") ";
    return item;
}

void UpdateCommands::updateRow(int row) {
    // Read once: changing the option while the confirmation is open does
    // not change where this row's request goes.
    const bool broadcast = m_options.alwaysBroadcast();
    if (!m_grid.isDeviceRow(row))
        return;

    const std::optional<CheckedSettings> settings =
        checkSettings({.mac = m_grid.cell(devices::DeviceGrid::ColMac, row),
                       .deviceIp = m_grid.cell(devices::DeviceGrid::ColDeviceIp, row),
                       .ip = m_grid.cell(devices::DeviceGrid::ColIp, row),
                       .mask = m_grid.cell(devices::DeviceGrid::ColMask, row),
                       .gateway = m_grid.cell(devices::DeviceGrid::ColGateway, row),
                       .description = m_grid.cell(devices::DeviceGrid::ColDescription, row),
                       .newPassword = m_grid.cell(devices::DeviceGrid::ColNewPassword, row)},
                      broadcast);
    // Judged before the user is asked for a password.
    if (!settings) {
        m_prompts.message(kAddressError);
        return;
    }

    std::string typed =
        m_prompts.confirm(confirmationCaption(m_grid, row), confirmationLines(m_grid, row));
    const StringWiper wipeTyped(typed);
    if (typed.empty()) {
        m_prompts.message(kCancelled);
        return;
    }
    // Forgotten at once, so the next confirmation starts empty even when the
    // send below fails.
    m_prompts.clearPassword();
    std::optional<std::string> currentPassword = protocol::latin1FromUtf8(typed);
    if (!currentPassword) {
        m_prompts.message(kPasswordCharsetError);
        return;
    }
    const StringWiper wipeCurrent(*currentPassword);

    sendConfiguration(*settings, *currentPassword, m_sender);

    m_events.requestSent();
    m_grid.setCell(devices::DeviceGrid::ColNewPassword, row, std::string());
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

}  // namespace kavren::usecases
