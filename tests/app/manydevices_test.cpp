// SPDX-License-Identifier: GPL-3.0-or-later
// The window for many devices at once: ranges of cells, filling them, and
// addresses numbered for the rows of a selection. Nothing here sends.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include "app/devlistcommands.h"
#include "app/filladdressesdlg.h"
#include "app/pwddlg.h"
#include "app/updateresultsdlg.h"
#include "tests/support/files.h"
#include "tests/support/mainwindowfixture.h"

namespace kavren::app {
namespace {

using testsupport::ModalWatcher;
using testsupport::widget;

class ManyDevicesTest : public testsupport::MainWindowTest {
protected:
    void addServices(MainWindowServices& services) override {
        services.resultWait = std::chrono::milliseconds(30);
        services.chooseExportFile = [this] { return files.filePath(QStringLiteral("out.csv")); };
        services.auditTrailPath = trailPath();
        services.settingsPath = files.filePath(QStringLiteral("window.ini"));
    }
    QString trailPath() const { return files.filePath(QStringLiteral("audit.jsonl")); }
    // A text of a trail line: "key" or "key/inner".
    static QString at(const QJsonObject& line, const QString& path) {
        const QStringList keys = path.split(QLatin1Char('/'));
        QJsonValue value = line.value(keys[0]);
        if (keys.size() > 1)
            value = value.toObject().value(keys[1]);
        return value.isBool() ? (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                              : value.toString();
    }
    std::vector<QJsonObject> trailLines() const {
        QFile file(trailPath());
        std::vector<QJsonObject> lines;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.isEmpty())
                    lines.push_back(QJsonDocument::fromJson(line).object());
            }
        }
        return lines;
    }
    // Update All, every confirmation answered with one password.
    void updateAll() {
        ModalWatcher watcher([](QWidget* dialog, int) {
            if (auto* confirm = qobject_cast<TPwdDlg*>(dialog))
                confirm->Password->setText(QStringLiteral("pw"));
            return ModalWatcher::pressOk(dialog);
        });
        widget<QAction>(*window, "MnuUpdateAll")->trigger();
    }
    static std::array<std::uint8_t, 6> mac(std::uint8_t n) { return {2, 0x4B, 0x56, 0, 0, n}; }
    QTemporaryDir files;
    DevListView* view() const { return widget<DevListView>(*window, "DevList"); }
    DevListCommands& commands() const { return *window->devListCommands(); }
    // Devices 1..count, all on `ip` as out of the box.
    void receiveDevices(int count, std::array<std::uint8_t, 4> ip) {
        for (int n = 1; n <= count; ++n) {
            receive(testsupport::infoReply({.mac = {0x02, 0x4B, 0x56, 0, 0, std::uint8_t(n)},
                                            .name = "dev",
                                            .version = "1.0",
                                            .description = "d",
                                            .ip = ip,
                                            .mask = {255, 255, 255, 0},
                                            .gateway = {ip[0], ip[1], ip[2], 1}}));
        }
    }
    // Clicks (col, first) and extends the selection down to `last` by keys.
    void selectDown(int col, int first, int last) {
        clickCell(col, first);
        for (int row = first; row < last; ++row)
            QTest::keyClick(view(), Qt::Key_Down, Qt::ShiftModifier);
    }
    std::vector<std::string> column(int col) const {
        std::vector<std::string> texts;
        for (int row = 1; window->grid().isDeviceRow(row); ++row)
            texts.push_back(window->grid().cell(col, row));
        return texts;
    }
};

