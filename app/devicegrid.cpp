// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devicegrid.h"

#include "protocol/textcodecs.h"

namespace kavren::app {

namespace {

// The row-number column, then every field of the list.
static_assert(DeviceGrid::kColCount == devices::kDeviceFieldCount + 1);
constexpr std::array<std::string_view, DeviceGrid::kColCount> kHeaders = [] {
    std::array<std::string_view, DeviceGrid::kColCount> headers{};
    for (std::size_t c = 1; c < headers.size(); ++c)
        headers[c] = devices::kDeviceFieldNames[c - 1];
    return headers;
}();
// They add up to 756 pixels, which fits the 793-pixel grid without scrolling.
constexpr std::array<int, DeviceGrid::kColCount> kWidths = {16, 96, 80, 80, 80,
                                                            72, 72, 72, 72, 116};

}  // namespace

DeviceGrid::DeviceGrid(devices::DeviceList& devices) : m_devices(devices) {
    m_widths.fill(kDefaultColWidth);
}

const std::array<std::string_view, DeviceGrid::kColCount>& DeviceGrid::headerTexts() {
    return kHeaders;
}

std::optional<devices::DeviceField> DeviceGrid::fieldOf(int col) {
    if (col < 1 || col >= kColCount)
        return std::nullopt;
    return static_cast<devices::DeviceField>(col - 1);
}

void DeviceGrid::setUp() {
    for (std::size_t c = 0; c < kHeaders.size(); ++c) {
        m_headers[c] = std::string(kHeaders[c]);
        m_widths[c] = kWidths[c];
    }
    m_devices.announceAppended();
    if (m_headersChanged)
        m_headersChanged();
}

void DeviceGrid::clear() {
    const bool moved = m_currentRow && *m_currentRow > 1;
    // The observer hears of the reset from the list.
    m_devices.clear();
    // The current cell lay below the new last row: the grid moves it to row 1,
    // the trailing row, and that is a selection like any other. A current
    // cell already on row 1 stays where it is and raises nothing.
    if (moved && m_currentCol)
        selectCell(*m_currentCol, 1);
}

std::string DeviceGrid::cell(int col, int row) const {
    if (col < 0 || col >= kColCount || row < 0)
        return {};
    if (row == 0)
        return m_headers[static_cast<std::size_t>(col)];
    if (!isDeviceRow(row))
        return {};
    if (const auto field = fieldOf(col))
        return m_devices.field(*field, row);
    return protocol::formatRowNumber(row);
}

void DeviceGrid::setCell(int col, int row, std::string text) {
    if (col < 0 || col >= kColCount)
        return;
    if (row == 0) {
        m_devices.announceAppended();
        m_headers[static_cast<std::size_t>(col)] = std::move(text);
        if (m_headersChanged)
            m_headersChanged();
        return;
    }
    if (const auto field = fieldOf(col))
        m_devices.setField(*field, row, std::move(text));
}

int DeviceGrid::columnWidth(int col) const {
    if (col < 0 || col >= kColCount)
        return 0;
    return m_widths[static_cast<std::size_t>(col)];
}

void DeviceGrid::selectCell(int col, int row) {
    if (col < kFixedCols || col >= kColCount || row < 1 || row >= rowCount())
        return;
    m_currentCol = col;
    m_currentRow = row;
    if (m_effects)
        m_effects->cellSelected();
    // Editing follows the row being selected, not the row being left.
    m_editing = isDeviceRow(row);
}

void DeviceGrid::setEditText(int col, int /*row*/, std::string_view text) {
    const auto field = fieldOf(col);
    if (!field)
        return;
    if (const auto warning = devices::DeviceList::lengthWarning(*field, text); warning && m_effects)
        m_effects->showMessage(*warning);
}

}  // namespace kavren::app
