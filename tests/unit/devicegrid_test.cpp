// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicegrid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace kavren::devices {
namespace {

struct RecordingEffects final : GridEffects {
    int selections = 0;
    std::vector<std::string> messages;
    void cellSelected() override { ++selections; }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
};

class DeviceGridTest : public testing::Test {
protected:
    DeviceGridTest() {
        grid.setEffects(&effects);
        grid.setUp();
    }
    DeviceGrid grid;
    RecordingEffects effects;
};

TEST_F(DeviceGridTest, StartsWithHeadersAndOneEmptyRow) {
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.deviceRowCount(), 0);
    EXPECT_FALSE(grid.isDeviceRow(1));
    EXPECT_EQ(grid.cell(DeviceGrid::ColMac, 0), "MAC Address");
    EXPECT_EQ(grid.cell(DeviceGrid::ColDescription, 0), "Description");
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 0), "");
    int total = 0;
    for (int c = 0; c < DeviceGrid::kColCount; ++c)
        total += grid.columnWidth(c);
    EXPECT_EQ(total, 756);
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(grid.currentCol(), DeviceGrid::ColNewPassword);
    EXPECT_FALSE(grid.editing());
    EXPECT_EQ(effects.selections, 0);
}

TEST_F(DeviceGridTest, WidthsStayAtTheDefaultUntilSetUp) {
    DeviceGrid fresh;
    for (int c = 0; c < DeviceGrid::kColCount; ++c)
        EXPECT_EQ(fresh.columnWidth(c), 64);
    EXPECT_EQ(fresh.cell(DeviceGrid::ColMac, 0), "");
}

TEST_F(DeviceGridTest, AppendFillsTheTrailingRowAndAddsANewOne) {
    EXPECT_EQ(grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-01")), 1);
    EXPECT_EQ(grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-02")), 2);
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 1), "1");
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 2), "2");
    EXPECT_EQ(grid.cell(DeviceGrid::ColNewPassword, 2), "");
    EXPECT_EQ(grid.cell(DeviceGrid::ColGateway, 2), "10.0.0.254");
    EXPECT_FALSE(grid.isDeviceRow(3));
    for (int c = 0; c < DeviceGrid::kColCount; ++c)
        EXPECT_EQ(grid.cell(c, 3), "");
}

TEST_F(DeviceGridTest, ClearLeavesNoTextOfEarlierDevices) {
    for (int i = 0; i < 5; ++i)
        grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-0" + std::to_string(i)));
    grid.setCell(DeviceGrid::ColNewPassword, 3, "secret");
    grid.clear();
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(DeviceGrid::ColMac, 0), "MAC Address");
    EXPECT_FALSE(grid.findRowByMac("00-00-00-00-00-00"));

    DeviceGrid::DeviceRowTexts sparse;
    sparse.mac = "AA-AA-AA-AA-AA-AA";
    EXPECT_EQ(grid.appendDeviceRow(sparse), 1);
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 1), "1");
    for (int c = 2; c < DeviceGrid::kColCount; ++c)
        EXPECT_EQ(grid.cell(c, 1), "") << c;
    EXPECT_EQ(grid.cell(DeviceGrid::ColNewPassword, 3), "");  // beyond the grid now
}

TEST_F(DeviceGridTest, FindRowByMacIsExactAndCaseSensitive) {
    grid.appendDeviceRow(testsupport::deviceRow("00-1A-2B-3C-4D-5E"));
    grid.appendDeviceRow(testsupport::deviceRow("00-1A-2B-3C-4D-5F"));
    EXPECT_EQ(grid.findRowByMac("00-1A-2B-3C-4D-5F"), 2);
    EXPECT_EQ(grid.findRowByMac("00-1A-2B-3C-4D-5E"), 1);
    EXPECT_FALSE(grid.findRowByMac("00-1a-2b-3c-4d-5e"));
    EXPECT_FALSE(grid.findRowByMac(""));  // the trailing row's empty MAC is no key
}

