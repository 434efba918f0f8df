// SPDX-License-Identifier: GPL-3.0-or-later
// The grid view while rows are appended in batches, as a burst of replies
// does: the scroll range it keeps up without a full layout must be the one
// a full layout gives, whether the new rows land on screen or below it.
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QTest>

#include "app/devicetablemodel.h"
#include "app/devlistview.h"

namespace kavren::app {
namespace {

class DevListViewAppendsTest : public ::testing::Test {
protected:
    DevListViewAppendsTest() {
        grid.setUp();
        view.setDeviceModel(&model);
        view.resize(793, 121);
        view.show();
    }

    void append(int count) {
        list.beginAppendBatch();
        for (int i = 0; i < count; ++i) {
            devices::DeviceRecord record;
            record.mac = "M" + std::to_string(m_next++);
            list.append(record);
        }
        list.endAppendBatch();
        QCoreApplication::processEvents();
    }

    // The range as kept during the appends, and as a full layout makes it.
    std::pair<int, int> keptAndLaidOut() {
        const int kept = view.verticalScrollBar()->maximum();
        view.doItemsLayout();
        return {kept, view.verticalScrollBar()->maximum()};
    }

    devices::DeviceList list;
    DeviceGrid grid{list};
    DeviceTableModel model{grid};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    DevListView view;
    int m_next = 0;
};

TEST_F(DevListViewAppendsTest, TheScrollRangeFollowsAppendsBelowTheScreen) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (const int batch : {1, 2, 5, 40, 1, 300, 7}) {
        append(batch);
        const auto [kept, laidOut] = keptAndLaidOut();
        ASSERT_EQ(kept, laidOut) << "after a batch of " << batch;
    }
    EXPECT_GT(view.verticalScrollBar()->maximum(), 300);
    // The new last device row can be scrolled to and read.
    view.scrollToBottom();
    const QModelIndex last = model.indexOf(DeviceGrid::ColMac, grid.deviceRowCount());
    EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(last)));
    EXPECT_EQ(last.data().toString(), QStringLiteral("M355"));
}

TEST_F(DevListViewAppendsTest, AppendsOnScreenAndAfterScrollingToTheEndStayExact) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    append(2);  // on screen: no scroll bar yet
    EXPECT_EQ(keptAndLaidOut().first, keptAndLaidOut().second);
    append(30);
    view.scrollToBottom();
    QCoreApplication::processEvents();
    append(3);  // lands on screen, at the bottom of the view
    const auto [kept, laidOut] = keptAndLaidOut();
    EXPECT_EQ(kept, laidOut);
    grid.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    append(50);
    EXPECT_EQ(keptAndLaidOut().first, keptAndLaidOut().second);
}

}  // namespace
}  // namespace kavren::app
