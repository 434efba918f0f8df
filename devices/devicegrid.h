// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "devices/addressindex.h"
#include "devices/devicesenders.h"

namespace kavren::devices {

// What the grid reports to its front end. The model decides; the front end
// shows it.
class GridEffects {
public:
    virtual ~GridEffects() = default;
    // A cell was selected: the commands on the current row become usable.
    virtual void cellSelected() = 0;
    // A length warning, to be shown to the user as it is.
    virtual void showMessage(std::string_view text) = 0;
};

// Told about every change of shape or content, so a view can repaint only
// what changed (one notification per append, not per cell).
class GridObserver {
public:
    virtual ~GridObserver() = default;
    virtual void gridReset() = 0;
    virtual void rowsAppended(int firstRow, int lastRow) = 0;
    virtual void cellChanged(int col, int row) = 0;
    virtual void headersChanged() = 0;
};

// The device grid: ten text columns, row 0 the headers, device rows 1 to
// rowCount()-2 and one empty trailing row. It is the only store of device
// data; every cell is an 8-bit text.
class DeviceGrid final {
public:
    static constexpr int kColCount = 10;
    static constexpr int kFixedCols = 5;  // columns 0-4 are never selected or edited
    static constexpr int kDefaultColWidth = 64;
    // Devices the MAC index holds without growing (it grows beyond).
    static constexpr std::size_t kExpectedDevices = 65536;
    // Devices listed at most. A real segment holds a few thousand; the bound
    // is for forged replies, each with a MAC of its own, which would otherwise
    // take memory until the program ends (about 600 bytes a row).
    static constexpr int kMaxDevices = 100000;

    enum Column : int {
        ColRow = 0,
        ColMac = 1,
        ColName = 2,
        ColVersion = 3,
        ColDeviceIp = 4,
        ColNewPassword = 5,
        ColIp = 6,
        ColMask = 7,
        ColGateway = 8,
        ColDescription = 9,
    };

    // Texts of a new device row, for every column but 0 (the row number) and
    // 5 (the new password, which starts empty).
    struct DeviceRowTexts {
        std::string mac, name, version, deviceIp, ip, mask, gateway, description;
    };

    // `expectedDevices` sizes the MAC index up front; short-lived grids
    // (tools, tests) can ask for less.
    // `maxDevices` below kMaxDevices is for tests that reach the bound.
    explicit DeviceGrid(std::size_t expectedDevices = kExpectedDevices,
                        int maxDevices = kMaxDevices);

    void setEffects(GridEffects* effects) { m_effects = effects; }
    void setObserver(GridObserver* observer) {
        m_observer = observer;
        // Mark changes are gathered only for someone who shows them.
        m_addresses.collectChanges(observer != nullptr);
    }

    // Header texts and column widths.
    void setUp();
    // Empties every row but the header and cuts the grid back to two rows.
    void clear();
    // Turns the trailing row into a device row; returns its index. The texts
    // are moved into the row; `sender` is the source address of the reply
    // (host order, 0 when not known).
    int appendDeviceRow(DeviceRowTexts texts, std::uint32_t sender = 0);

    // No more device rows are taken once this holds (appendDeviceRow still
    // appends; the reply handler asks first).
    bool full() const { return deviceRowCount() >= m_maxDevices; }
    int maxDevices() const { return m_maxDevices; }
    // A device was left out because the list is full: true the first time
    // after each clear(), so that it is said once.
    bool noteDeviceLeftOut() { return m_leftOut++ == 0; }

    // Another reply for the device of `row` came from `sender`. A sender not
    // seen for it before is kept, and the observer hears of the MAC cell.
    // Returns whether it was such a rival.
    bool noteSender(int row, std::uint32_t sender);
    // The first sender of a device row and the others; 0 / empty when not
    // known or no device row.
    std::uint32_t firstSender(int row) const;
    std::span<const std::uint32_t> rivalSenders(int row) const;

    // Between these two, appended rows are announced to the observer once,
    // at the end, as one range; any other change announces them first, so
    // the observer still hears of every change in order. Batches may nest;
    // each end announces what was appended so far.
    void beginAppendBatch() { ++m_batchDepth; }
    void endAppendBatch();
    // The first device row whose MAC text equals `mac` exactly.
    std::optional<int> findRowByMac(std::string_view mac) const;

    int rowCount() const { return static_cast<int>(m_rows.size()) + 1; }
    int deviceRowCount() const { return rowCount() - 2; }
    bool isDeviceRow(int row) const { return !cell(ColRow, row).empty(); }

    // A cell that was never written, or lies outside the grid, is empty.
    const std::string& cell(int col, int row) const;
    void setCell(int col, int row, std::string text);
    int columnWidth(int col) const;

    // The current cell. A new grid starts on the first selectable cell,
    // (5, 1), without a selection having happened: so a command on the
    // current row acts on row 1 as soon as a device fills it.
    std::optional<int> currentRow() const { return m_currentRow; }
    std::optional<int> currentCol() const { return m_currentCol; }
    bool editing() const { return m_editing; }

    // A cell is about to become current (mouse, keyboard, or the grid moving
    // it after clear()). Reports the selection and switches editing on for
    // device rows only. Fixed cells are not selectable.
    void selectCell(int col, int row);
    // The text of the cell being edited changed, or editing of it ended:
    // warns about over-long texts and never refuses them.
    void setEditText(int col, int row, std::string_view text);

    // Grows with every change of a searched cell (MAC, name, version,
    // DeviceIP, description, row number) other than an append, and with
    // every clear: a search index built before is out of date.
    std::uint64_t searchedChanges() const { return m_searchedChanges; }

    // Which device rows report which address; true after every change.
    const AddressIndex& addresses() const { return m_addresses; }
    // Rows whose address marks changed through a change of another row.
    std::vector<int> takeAddressMarkChanges() { return m_addresses.takeChangedRows(); }

    static std::optional<std::string_view> lengthWarning(int col, std::string_view text);
    static const std::array<std::string_view, kColCount>& headerTexts();

private:
    using Row = std::array<std::string, kColCount>;

    void indexMac(int row);
    void unindexMac(int row);
    void indexAddresses(int row);
    void unindexAddresses(int row);
    void announceAppended();

    std::array<std::string, kColCount> m_headers;
    std::array<int, kColCount> m_widths;
    // Rows 1 .. rowCount()-1; the last one is the trailing row. A deque, so
    // that tens of thousands of rows grow without being moved.
    std::deque<Row> m_rows;
    // MAC text to the first device row that holds it, so that a reply from a
    // listed device is found without walking every row.
    // Looked up by string_view, so a lookup never copies the MAC text.
    struct MacHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view mac) const noexcept {
            return std::hash<std::string_view>{}(mac);
        }
    };
    std::unordered_map<std::string, int, MacHash, std::equal_to<>> m_macIndex;
    AddressIndex m_addresses;
    // Device row r is device r - 1 here: rows are only ever appended.
    DeviceSenders m_senders;
    int m_maxDevices;
    std::uint64_t m_leftOut = 0;
    std::uint64_t m_searchedChanges = 0;
    std::optional<int> m_currentRow = 1;
    std::optional<int> m_currentCol = kFixedCols;
    bool m_editing = false;
    int m_batchDepth = 0;
    int m_firstUnannounced = 0;  // first appended row not yet announced; 0 for none
    GridEffects* m_effects = nullptr;
    GridObserver* m_observer = nullptr;
};

}  // namespace kavren::devices
