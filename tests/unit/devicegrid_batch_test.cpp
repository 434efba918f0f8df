// SPDX-License-Identifier: GPL-3.0-or-later
// Appends gathered into one announcement: what an observer hears, and in
// which order, when a slice of replies is handled as a batch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/devicegrid.h"

namespace kavren::devices {
namespace {

// Writes every notification as a short line, so a test compares the whole
// sequence an observer saw.
struct RecordingObserver final : GridObserver {
    std::vector<std::string> heard;
    void gridReset() override { heard.push_back("reset"); }
    void rowsAppended(int firstRow, int lastRow) override {
        heard.push_back("rows " + std::to_string(firstRow) + "-" + std::to_string(lastRow));
    }
    void cellChanged(int col, int row) override {
        heard.push_back("cell " + std::to_string(col) + "," + std::to_string(row));
    }
    void headersChanged() override { heard.push_back("headers"); }
};

DeviceGrid::DeviceRowTexts withMac(std::string mac) {
    DeviceGrid::DeviceRowTexts texts;
    texts.mac = std::move(mac);
    texts.name = "dev";
    return texts;
}

DeviceGrid::DeviceRowTexts device(int n) {
    return withMac("02-00-00-00-00-" + std::to_string(10 + n));
}

class DeviceGridBatchTest : public testing::Test {
protected:
    DeviceGridBatchTest() {
        grid.setUp();
        grid.setObserver(&observer);
        observer.heard.clear();
    }
    DeviceGrid grid;
    RecordingObserver observer;
};

TEST_F(DeviceGridBatchTest, OutsideABatchEveryAppendIsAnnouncedAtOnce) {
    grid.appendDeviceRow(device(1));
    grid.appendDeviceRow(device(2));
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"rows 1-2", "rows 2-3"}));
}

TEST_F(DeviceGridBatchTest, ABatchAnnouncesItsRowsOnceAtTheEnd) {
    grid.appendDeviceRow(device(1));
    observer.heard.clear();
    grid.beginAppendBatch();
    for (int i = 2; i <= 5; ++i)
        grid.appendDeviceRow(device(i));
    // The rows are there at once: a duplicate inside the batch is found.
    EXPECT_TRUE(observer.heard.empty());
    EXPECT_EQ(grid.findRowByMac(device(4).mac), 4);
    EXPECT_EQ(grid.deviceRowCount(), 5);
    grid.endAppendBatch();
    // Rows 2..5 and the new trailing row 6, as one append of old row 2 on.
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"rows 2-6"}));
    grid.endAppendBatch();  // an unmatched end changes nothing
    EXPECT_EQ(observer.heard.size(), 1u);
}

TEST_F(DeviceGridBatchTest, AnEmptyBatchAnnouncesNothing) {
    grid.beginAppendBatch();
    grid.endAppendBatch();
    EXPECT_TRUE(observer.heard.empty());
}

TEST_F(DeviceGridBatchTest, OtherChangesAnnounceTheWaitingRowsFirst) {
    grid.beginAppendBatch();
    grid.appendDeviceRow(device(1));
    grid.appendDeviceRow(device(2));
    grid.setCell(DeviceGrid::ColName, 1, "renamed");
    grid.appendDeviceRow(device(3));
    grid.setCell(DeviceGrid::ColName, 0, "Name");
    grid.appendDeviceRow(device(4));
    grid.clear();
    grid.appendDeviceRow(device(5));
    grid.endAppendBatch();
    EXPECT_EQ(observer.heard,
              (std::vector<std::string>{"rows 1-3", "cell 2,1", "rows 3-4", "headers", "rows 4-5",
                                        "reset", "rows 1-2"}));
    EXPECT_EQ(grid.deviceRowCount(), 1);
}

TEST_F(DeviceGridBatchTest, NestedBatchesAnnounceAtEachEndWhatWasAppendedSoFar) {
    grid.beginAppendBatch();
    grid.appendDeviceRow(device(1));
    grid.beginAppendBatch();
    grid.appendDeviceRow(device(2));
    grid.endAppendBatch();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"rows 1-3"}));
    grid.appendDeviceRow(device(3));
    EXPECT_EQ(observer.heard.size(), 1u);  // the outer batch still holds row 3
    grid.endAppendBatch();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"rows 1-3", "rows 3-4"}));
    grid.appendDeviceRow(device(4));  // no batch any more
    EXPECT_EQ(observer.heard.back(), "rows 4-5");
}

// The index is made for a large burst up front; past that size it grows
// and every listed MAC must still be found, the first row of each.
TEST(DeviceGridIndex, FindsEveryDeviceBeyondTheExpectedCount) {
    DeviceGrid grid;
    const int count = static_cast<int>(DeviceGrid::kExpectedDevices) + 1000;
    grid.beginAppendBatch();
    for (int i = 0; i < count; ++i)
        grid.appendDeviceRow(withMac("M" + std::to_string(i)));
    grid.endAppendBatch();
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(grid.findRowByMac("M" + std::to_string(i)), i + 1) << i;
    EXPECT_EQ(grid.findRowByMac("M" + std::to_string(count - 1)), count);
    EXPECT_FALSE(grid.findRowByMac("M" + std::to_string(count)));
}

}  // namespace
}  // namespace kavren::devices
