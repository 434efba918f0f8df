// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devicetablemodel.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace kavren::app {
namespace {

struct RecordingEffects final : GridEffects {
    int selections = 0;
    std::vector<std::string> messages;
    void cellSelected() override { ++selections; }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
};

class DeviceTableModelTest : public ::testing::Test {
protected:
    DeviceTableModelTest() { grid.setEffects(&effects); }
    devices::DeviceList list;
    DeviceGrid grid{list};
    RecordingEffects effects;
    DeviceTableModel model{grid};
    // Fails the test on any inconsistency between what the model says and
    // what it announced.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(DeviceTableModelTest, ShowsTheHeaderRowAsTheHeaderAndTheRestAsRows) {
    EXPECT_EQ(model.rowCount(), 1);  // the empty trailing row
    EXPECT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::SizeHintRole).toSize().width(), 64);

    QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
    grid.setUp();
    EXPECT_EQ(headers.count(), 1);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("MAC Address"));
    EXPECT_EQ(model.headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Description"));
    int total = 0;
    for (int c = 0; c < 10; ++c) {
        total += model.headerData(c, Qt::Horizontal, Qt::SizeHintRole).toSize().width();
    }
    EXPECT_EQ(total, 756);
}

TEST_F(DeviceTableModelTest, AnAppendInsertsOneRowAndRefreshesTheOldTrailingRow) {
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    list.append(testsupport::deviceRow("02-C4-7E-0A-1B-FF"));
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);  // model row 1 = grid row 2, the new trailing row
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("1"));
    EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("02-C4-7E-0A-1B-FF"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QString());
}

TEST_F(DeviceTableModelTest, ClearRemovesEveryRowButTheFirstAndEmptiesIt) {
    for (int i = 0; i < 5; ++i)
        list.append(testsupport::deviceRow("00-00-00-00-00-0" + std::to_string(i)));
    ASSERT_EQ(model.rowCount(), 6);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    grid.clear();
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(removed[0][2].toInt(), 5);
    EXPECT_EQ(model.rowCount(), 1);
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(model.index(0, c).data().toString(), QString());
    list.append(testsupport::deviceRow("AA-00-00-00-00-01"));
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("1"));
}

TEST_F(DeviceTableModelTest, FixedColumnsAreNeverSelectableAndEditingFollowsTheSwitch) {
    list.append(testsupport::deviceRow("02-C4-7E-0A-1B-FF"));
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(model.flags(model.index(0, c)), Qt::ItemIsEnabled) << c;
    }
    EXPECT_FALSE(model.flags(model.index(0, 6)) & Qt::ItemIsEditable);  // switch off at start
    EXPECT_TRUE(model.flags(model.index(0, 6)) & Qt::ItemIsSelectable);
    grid.selectCell(6, 1);  // a device row: editing on
    EXPECT_TRUE(model.flags(model.index(0, 6)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 4)) & Qt::ItemIsEditable);
    grid.selectCell(6, 2);  // the trailing row: editing off
    EXPECT_FALSE(model.flags(model.index(1, 6)) & Qt::ItemIsEditable);
}

TEST_F(DeviceTableModelTest, TextsCrossAsLatin1BothWays) {
    list.append(testsupport::deviceRow("02-C4-7E-0A-1B-FF", "Caf\xE9 <b>x</b>"));
    EXPECT_EQ(model.index(0, 2).data().toString(), QString::fromUtf8("Café <b>x</b>"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(model.setData(model.index(0, 9), QString::fromUtf8("Büro"), Qt::EditRole));
    EXPECT_EQ(grid.cell(9, 1), "B\xFCro");
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(DeviceTableModelTest, ManyAppendsStayConsistent) {
    for (int i = 0; i < 300; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "00-00-00-00-%02X-%02X", i / 256, i % 256);
        list.append(testsupport::deviceRow(mac));
    }
    EXPECT_EQ(model.rowCount(), 301);
    EXPECT_EQ(model.index(299, 0).data().toString(), QStringLiteral("300"));
}

// --- the grid's current cell and editing switch --------------------------------

TEST_F(DeviceTableModelTest, TheGridStartsOnItsFirstSelectableCellWithoutASelection) {
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_FALSE(grid.isDeviceRow(1));
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(grid.currentCol(), DeviceGrid::ColNewPassword);
    EXPECT_FALSE(grid.editing());
    EXPECT_EQ(effects.selections, 0);
}

TEST_F(DeviceTableModelTest, SelectionIsReportedAndSetsEditingByRow) {
    grid.selectCell(DeviceGrid::ColDescription, 1);  // the trailing row
    EXPECT_FALSE(grid.editing());
    list.append(testsupport::deviceRow("00-00-00-00-00-01"));
    EXPECT_FALSE(grid.editing());  // appending under the current cell selects nothing
    EXPECT_EQ(effects.selections, 1);
    grid.selectCell(DeviceGrid::ColIp, 1);
    EXPECT_EQ(effects.selections, 2);
    EXPECT_TRUE(grid.editing());
    grid.selectCell(DeviceGrid::ColIp, 2);  // the trailing row
    EXPECT_EQ(effects.selections, 3);
    EXPECT_FALSE(grid.editing());
    EXPECT_EQ(grid.currentRow(), 2);

    grid.selectCell(DeviceGrid::ColMac, 1);  // fixed cells cannot be selected
    grid.selectCell(DeviceGrid::ColIp, 0);
    grid.selectCell(DeviceGrid::ColIp, 3);
    EXPECT_EQ(effects.selections, 3);
    EXPECT_EQ(grid.currentRow(), 2);
}

TEST_F(DeviceTableModelTest, ClearMovesACurrentCellBelowRowOneAndSelectsIt) {
    for (int i = 0; i < 3; ++i)
        list.append(testsupport::deviceRow("00-00-00-00-00-0" + std::to_string(i)));
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

TEST_F(DeviceTableModelTest, EditedTextsWarnByColumnAndOutOfRangeCellsAreEmpty) {
    const std::vector<std::pair<int, std::string>> warned = {
        {DeviceGrid::ColIp, "IP address Length Error !!"},
        {DeviceGrid::ColNewPassword, "Password Length must less than 16 !!"},
        {DeviceGrid::ColDescription, "Description Length must less than 32 !!"},
        {DeviceGrid::ColMac, ""},
        {DeviceGrid::ColRow, ""},
    };
    for (const auto& [col, warning] : warned) {
        effects.messages.clear();
        grid.setEditText(col, 1, std::string(40, '1'));
        EXPECT_EQ(effects.messages,
                  warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{warning})
            << col;
    }
    EXPECT_EQ(grid.cell(-1, 0), "");
    EXPECT_EQ(grid.cell(10, 1), "");
    EXPECT_EQ(grid.cell(1, 99), "");
    grid.setCell(3, 99, "x");
    grid.setCell(-3, 1, "x");
    EXPECT_EQ(grid.rowCount(), 2);
}

}  // namespace
}  // namespace kavren::app