TEST_F(DeviceGridTest, FindRowByMacFollowsCellEdits) {
    grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-01"));
    grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-02"));
    grid.appendDeviceRow(
        testsupport::deviceRow("00-00-00-00-00-02"));  // a second row with the same text
    EXPECT_EQ(grid.findRowByMac("00-00-00-00-00-02"), 2);
    grid.setCell(DeviceGrid::ColMac, 2, "00-00-00-00-00-09");
    EXPECT_EQ(grid.findRowByMac("00-00-00-00-00-02"), 3);  // the next row that holds it
    EXPECT_EQ(grid.findRowByMac("00-00-00-00-00-09"), 2);
    grid.setCell(DeviceGrid::ColMac, 1, "00-00-00-00-00-09");
    EXPECT_EQ(grid.findRowByMac("00-00-00-00-00-09"), 1);      // the lowest row wins
    grid.setCell(DeviceGrid::ColMac, 4, "00-00-00-00-00-07");  // the trailing row is no device
    EXPECT_FALSE(grid.findRowByMac("00-00-00-00-00-07"));
}

TEST_F(DeviceGridTest, SelectionIsReportedAndSetsEditingByRow) {
    grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-01"));
    grid.selectCell(DeviceGrid::ColIp, 1);
    EXPECT_EQ(effects.selections, 1);
    EXPECT_TRUE(grid.editing());
    grid.selectCell(DeviceGrid::ColIp, 2);  // the trailing row
    EXPECT_EQ(effects.selections, 2);
    EXPECT_FALSE(grid.editing());
    EXPECT_EQ(grid.currentRow(), 2);

    grid.selectCell(DeviceGrid::ColMac, 1);  // fixed cells cannot be selected
    grid.selectCell(DeviceGrid::ColIp, 0);
    EXPECT_EQ(effects.selections, 2);
    EXPECT_EQ(grid.currentRow(), 2);
}

TEST_F(DeviceGridTest, AppendingUnderTheCurrentCellLeavesEditingOff) {
    grid.selectCell(DeviceGrid::ColDescription, 1);
    EXPECT_FALSE(grid.editing());
    grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-01"));
    EXPECT_FALSE(grid.editing());  // appending raises no selection
    grid.selectCell(DeviceGrid::ColDescription, 1);
    EXPECT_TRUE(grid.editing());
}

TEST_F(DeviceGridTest, ClearMovesACurrentCellBelowRowOneAndSelectsIt) {
    for (int i = 0; i < 3; ++i)
        grid.appendDeviceRow(testsupport::deviceRow("00-00-00-00-00-0" + std::to_string(i)));
    grid.selectCell(DeviceGrid::ColMask, 3);
    ASSERT_TRUE(grid.editing());
    const int before = effects.selections;
    grid.clear();
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(grid.currentCol(), DeviceGrid::ColMask);
    EXPECT_EQ(effects.selections, before + 1);
    EXPECT_FALSE(grid.editing());

    // Already on row 1: nothing moves, nothing is selected.
    grid.clear();
    EXPECT_EQ(effects.selections, before + 1);
}

TEST_F(DeviceGridTest, LengthWarningsFireJustPastTheirThresholds) {
    auto warn = [&](int col, std::size_t length) {
        effects.messages.clear();
        grid.setEditText(col, 1, std::string(length, '1'));
        return effects.messages.empty() ? std::string() : effects.messages.front();
    };
    for (const int col : {DeviceGrid::ColIp, DeviceGrid::ColMask, DeviceGrid::ColGateway}) {
        EXPECT_EQ(warn(col, 16), "");
        EXPECT_EQ(warn(col, 17), "IP address Length Error !!");
    }
    EXPECT_EQ(warn(DeviceGrid::ColNewPassword, 16), "");
    EXPECT_EQ(warn(DeviceGrid::ColNewPassword, 17), "");
    EXPECT_EQ(warn(DeviceGrid::ColNewPassword, 18), "Password Length must less than 16 !!");
    EXPECT_EQ(warn(DeviceGrid::ColDescription, 33), "");
    EXPECT_EQ(warn(DeviceGrid::ColDescription, 34), "Description Length must less than 32 !!");
    EXPECT_EQ(warn(DeviceGrid::ColMac, 100), "");
}

TEST_F(DeviceGridTest, OutOfRangeAccessIsHarmless) {
    EXPECT_EQ(grid.cell(-1, 0), "");
    EXPECT_EQ(grid.cell(10, 1), "");
    EXPECT_EQ(grid.cell(1, 99), "");
    grid.setCell(3, 99, "x");
    grid.setCell(-3, 1, "x");
    EXPECT_EQ(grid.rowCount(), 2);
}

}  // namespace
}  // namespace kavren::devices
