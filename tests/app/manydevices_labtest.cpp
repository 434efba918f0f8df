// SPDX-License-Identifier: GPL-3.0-or-later
// The window for many devices at once against the emulator, inside the lab:
// twelve devices out of the box on one address numbered, updated with one
// password and verified; and changes undone across the window and kavren
// through their shared audit trail. Every case starts with
// KAVREN_REQUIRE_LAB(), before anything is opened or sent.
#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <string>

#include "app/devlistview.h"
#include "app/filladdressesdlg.h"
#include "app/pwddlg.h"
#include "tests/lab/labguard.h"
#include "tests/support/windowlabfixture.h"

namespace kavren::app {
namespace {

using testsupport::ModalWatcher;
using testsupport::widget;

constexpr const char* kMac = "02-4B-56-00-00-01";

// Devices 02-4B-56-00-00-01 onwards, all on `ip`, password "admin".
std::string devicesOn(const char* ip, int count) {
    std::string json = R"({"devices": [)";
    for (int n = 1; n <= count; ++n) {
        json += (n > 1 ? "," : "") + QStringLiteral(R"({"mac": "02:4B:56:00:00:%1", "ip": "%2",)")
                                         .arg(n, 2, 16, QLatin1Char('0'))
                                         .arg(QLatin1String(ip))
                                         .toStdString();
        json += R"("gateway": "198.18.0.1", "name": "dev", "description": "before"})";
    }
    return json + "]}";
}

class ManyDevicesLabTest : public testsupport::WindowLabTest {
protected:
    // Refreshes and waits for `count` rows; Verify After Update is switched on.
    void listDevices(int count) {
        window->ActVerify->setChecked(true);
        widget<QPushButton>(*window, "BtnRefresh")->click();
        ASSERT_TRUE(waitForRows(count));
    }
    // The confirmation answered with the devices' password, once for a run.
    static ModalWatcher confirmWithPassword() {
        return ModalWatcher([](QWidget* dialog, int) {
            if (auto* confirm = qobject_cast<TPwdDlg*>(dialog)) {
                confirm->Password->setText(QStringLiteral("admin"));
                confirm->RunPassword->setChecked(!confirm->RunPassword->isHidden());
            }
            return ModalWatcher::pressOk(dialog);
        });
    }
    bool waitForVerification(std::size_t results) {
        return QTest::qWaitFor(
            [&] {
                const auto& all = window->updateResults();
                return all.size() == results &&
                       std::all_of(all.begin(), all.end(),
                                   [](const UpdateResult& r) { return r.verified.has_value(); });
            },
            20000);
    }
    QModelIndex index(int col, int row) const { return window->gridModel()->indexOf(col, row); }
    // kavren with these arguments on the window's trail; its exit status.
    static int kavren(QStringList arguments) {
#ifdef KAVREN_CLI_PATH
        const QString trail = testsupport::testAuditTrailPath();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KAVREN_TEST_PW"), QStringLiteral("admin"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), QFileInfo(trail).path());
        process.setProcessEnvironment(env);
        arguments << QStringLiteral("--mac") << QLatin1String(kMac)
                  << QStringLiteral("--password-env") << QStringLiteral("KAVREN_TEST_PW")
                  << QStringLiteral("--audit-file") << trail << QStringLiteral("--verify");
        process.start(QStringLiteral(KAVREN_CLI_PATH), arguments);
        if (!process.waitForFinished(30000))
            return -1;
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.exitCode();
#else
        static_cast<void>(arguments);
        return -1;
#endif
    }
};

TEST_F(ManyDevicesLabTest, TwelveDevicesOnOneAddressAreNumberedUpdatedOnceAndVerified) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(startWindow(devicesOn("198.18.0.200", 12)));
    window->show();
    listDevices(12);
    // The IP Address cells of every row, clicked and Shift+clicked.
    auto* view = widget<DevListView>(*window, "DevList");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(index(DeviceGrid::ColIp, 1)).center());
    view->scrollTo(index(DeviceGrid::ColIp, 12));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      view->visualRect(index(DeviceGrid::ColIp, 12)).center());
    {
        ModalWatcher watcher([](QWidget* dialog, int) {
            if (auto* fill = qobject_cast<FillAddressesDlg*>(dialog))
                fill->First->setText(QStringLiteral("198.18.0.140"));
            return ModalWatcher::pressOk(dialog);
        });
        widget<QAction>(*window, "ActFillAddresses")->trigger();
    }
    ModalWatcher confirm = confirmWithPassword();
    widget<QPushButton>(*window, "BtnUpdAll")->click();
    ASSERT_TRUE(waitForVerification(12));
    EXPECT_EQ(confirm.seen().size(), 1u);  // one password for the run

    for (const UpdateResult& result : window->updateResults()) {
        const auto row = rowOf(result.mac.c_str());
        ASSERT_TRUE(row);
        const QString address = QStringLiteral("198.18.0.%1").arg(139 + *row);
        EXPECT_EQ(result.destination, "198.18.0.200");
        EXPECT_EQ(result.answer, "Setting OK");
        EXPECT_EQ(result.verified, true) << result.mac;
        EXPECT_EQ(cell(DeviceGrid::ColDeviceIp, *row), address);
        EXPECT_EQ(index(DeviceGrid::ColRow, *row).data(DeviceTableModel::OutcomeRole).toInt(),
                  int{DeviceTableModel::Verified});
        EXPECT_EQ(index(DeviceGrid::ColMac, *row).data(DeviceTableModel::AddressMarkRole).toInt(),
                  int{DeviceTableModel::NoMark});  // the address it left is no second sender
    }
}