TEST_F(ManyDevicesTest, RangesFillDownAndCtrlEnterFillsTheSelectedCellsOfTheColumn) {
    showWindow();
    receiveDevices(4, {192, 168, 0, 10});
    const std::string longText(34, 'x');
    window->gridModel()->setData(cellIndex(DeviceGrid::ColDescription, 2),
                                 QString::fromStdString(longText), Qt::EditRole);
    selectDown(DeviceGrid::ColDescription, 2, 4);
    // The current cell moved with the keys and keeps its role.
    EXPECT_EQ(DeviceTableModel::gridRow(view()->currentIndex()), 4);
    EXPECT_TRUE(fourButtonsEnabled(true, false, false, true));
    ModalWatcher watcher;
    QTest::keyClick(view(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(column(DeviceGrid::ColDescription),
              (std::vector<std::string>{"d", longText, longText, longText}));
    // One length warning for the cells of one column.
    EXPECT_EQ(watcher.texts(),
              (std::vector<QString>{QStringLiteral("Description Length must less than 32 !!")}));

    selectDown(DeviceGrid::ColGateway, 1, 3);
    view()->edit(view()->currentIndex());
    auto* editor = view()->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("10.0.0.1"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(column(DeviceGrid::ColGateway),
              (std::vector<std::string>{"10.0.0.1", "10.0.0.1", "10.0.0.1", "192.168.0.1"}));
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(ManyDevicesTest, FillAddressesNumbersTheSelectedRowsPastOtherDevicesAddresses) {
    showWindow();
    receiveDevices(4, {10, 0, 0, 3});  // row 4 keeps 10.0.0.3
    selectDown(DeviceGrid::ColIp, 1, 3);
    bool focused = false;
    ModalWatcher watcher([&focused](QWidget* dialog, int) {
        auto* fill = qobject_cast<FillAddressesDlg*>(dialog);
        if (!fill)
            return ModalWatcher::pressOk(dialog);
        focused = fill->focusWidget() == fill->First;
        fill->First->setText(QStringLiteral("10.0.0.2"));
        fill->Mask->setText(QStringLiteral("255.0.0.0"));
        fill->OKBtn->click();
        return true;
    });
    commands().ActFillAddresses->trigger();
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].title, QStringLiteral("Fill Addresses"));
    EXPECT_TRUE(focused);
    EXPECT_EQ(column(DeviceGrid::ColIp),
              (std::vector<std::string>{"10.0.0.2", "10.0.0.4", "10.0.0.5", "10.0.0.3"}));
    EXPECT_EQ(column(DeviceGrid::ColMask),
              (std::vector<std::string>{"255.0.0.0", "255.0.0.0", "255.0.0.0", "255.255.255.0"}));
    EXPECT_EQ(column(DeviceGrid::ColGateway)[0], "10.0.0.1");  // empty keeps
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(ManyDevicesTest, ImportPlanFillsListedRowsNamesOthersAndRefusesBrokenPlans) {
    receiveDevices(2, {192, 168, 0, 10});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.csv"));
    commands().setPlanChooser([&path] { return path; });
    const auto import = [&](const QByteArray& plan) {
        EXPECT_TRUE(testsupport::writeFile(path, plan));
        ModalWatcher watcher;
        commands().ActImportPlan->trigger();
        return watcher.texts();
    };
    // A broken quote: the rows are not read, nothing is filled.
    EXPECT_EQ(import("02-4b-56-00-00-01,10.0.0.9\n02-4B-56-00-00-02,\"x\n"),
              (std::vector<QString>{
                  QStringLiteral("The plan cannot be used:\nline 2: the quote opened here "
                                 "is never closed")}));
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColIp, 1), "192.168.0.10");
    // Either separator and case; an empty field keeps; the formula rule's
    // apostrophe comes off.
    EXPECT_EQ(import("mac,ip,description,new_password\n"
                     "02-4b-56-00-00-01,10.0.0.9,'=pump,secret\n"
                     "02:4B:56:00:00:02,,,\n"
                     "02-4B-56-00-00-09,10.0.0.8,,\n"),
              (std::vector<QString>{
                  QStringLiteral("Not in the list, so not filled: 02-4B-56-00-00-09")}));
    EXPECT_EQ(column(DeviceGrid::ColIp), (std::vector<std::string>{"10.0.0.9", "192.168.0.10"}));
    EXPECT_EQ(column(DeviceGrid::ColDescription), (std::vector<std::string>{"=pump", "d"}));
    EXPECT_EQ(column(DeviceGrid::ColNewPassword), (std::vector<std::string>{"secret", ""}));
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(ManyDevicesTest, OnePasswordForTheRemainingDevicesOfARun) {
    showWindow();
    receiveDevices(3, {192, 168, 0, 10});
    std::vector<bool> offered;
    ModalWatcher watcher([&offered](QWidget* dialog, int) {
        auto* confirm = qobject_cast<TPwdDlg*>(dialog);
        if (!confirm)
            return ModalWatcher::pressOk(dialog);
        offered.push_back(!confirm->RunPassword->isHidden() && !confirm->RunPassword->isChecked());
        EXPECT_EQ(confirm->CancelBtn->nextInFocusChain(), confirm->RunPassword);
        confirm->Password->setText(QStringLiteral("pw"));
        confirm->RunPassword->setChecked(true);  // taken only where offered
        confirm->OKBtn->click();
        return true;
    });
    clickCell(DeviceGrid::ColIp, 1);
    widget<QAction>(*window, "MnuUpdateDev")->trigger();  // one device: no offer
    widget<QAction>(*window, "MnuUpdateAll")->trigger();  // asks once for three
    EXPECT_EQ(offered, (std::vector<bool>{false, true}));
    ASSERT_EQ(sender.sent.size(), 4u);
    // Each device its own request (MAC at 10), all with the one password
    // (at 64, 16 bytes).
    const auto field = [this](std::size_t i, std::size_t at, std::size_t size) {
        return std::vector<std::uint8_t>(sender.sent[i].bytes.begin() + long(at),
                                         sender.sent[i].bytes.begin() + long(at + size));
    };
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(field(i, 15, 1)[0], i);
        EXPECT_EQ(field(i, 64, 16), field(0, 64, 16));
    }
}

TEST_F(ManyDevicesTest, EachOutcomeMarksItsRowApartFromTheConflictRed) {
    receiveDevices(2, {192, 168, 0, 10});
    updateAll();
    receive(testsupport::resultReply(mac(1), "Setting OK"));
    receive(testsupport::resultReply(mac(2), "Password Error"));
    const auto outcome = [this](int row) {
        return cellIndex(DeviceGrid::ColRow, row).data(DeviceTableModel::OutcomeRole).toInt();
    };
    EXPECT_EQ(outcome(1), DeviceTableModel::Accepted);
    EXPECT_EQ(outcome(2), DeviceTableModel::Refused);
    const QColor ok = cellIndex(0, 1).data(Qt::BackgroundRole).value<QBrush>().color();
    const QColor refused = cellIndex(0, 2).data(Qt::BackgroundRole).value<QBrush>().color();
    const QColor conflict =
        cellIndex(DeviceGrid::ColDeviceIp, 1).data(Qt::BackgroundRole).value<QBrush>().color();
    EXPECT_NE(ok, refused);
    EXPECT_NE(refused, conflict);
    EXPECT_EQ(cellIndex(0, 2).data(Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("Last update: sent to 192.168.0.10, answered \"Password Error\""));
    EXPECT_EQ(cellIndex(0, 2).data(Qt::ToolTipRole),
              cellIndex(0, 2).data(Qt::AccessibleDescriptionRole));
    // Heard in the cells a reader can stand on, beside an address mark.
    EXPECT_EQ(cellIndex(DeviceGrid::ColDeviceIp, 2).data(Qt::AccessibleDescriptionRole).toString(),
              cellIndex(0, 2).data(Qt::AccessibleDescriptionRole).toString() +
                  QStringLiteral("; ") +
                  cellIndex(DeviceGrid::ColDeviceIp, 2).data(Qt::ToolTipRole).toString());
    ASSERT_EQ(window->updateResults().size(), 2u);
    EXPECT_EQ(window->updateResults()[1].answer, "Password Error");
}

TEST_F(ManyDevicesTest, UpdateResultsListsEveryAnswerAsItCameCopiesAndExportsIt) {
    receiveDevices(3, {192, 168, 0, 10});
    updateAll();
    receive(testsupport::resultReply(mac(1), "Setting OK"));
    receive(testsupport::resultReply(mac(2), "=<b>Password Error"));
    QTRY_COMPARE(cellIndex(0, 3).data(DeviceTableModel::OutcomeRole).toInt(),
                 int{DeviceTableModel::NoAnswer});
    auto* open = widget<QAction>(*window, "ActUpdateResults");
    EXPECT_TRUE(commands().contextMenu()->actions().contains(open));
    open->trigger();
    auto* results = widget<UpdateResultsDlg>(*window, "UpdateResultsDlg");
    EXPECT_EQ(results->windowTitle(), QStringLiteral("Update Results"));
    EXPECT_FALSE(results->isModal());
    auto* list = widget<QTableWidget>(*results, "ResultList");
    EXPECT_FALSE(list->accessibleName().isEmpty());
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(1, 2)->text(), QStringLiteral("=<b>Password Error"));
    const std::string csv =
        "mac,destination,answer,verification\r\n"
        "02-4B-56-00-00-01,192.168.0.10,Setting OK,\r\n"
        "02-4B-56-00-00-02,192.168.0.10,'=<b>Password Error,\r\n"
        "02-4B-56-00-00-03,192.168.0.10,no answer within the wait,\r\n";
    widget<QPushButton>(*results, "CopyBtn")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), csv);
    widget<QPushButton>(*results, "ExportBtn")->click();
    QFile file(files.filePath(QStringLiteral("out.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), csv);
}

TEST_F(ManyDevicesTest, EachRequestIsWrittenAheadToTheSharedTrailWithoutItsPassword) {
    receiveDevices(2, {192, 168, 0, 10});
    window->grid().setCell(DeviceGrid::ColMask, 1, "255.0.0.0");
    window->grid().setCell(DeviceGrid::ColNewPassword, 1, "newpw");
    updateAll();
    receive(testsupport::resultReply(mac(1), "Setting OK"));
    QTRY_COMPARE(trailLines().size(), 4u);  // device 2's wait ends unanswered
    const auto lines = trailLines();
    EXPECT_EQ(at(lines[0], QStringLiteral("result")), QStringLiteral("sending"));
    EXPECT_EQ(at(lines[0], QStringLiteral("mac")), QStringLiteral("02-4B-56-00-00-01"));
    EXPECT_EQ(at(lines[0], QStringLiteral("before/mask")), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(at(lines[0], QStringLiteral("after/mask")), QStringLiteral("255.0.0.0"));
    EXPECT_EQ(at(lines[0], QStringLiteral("new_password")), QStringLiteral("true"));
    EXPECT_EQ(at(lines[1], QStringLiteral("result")), QStringLiteral("sending"));
    EXPECT_EQ(at(lines[2], QStringLiteral("result")), QStringLiteral("acknowledged"));
    EXPECT_EQ(at(lines[2], QStringLiteral("change")), at(lines[0], QStringLiteral("change")));
    EXPECT_EQ(at(lines[3], QStringLiteral("result")), QStringLiteral("failed"));
    QFile file(trailPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray all = file.readAll();
    EXPECT_FALSE(all.contains("newpw") || all.contains("\"pw\""));
    file.close();  // Windows keeps an open file from being removed

    // A trail that cannot be written keeps the request from leaving.
    const std::size_t sent = sender.sent.size();
    QFile::remove(trailPath());
    ASSERT_TRUE(QDir().mkpath(trailPath()));
    ModalWatcher watcher([](QWidget* dialog, int) {
        if (auto* confirm = qobject_cast<TPwdDlg*>(dialog))
            confirm->Password->setText(QStringLiteral("pw"));
        return ModalWatcher::pressOk(dialog);
    });
    clickCell(DeviceGrid::ColIp, 1);
    widget<QPushButton>(*window, "BtnUpdSel")->click();
    EXPECT_EQ(sender.sent.size(), sent);
    ASSERT_FALSE(watcher.texts().empty());
    EXPECT_TRUE(
        watcher.texts().back().startsWith(QStringLiteral("the audit trail cannot be written")));
}

TEST_F(ManyDevicesTest, RestoreSendsTheSettingsBeforeTheLastChangeWhereThatChangeMovedIt) {
    receiveDevices(1, {192, 168, 0, 10});
    window->grid().setCell(DeviceGrid::ColIp, 1, "192.168.0.20");
    window->grid().setCell(DeviceGrid::ColDescription, 1, "moved");
    updateAll();
    clickCell(DeviceGrid::ColIp, 1);
    ModalWatcher watcher([](QWidget* dialog, int) {
        if (auto* confirm = qobject_cast<TPwdDlg*>(dialog))
            confirm->Password->setText(QStringLiteral("pw"));
        return ModalWatcher::pressOk(dialog);
    });
    widget<QAction>(*window, "ActRestore")->trigger();
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1].host, "192.168.0.20");
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColIp, 1), "192.168.0.10");
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColDescription, 1), "d");
    std::vector<QJsonObject> sending;
    for (const QJsonObject& line : trailLines()) {
        if (at(line, QStringLiteral("result")) == QStringLiteral("sending"))
            sending.push_back(line);
    }
    ASSERT_EQ(sending.size(), 2u);
    EXPECT_EQ(at(sending[1], QStringLiteral("undoes")), at(sending[0], QStringLiteral("change")));
    EXPECT_EQ(at(sending[1], QStringLiteral("after/ip")), QStringLiteral("192.168.0.10"));
}

