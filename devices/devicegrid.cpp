// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicegrid.h"

#include <algorithm>

#include "protocol/textcodecs.h"

namespace kavren::devices {

namespace {

constexpr std::array<std::string_view, DeviceGrid::kColCount> kHeaders = {
    "",           "MAC Address", "Device Name", "Version",    "DeviceIP", "NewPassword",
    "IP Address", "NetMask",     "Gateway",     "Description"};
// They add up to 756 pixels, which fits the 793-pixel grid without scrolling.
constexpr std::array<int, DeviceGrid::kColCount> kWidths = {16, 96, 80, 80, 80,
                                                            72, 72, 72, 72, 116};

const std::string kEmpty;

}  // namespace

DeviceGrid::DeviceGrid(std::size_t expectedDevices, int maxDevices)
    : m_rows(1),
      m_addresses(expectedDevices),
      m_senders(expectedDevices),
      m_maxDevices(std::clamp(maxDevices, 0, kMaxDevices)) {
    m_widths.fill(kDefaultColWidth);
    // Growing the index rehashes every MAC at once, several milliseconds at
    // tens of thousands of devices, in the middle of a burst of replies. Its
    // buckets are made once, for as many devices as one burst can bring.
    m_macIndex.reserve(expectedDevices);
    m_addresses.collectChanges(false);
}

const std::array<std::string_view, DeviceGrid::kColCount>& DeviceGrid::headerTexts() {
    return kHeaders;
}

void DeviceGrid::setUp() {
    for (int c = 0; c < kColCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        m_headers[i] = std::string(kHeaders[i]);
        m_widths[i] = kWidths[i];
    }
    announceAppended();
    if (m_observer)
        m_observer->headersChanged();
}

void DeviceGrid::clear() {
    // Cells are emptied before the grid shrinks, so a row appended later
    // never shows a text of an earlier device.
    announceAppended();
    m_rows.assign(1, Row{});
    m_macIndex.clear();
    m_addresses.clear();
    m_senders.clear();
    m_leftOut = 0;
    ++m_searchedChanges;
    const bool moved = m_currentRow && *m_currentRow > 1;
    if (m_observer)
        m_observer->gridReset();
    // The current cell lay below the new last row: the grid moves it to row 1,
    // the trailing row, and that is a selection like any other. A current
    // cell already on row 1 stays where it is and raises nothing.
    if (moved && m_currentCol)
        selectCell(*m_currentCol, 1);
}

int DeviceGrid::appendDeviceRow(DeviceRowTexts texts, std::uint32_t sender) {
    const int row = rowCount() - 1;
    m_senders.note(static_cast<std::size_t>(row - 1), sender);
    Row& r = m_rows.back();
    r[ColRow] = protocol::formatRowNumber(row);
    r[ColMac] = std::move(texts.mac);
    r[ColName] = std::move(texts.name);
    r[ColVersion] = std::move(texts.version);
    r[ColDeviceIp] = std::move(texts.deviceIp);
    r[ColIp] = std::move(texts.ip);
    r[ColMask] = std::move(texts.mask);
    r[ColGateway] = std::move(texts.gateway);
    r[ColDescription] = std::move(texts.description);
    m_rows.emplace_back();
    indexMac(row);
    indexAddresses(row);
    if (m_firstUnannounced == 0)
        m_firstUnannounced = row;
    if (m_batchDepth == 0)
        announceAppended();
    return row;
}

void DeviceGrid::endAppendBatch() {
    if (m_batchDepth > 0)
        --m_batchDepth;
    announceAppended();
}

void DeviceGrid::announceAppended() {
    if (m_firstUnannounced == 0)
        return;
    const int first = m_firstUnannounced;
    m_firstUnannounced = 0;
    if (m_observer)
        m_observer->rowsAppended(first, rowCount() - 1);
}

std::optional<int> DeviceGrid::findRowByMac(std::string_view mac) const {
    const auto it = m_macIndex.find(mac);
    if (it == m_macIndex.end())
        return std::nullopt;
    return it->second;
}

bool DeviceGrid::noteSender(int row, std::uint32_t sender) {
    if (row < 1 || row > deviceRowCount() || !isDeviceRow(row))
        return false;
    if (m_senders.note(static_cast<std::size_t>(row - 1), sender) != DeviceSenders::Claim::Rival)
        return false;
    announceAppended();
    if (m_observer)
        m_observer->cellChanged(ColMac, row);
    return true;
}

std::uint32_t DeviceGrid::firstSender(int row) const {
    return row >= 1 && row <= deviceRowCount() ? m_senders.first(static_cast<std::size_t>(row - 1))
                                               : 0;
}

std::span<const std::uint32_t> DeviceGrid::rivalSenders(int row) const {
    if (row < 1 || row > deviceRowCount())
        return {};
    return m_senders.rivals(static_cast<std::size_t>(row - 1));
}

const std::string& DeviceGrid::cell(int col, int row) const {
    if (col < 0 || col >= kColCount || row < 0 || row >= rowCount())
        return kEmpty;
    const auto c = static_cast<std::size_t>(col);
    if (row == 0)
        return m_headers[c];
    return m_rows[static_cast<std::size_t>(row - 1)][c];
}

void DeviceGrid::setCell(int col, int row, std::string text) {
    if (col < 0 || col >= kColCount || row < 0 || row >= rowCount())
        return;
    const auto c = static_cast<std::size_t>(col);
    announceAppended();
    if (row == 0) {
        m_headers[c] = std::move(text);
        if (m_observer)
            m_observer->headersChanged();
        return;
    }
    const bool keyed = col == ColMac || col == ColRow;
    const bool addressed = col == ColDeviceIp || col == ColIp || col == ColRow;
    if (keyed)
        unindexMac(row);
    if (addressed)
        unindexAddresses(row);
    if (col != ColNewPassword && col != ColMask && col != ColGateway && col != ColIp)
        ++m_searchedChanges;
    m_rows[static_cast<std::size_t>(row - 1)][c] = std::move(text);
    if (keyed)
        indexMac(row);
    if (addressed)
        indexAddresses(row);
    if (m_observer)
        m_observer->cellChanged(col, row);
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
    if (const auto warning = lengthWarning(col, text); warning && m_effects) {
        m_effects->showMessage(*warning);
    }
}

std::optional<std::string_view> DeviceGrid::lengthWarning(int col, std::string_view text) {
    // The thresholds are one above the field widths; the numbers inside the
    // messages are part of their fixed wording.
    switch (col) {
        case ColIp:
        case ColMask:
        case ColGateway:
            if (text.size() > 16)
                return "IP address Length Error !!";
            break;
        case ColNewPassword:
            if (text.size() > 17)
                return "Password Length must less than 16 !!";
            break;
        case ColDescription:
            if (text.size() > 33)
                return "Description Length must less than 32 !!";
            break;
        default:
            break;
    }
    return std::nullopt;
}

// Only device rows (column 0 set, below the trailing row) are keys; the
// index keeps the lowest such row for each MAC text.
void DeviceGrid::indexMac(int row) {
    if (row < 1 || row > rowCount() - 2 || !isDeviceRow(row))
        return;
    const std::string& mac = cell(ColMac, row);
    const auto [it, inserted] = m_macIndex.try_emplace(mac, row);
    if (!inserted && row < it->second)
        it->second = row;
}

void DeviceGrid::unindexMac(int row) {
    const auto it = m_macIndex.find(cell(ColMac, row));
    if (it == m_macIndex.end() || it->second != row)
        return;
    const std::string mac = it->first;
    m_macIndex.erase(it);
    // Rare: a MAC text was written by hand into a second row.
    for (int r = row + 1; r <= rowCount() - 2; ++r) {
        if (isDeviceRow(r) && cell(ColMac, r) == mac) {
            m_macIndex.emplace(mac, r);
            break;
        }
    }
}

// Device rows only, like the MAC index: the trailing row and a row whose
// number was wiped report nothing.
void DeviceGrid::indexAddresses(int row) {
    if (row < 1 || row > rowCount() - 2 || !isDeviceRow(row))
        return;
    m_addresses.insertRow(row, cell(ColDeviceIp, row), cell(ColIp, row));
}

void DeviceGrid::unindexAddresses(int row) {
    if (row < 1 || row > rowCount() - 2 || !isDeviceRow(row))
        return;
    m_addresses.eraseRow(row, cell(ColDeviceIp, row), cell(ColIp, row));
}

}  // namespace kavren::devices