// A change made in the window is undone by `kavren restore`; one made by
// `kavren configure` is undone by the window's Restore Previous Settings.
TEST_F(ManyDevicesLabTest, KavrenAndTheWindowUndoEachOthersChanges) {
    KAVREN_REQUIRE_LAB();
#ifndef KAVREN_CLI_PATH
    GTEST_SKIP() << "kavren is not built";
#endif
    QFile::remove(testsupport::testAuditTrailPath());
    ASSERT_TRUE(startWindow(devicesOn("198.18.0.130", 1), {"--lifetime", "60"}));
    listDevices(1);
    window->grid().setCell(DeviceGrid::ColIp, 1, "198.18.0.150");
    window->grid().setCell(DeviceGrid::ColDescription, 1, "window");
    {
        ModalWatcher confirm = confirmWithPassword();
        widget<QPushButton>(*window, "BtnUpdAll")->click();
        ASSERT_TRUE(waitForVerification(1));
    }
    ASSERT_EQ(window->updateResults()[0].verified, true);
    // kavren takes the receiving port the window holds.
    testsupport::closeProgramWindows(window);
    ASSERT_EQ(kavren({QStringLiteral("restore")}), 0);
    ASSERT_EQ(
        kavren({QStringLiteral("configure"), QStringLiteral("--ip"), QStringLiteral("198.18.0.160"),
                QStringLiteral("--description"), QStringLiteral("kavren")}),
        0);

    window = testsupport::openProgramWindows();
    listDevices(1);
    EXPECT_EQ(cell(DeviceGrid::ColDeviceIp, 1), QStringLiteral("198.18.0.160"));
    widget<DevListView>(*window, "DevList")->setCurrentIndex(index(DeviceGrid::ColIp, 1));
    {
        ModalWatcher confirm = confirmWithPassword();
        widget<QAction>(*window, "ActRestore")->trigger();
        ASSERT_TRUE(waitForVerification(1));
    }
    EXPECT_EQ(window->updateResults()[0].destination, "198.18.0.160");
    EXPECT_EQ(window->updateResults()[0].verified, true);
    // Back to what kavren found: the address its restore gave back.
    EXPECT_EQ(cell(DeviceGrid::ColDeviceIp, 1), QStringLiteral("198.18.0.130"));
    EXPECT_EQ(cell(DeviceGrid::ColDescription, 1), QStringLiteral("before"));
}

}  // namespace
}  // namespace kavren::app