TEST_F(ManyDevicesTest, VerifyAfterUpdateMarksEachDeviceAndTheRowFollowsItsReply) {
    EXPECT_FALSE(window->ActVerify->isChecked());
    window->ActVerify->trigger();
    TearDown();  // remembered between starts
    SetUp();
    ASSERT_TRUE(window->ActVerify->isChecked());
    receiveDevices(2, {192, 168, 0, 10});
    window->grid().setCell(DeviceGrid::ColIp, 1, "10.0.0.9");
    window->grid().setCell(DeviceGrid::ColIp, 2, "10.0.0.8");
    updateAll();
    receive(testsupport::resultReply(mac(1), "Setting OK"));
    receive(testsupport::resultReply(mac(2), "Setting OK"));
    EXPECT_EQ(sender.sent.size(), 4u);  // two requests, two discoveries
    const auto reply = [](std::uint8_t n, std::array<std::uint8_t, 4> ip) {
        return testsupport::infoReply({.mac = mac(n),
                                       .name = "dev",
                                       .version = "1.0",
                                       .description = "d",
                                       .ip = ip,
                                       .mask = {255, 255, 255, 0},
                                       .gateway = {192, 168, 0, 1}});
    };
    receive(reply(1, {10, 0, 0, 9}));
    receive(reply(2, {192, 168, 0, 10}));  // still on its old address
    QTRY_VERIFY(window->updateResults()[1].verified.has_value());
    EXPECT_EQ(window->updateResults()[0].verified, true);
    EXPECT_EQ(window->updateResults()[1].verified, false);
    EXPECT_EQ(cellIndex(0, 1).data(DeviceTableModel::OutcomeRole).toInt(),
              int{DeviceTableModel::Verified});
    EXPECT_EQ(cellIndex(0, 2).data(DeviceTableModel::OutcomeRole).toInt(),
              int{DeviceTableModel::NotVerified});
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColDeviceIp, 1), "10.0.0.9");
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColIp, 2), "192.168.0.10");
}

}  // namespace
}  // namespace kavren::app
