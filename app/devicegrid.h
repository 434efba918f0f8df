// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "devices/devicelist.h"

namespace kavren::app {

// What the grid reports to the window. The grid decides; the window shows it.
class GridEffects {
public:
    virtual ~GridEffects() = default;
    // A cell was selected: the commands on the current row become usable.
    virtual void cellSelected() = 0;
    // A length warning, to be shown to the user as it is.
    virtual void showMessage(std::string_view text) = 0;
};

// The device list as the window's grid (DevList) shows it: ten text columns,
// row 0 the headers, row r device r of the list and one empty trailing row
// below the last device. Column 0 is the device's number, made from the
// position when it is read; columns 1-9 are the device's fields in the
// list's order. The list holds every text; the grid adds what only the
// window has: headers, widths, the current cell and whether it is edited.
// A view hears of the devices from the list itself (device n is grid row n)
// and of the headers from here.
class DeviceGrid final {
public:
    static constexpr int kColCount = 1 + devices::kDeviceFieldCount;
    static constexpr int kFixedCols = 5;  // columns 0-4 are never selected or edited
    static constexpr int kDefaultColWidth = 64;

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

    // `devices` must outlive the grid.
    explicit DeviceGrid(devices::DeviceList& devices);
    DeviceGrid(const DeviceGrid&) = delete;
    DeviceGrid& operator=(const DeviceGrid&) = delete;

    devices::DeviceList& list() { return m_devices; }
    const devices::DeviceList& list() const { return m_devices; }

    void setEffects(GridEffects* effects) { m_effects = effects; }
    // Called when the header texts or the column widths change.
    void setHeadersChanged(std::function<void()> headersChanged) {
        m_headersChanged = std::move(headersChanged);
    }

    // Header texts and column widths.
    void setUp();
    // Empties the list, which cuts the grid back to two rows.
    void clear();

    int rowCount() const { return m_devices.size() + 2; }
    int deviceRowCount() const { return m_devices.size(); }
    bool isDeviceRow(int row) const { return m_devices.contains(row); }

    // A cell that was never written, or lies outside the grid, is empty.
    std::string cell(int col, int row) const;
    // Writes a header or a device's field; the number column and the
    // trailing row take nothing.
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

    // The field a column shows; none for the number column.
    static std::optional<devices::DeviceField> fieldOf(int col);
    static constexpr int columnOf(devices::DeviceField field) {
        return 1 + static_cast<int>(field);
    }
    static const std::array<std::string_view, kColCount>& headerTexts();

private:
    devices::DeviceList& m_devices;
    std::array<std::string, kColCount> m_headers;
    std::array<int, kColCount> m_widths;
    std::optional<int> m_currentRow = 1;
    std::optional<int> m_currentCol = kFixedCols;
    bool m_editing = false;
    GridEffects* m_effects = nullptr;
    std::function<void()> m_headersChanged;
};

static_assert(DeviceGrid::columnOf(devices::DeviceField::Description) ==
              DeviceGrid::ColDescription);
static_assert(DeviceGrid::columnOf(devices::DeviceField::NewPassword) == DeviceGrid::kFixedCols,
              "the fixed columns are the number and the reported fields");

}  // namespace kavren::app
