// SPDX-License-Identifier: GPL-3.0-or-later
// Appends gathered into one announcement: what an observer hears, and in
// which order, when a slice of replies is handled as a batch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/devicelist.h"

namespace kavren::devices {
namespace {

// Writes every notification as a short line, so a test compares the whole
// sequence an observer saw.
struct RecordingObserver final : DeviceListObserver {
    std::vector<std::string> heard;
    void listCleared() override { heard.push_back("cleared"); }
    void devicesAppended(int first, int last) override {
        heard.push_back("devices " + std::to_string(first) + "-" + std::to_string(last));
    }
    void fieldChanged(DeviceField field, int device) override {
        heard.push_back("field " + std::to_string(static_cast<int>(field)) + "," +
                        std::to_string(device));
    }
};

DeviceRecord withMac(std::string mac) {
    DeviceRecord record;
    record.mac = std::move(mac);
    record.name = "dev";
    return record;
}

DeviceRecord device(int n) {
    return withMac("02-00-00-00-00-" + std::to_string(10 + n));
}

class DeviceListBatchTest : public testing::Test {
protected:
    DeviceListBatchTest() { devices.setObserver(&observer); }
    DeviceList devices;
    RecordingObserver observer;
};

TEST_F(DeviceListBatchTest, OutsideABatchEveryAppendIsAnnouncedAtOnce) {
    devices.append(device(1));
    devices.append(device(2));
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"devices 1-1", "devices 2-2"}));
}

TEST_F(DeviceListBatchTest, ABatchAnnouncesItsDevicesOnceAtTheEnd) {
    devices.append(device(1));
    observer.heard.clear();
    devices.beginAppendBatch();
    for (int i = 2; i <= 5; ++i)
        devices.append(device(i));
    // The devices are there at once: a duplicate inside the batch is found.
    EXPECT_TRUE(observer.heard.empty());
    EXPECT_EQ(devices.findByMac(device(4).mac), 4);
    EXPECT_EQ(devices.size(), 5);
    devices.endAppendBatch();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"devices 2-5"}));
    devices.endAppendBatch();  // an unmatched end changes nothing
    EXPECT_EQ(observer.heard.size(), 1u);
}

TEST_F(DeviceListBatchTest, AnEmptyBatchAnnouncesNothing) {
    devices.beginAppendBatch();
    devices.endAppendBatch();
    EXPECT_TRUE(observer.heard.empty());
}

TEST_F(DeviceListBatchTest, OtherChangesAnnounceTheWaitingDevicesFirst) {
    devices.beginAppendBatch();
    devices.append(device(1));
    devices.append(device(2));
    devices.setField(DeviceField::Name, 1, "renamed");
    devices.append(device(3), 0x0A000001);
    EXPECT_TRUE(devices.noteSender(3, 0x0A000002));  // a rival sender: the MAC is marked
    devices.append(device(4));
    devices.announceAppended();  // a view's own change goes next
    devices.append(device(5));
    devices.clear();
    devices.append(device(6));
    devices.endAppendBatch();
    EXPECT_EQ(observer.heard,
              (std::vector<std::string>{"devices 1-2", "field 1,1", "devices 3-3", "field 0,3",
                                        "devices 4-4", "devices 5-5", "cleared", "devices 1-1"}));
    EXPECT_EQ(devices.size(), 1);
}

TEST_F(DeviceListBatchTest, NestedBatchesAnnounceAtEachEndWhatWasAppendedSoFar) {
    devices.beginAppendBatch();
    devices.append(device(1));
    devices.beginAppendBatch();
    devices.append(device(2));
    devices.endAppendBatch();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"devices 1-2"}));
    devices.append(device(3));
    EXPECT_EQ(observer.heard.size(), 1u);  // the outer batch still holds device 3
    devices.endAppendBatch();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"devices 1-2", "devices 3-3"}));
    devices.append(device(4));  // no batch any more
    EXPECT_EQ(observer.heard.back(), "devices 4-4");
}

// The index is made for a large burst up front; past that size it grows
// and every listed MAC must still be found, the first device of each.
TEST(DeviceListIndex, FindsEveryDeviceBeyondTheExpectedCount) {
    DeviceList devices;
    const int count = static_cast<int>(DeviceList::kExpectedDevices) + 1000;
    devices.beginAppendBatch();
    for (int i = 0; i < count; ++i)
        devices.append(withMac("M" + std::to_string(i)));
    devices.endAppendBatch();
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(devices.findByMac("M" + std::to_string(i)), i + 1) << i;
    EXPECT_EQ(devices.findByMac("M" + std::to_string(count - 1)), count);
    EXPECT_FALSE(devices.findByMac("M" + std::to_string(count)));
}

}  // namespace
}  // namespace kavren::devices
