// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's own commands and marks: a grid that grows with the window, find,
// copy, export, address conflicts and accessible names.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <algorithm>

#include "app/devlistcommands.h"
#include "app/findbar.h"
#include "app/logolabel.h"
#include "app/plaintooltip.h"
#include "tests/support/mainwindowfixture.h"

namespace kavren::app {
namespace {

using testsupport::DeviceTexts;
using testsupport::ModalWatcher;
using testsupport::widget;
using Mark = DeviceTableModel::AddressMark;

DeviceTexts device(std::uint8_t n, std::string name, std::array<std::uint8_t, 4> ip,
                   std::string description = {}) {
    return {.mac = {0x02, 0x4B, 0x56, 0x00, 0x00, n},
            .name = std::move(name),
            .version = "1.0.0",
            .description = std::move(description),
            .ip = ip,
            .mask = {255, 255, 255, 0},
            .gateway = {192, 168, 0, 1}};
}

class GridCommandsTest : public testsupport::MainWindowTest {
protected:
    void addServices(MainWindowServices& services) override {
        services.netmaskOf =
            [](protocol::Ipv4Address source) -> std::optional<protocol::Ipv4Address> {
            if (source == testsupport::ipv4("192.168.0.10"))
                return testsupport::ipv4("255.255.255.0");
            if (source == testsupport::ipv4("10.0.0.5"))
                return testsupport::ipv4("255.0.0.0");
            return std::nullopt;
        };
        services.chooseExportFile = [this] { return exportPath; };
    }

    DevListCommands& commands() const { return *window->devListCommands(); }
    FindBar& bar() const { return *window->findBar(); }
    void receiveAll(const std::vector<DeviceTexts>& devices) {
        // As one slice of a burst: the rows are announced together.
        window->deviceList().beginAppendBatch();
        for (const DeviceTexts& d : devices)
            receive(testsupport::infoReply(d));
        window->deviceList().endAppendBatch();
    }
    int currentRow() const {
        return DeviceTableModel::gridRow(widget<DevListView>(*window, "DevList")->currentIndex());
    }
    int mark(int col, int row) const {
        return cellIndex(col, row).data(DeviceTableModel::AddressMarkRole).toInt();
    }
    QString tip(int col, int row) const {
        return cellIndex(col, row).data(Qt::ToolTipRole).toString();
    }
    void typeFind(const QString& text) {
        bar().line()->clear();
        QTest::keyClicks(bar().line(), text);
    }

    QString exportPath;
};

// --- a grid that grows with the window ---------------------------------------

TEST_F(GridCommandsTest, ALargerWindowGivesTheGridTheRoomAndMovesTheBottomRow) {
    showWindow();
    const QSize stored = window->size();
    const QRect grid = widget<DevListView>(*window, "DevList")->geometry();
    window->resize(stored + QSize(200, 150));
    QCoreApplication::processEvents();
    const QSize grown = window->centralWidget()->size() - QSize(793, 279);
    ASSERT_EQ(grown, QSize(200, 150));
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->geometry(), grid.adjusted(0, 0, 200, 150));
    EXPECT_EQ(widget<QLabel>(*window, "Logo")->geometry(), QRect(872, 0, 118, 82));
    EXPECT_EQ(widget<QPushButton>(*window, "BtnRefresh")->geometry(), QRect(216, 8, 80, 33));
    EXPECT_EQ(widget<QPushButton>(*window, "BtnExit")->geometry(), QRect(344, 8, 80, 33));
    EXPECT_EQ(widget<QPushButton>(*window, "BtnUpdSel")->geometry(), QRect(176, 390, 90, 36));
    EXPECT_EQ(widget<QPushButton>(*window, "BtnConDev")->geometry(), QRect(528, 390, 100, 36));
    EXPECT_EQ(widget<QComboBox>(*window, "EthList")->geometry(), QRect(152, 358, 313, 21));
    EXPECT_EQ(widget<QLabel>(*window, "Label1")->geometry(), QRect(48, 358, 95, 16));
    EXPECT_EQ(widget<QCheckBox>(*window, "ChkBcast")->geometry(), QRect(512, 358, 185, 25));
    // The find bar takes the bottom of the grid's place while it is open.
    commands().ActFind->trigger();
    ASSERT_TRUE(bar().isVisible());
    const int barHeight = bar().height();
    EXPECT_EQ(bar().geometry(), QRect(0, 80 + 271 - barHeight, 993, barHeight));
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->geometry(),
              QRect(0, 80, 993, 271 - barHeight));
    QTest::keyClick(bar().line(), Qt::Key_Escape);
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->geometry(), QRect(0, 80, 993, 271));

    // Back at the stored size everything is where it was; it goes no smaller.
    window->resize(stored);
    QCoreApplication::processEvents();
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->geometry(), QRect(0, 80, 793, 121));
    EXPECT_EQ(widget<QPushButton>(*window, "BtnUpdSel")->geometry(), QRect(176, 240, 90, 36));
    EXPECT_EQ(widget<QLabel>(*window, "Logo")->geometry(), QRect(672, 0, 118, 82));
    window->resize(400, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), stored);
}

// --- find ----------------------------------------------------------------------

class FindTest : public GridCommandsTest {
protected:
    void SetUp() override {
        GridCommandsTest::SetUp();
        showWindow();
        receiveAll({device(1, "Pump North", {192, 168, 0, 101}),
                    device(2, "Gate-South", {192, 168, 0, 102}, "Loading bay"),
                    device(3, "pump south", {192, 168, 0, 103}),
                    device(0x5E, "Boiler", {192, 168, 0, 104})});
    }
};

TEST_F(FindTest, TypingSelectsTheNextMatchLikeAClick) {
    EXPECT_FALSE(bar().isVisible());
    ASSERT_FALSE(widget<QPushButton>(*window, "BtnUpdSel")->isEnabled());
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar().isVisible());
    EXPECT_TRUE(bar().line()->hasFocus());
    QTest::keyClicks(bar().line(), QStringLiteral("PUMP"));
    EXPECT_EQ(currentRow(), 1);
    // The grid's own selection rule ran: buttons enabled, editing on.
    EXPECT_TRUE(widget<QPushButton>(*window, "BtnUpdSel")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>(*window, "BtnConDev")->isEnabled());
    EXPECT_TRUE(window->grid().editing());
    EXPECT_EQ(window->grid().currentRow(), 1);
    // A longer text that still matches keeps the row.
    QTest::keyClicks(bar().line(), QStringLiteral(" s"));
    EXPECT_EQ(currentRow(), 3);
    EXPECT_EQ(window->grid().currentRow(), 3);
}

TEST_F(FindTest, NextAndPreviousGoRoundAndSaySo) {
    commands().openFind();
    typeFind(QStringLiteral("pump"));
    ASSERT_EQ(currentRow(), 1);
    QTest::keyClick(bar().line(), Qt::Key_Return);
    EXPECT_EQ(currentRow(), 3);
    EXPECT_EQ(bar().result(), QString());
    QTest::keyClick(bar().line(), Qt::Key_F3);
    EXPECT_EQ(currentRow(), 1);
    EXPECT_EQ(bar().result(), QStringLiteral("Continued from the top"));
    QTest::keyClick(bar().line(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(currentRow(), 3);
    EXPECT_EQ(bar().result(), QStringLiteral("Continued from the bottom"));
    QTest::keyClick(bar().line(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(currentRow(), 1);
    // F3 works from the grid as well, on the bar's text.
    widget<DevListView>(*window, "DevList")->setFocus();
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_F3);
    EXPECT_EQ(currentRow(), 3);
}

TEST_F(FindTest, NotFoundIsSaidInTheBarAndMovesNothing) {
    ModalWatcher watcher;
    commands().openFind();
    typeFind(QStringLiteral("pump"));
    typeFind(QStringLiteral("nowhere"));
    EXPECT_EQ(bar().result(), QStringLiteral("Not found"));
    EXPECT_EQ(currentRow(), 1);
    QTest::keyClick(bar().line(), Qt::Key_F3);
    EXPECT_EQ(bar().result(), QStringLiteral("Not found"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(watcher.seen().empty());
}

TEST_F(FindTest, AMacWithOrWithoutSeparatorsAndOtherColumns) {
    commands().openFind();
    typeFind(QStringLiteral("024b5600005e"));
    EXPECT_EQ(currentRow(), 4);
    typeFind(QStringLiteral("02:4b:56:00:00:02"));
    EXPECT_EQ(currentRow(), 2);
    typeFind(QStringLiteral("0.103"));
    EXPECT_EQ(currentRow(), 3);
    typeFind(QStringLiteral("loading"));
    EXPECT_EQ(currentRow(), 2);
}

TEST_F(FindTest, EscClosesTheBarAndTheGridHasTheFocusAgain) {
    commands().openFind();
    typeFind(QStringLiteral("boiler"));
    QTest::keyClick(bar().line(), Qt::Key_Escape);
    EXPECT_FALSE(bar().isVisible());
    EXPECT_TRUE(widget<DevListView>(*window, "DevList")->hasFocus());
    EXPECT_EQ(currentRow(), 4);
    // The column a find selects in is the one that was current.
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->currentIndex().column(),
              DeviceGrid::ColNewPassword);
}

// --- copy and export ---------------------------------------------------------------

TEST_F(GridCommandsTest, CopyTakesTheCellAndCopyRowItsTenCells) {
    showWindow();
    receiveAll({device(1, "Caf\xE9 <b>%s</b>", {192, 168, 0, 101}, "a,\"b\"")});
    clickCell(9, 1);
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a,\"b\""));
    commands().ActCopyRow->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromUtf8("1\t02-4B-56-00-00-01\tCaf\u00e9 <b>%s</b>\t1.0.0\t192.168.0.101\t"
                                "\t192.168.0.101\t255.255.255.0\t192.168.0.1\ta,\"b\""));
    // Opened on a fixed cell, the menu's Copy takes that cell, which the
    // keyboard cannot make current.
    const QRect mac =
        widget<DevListView>(*window, "DevList")->visualRect(cellIndex(DeviceGrid::ColMac, 1));
    QContextMenuEvent click(
        QContextMenuEvent::Mouse, mac.center(),
        widget<DevListView>(*window, "DevList")->viewport()->mapToGlobal(mac.center()));
    QApplication::sendEvent(widget<DevListView>(*window, "DevList")->viewport(), &click);
    ASSERT_TRUE(commands().contextMenu()->isVisible());
    commands().ActCopy->trigger();
    commands().contextMenu()->hide();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("02-4B-56-00-00-01"));
}

TEST_F(GridCommandsTest, ExportWritesWhatACsvReaderReadsBackAsTheGrid) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    exportPath = dir.filePath(QStringLiteral("devices.csv"));
    showWindow();
    receiveAll({device(1, "Caf\xE9 \x80\xFF", {192, 168, 0, 101}, "a,\"b\"\r\nc"),
                device(2, "<b>%s%n</b>", {192, 168, 0, 102}, "=1+2"),
                device(3, "", {10, 0, 0, 1})});
    window->grid().setCell(DeviceGrid::ColNewPassword, 1, "secret");
    commands().ActExport->trigger();

    // Python's csv module stands in for a spreadsheet: it hands back every
    // field as text, which is the device's bytes read as Latin-1.
    QProcess reader;
    reader.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f))))"),
                  exportPath});
    ASSERT_TRUE(reader.waitForFinished(10000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), 4);
    const QStringList header{QStringLiteral("mac"),        QStringLiteral("name"),
                             QStringLiteral("version"),    QStringLiteral("ip"),
                             QStringLiteral("mask"),       QStringLiteral("gateway"),
                             QStringLiteral("description")};
    EXPECT_EQ(rows[0].toVariant().toStringList(), header);
    // A field the spreadsheet would run as a formula comes as text, behind
    // the apostrophe that marks it so.
    auto shown = [](const QString& text) {
        return text.startsWith(QLatin1Char('=')) ? QLatin1Char('\'') + text : text;
    };
    const int columns[] = {1, 2, 3, 4, 7, 8, 9};
    for (int row = 1; row <= 3; ++row) {
        const QStringList fields = rows[row].toVariant().toStringList();
        ASSERT_EQ(fields.size(), 7);
        for (std::size_t i = 0; i < std::size(columns); ++i)
            EXPECT_EQ(fields[static_cast<qsizetype>(i)], shown(cellText(columns[i], row))) << row;
    }
    EXPECT_EQ(rows[2].toVariant().toStringList().back(), QStringLiteral("'=1+2"));
    QFile file(exportPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("secret"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
}

TEST_F(GridCommandsTest, AnExportThatCannotBeWrittenShowsTheSystemsReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    exportPath = dir.filePath(QStringLiteral("missing/devices.csv"));
    ModalWatcher watcher;
    commands().ActExport->trigger();
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_TRUE(watcher.seen()[0].text.startsWith(QStringLiteral("Cannot write ") + exportPath))
        << watcher.seen()[0].text.toStdString();
    // The system's own words, which differ between Linux ("No such file or
    // directory") and Windows.
    QFile probe(exportPath);
    ASSERT_FALSE(probe.open(QIODevice::WriteOnly));
    EXPECT_FALSE(probe.errorString().isEmpty());
    EXPECT_TRUE(watcher.seen()[0].text.contains(QStringLiteral(": ") + probe.errorString()))
        << watcher.seen()[0].text.toStdString();
    // A cancelled dialog writes nothing and says nothing.
    exportPath.clear();
    commands().ActExport->trigger();
    EXPECT_EQ(watcher.seen().size(), 1u);
}

// --- address conflicts ----------------------------------------------------------------

TEST_F(GridCommandsTest, DevicesSharingAnAddressInABurstAreMarked) {
    showWindow();
    receiveAll({device(1, "a", {192, 168, 0, 100}), device(2, "b", {192, 168, 0, 7})});
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 1), Mark::NoMark);
    EXPECT_EQ(tip(DeviceGrid::ColDeviceIp, 1), QString());
    const QVariant plain = cellIndex(DeviceGrid::ColDeviceIp, 2).data(Qt::BackgroundRole);

    QSignalSpy changed(window->gridModel(), &QAbstractItemModel::dataChanged);
    receiveAll({device(3, "c", {192, 168, 0, 100}), device(4, "d", {192, 168, 0, 100})});
    for (int row : {1, 3, 4})
        EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, row), Mark::SharedAddress) << row;
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 2), Mark::NoMark);
    EXPECT_EQ(
        tip(DeviceGrid::ColDeviceIp, 1),
        QStringLiteral("also reported by row 3 (02-4B-56-00-00-03), row 4 (02-4B-56-00-00-04)"));
    EXPECT_NE(cellIndex(DeviceGrid::ColDeviceIp, 1).data(Qt::BackgroundRole), plain);
    // Row 1 was on screen before the burst: it was told to repaint.
    const bool rowOneRepainted = std::any_of(changed.begin(), changed.end(), [](const auto& args) {
        const auto top = args[0].template value<QModelIndex>();
        const auto bottom = args[1].template value<QModelIndex>();
        return top.row() <= 0 && bottom.row() >= 0 && top.column() <= DeviceGrid::ColDeviceIp &&
               bottom.column() >= DeviceGrid::ColDeviceIp;
    });
    EXPECT_TRUE(rowOneRepainted);
    // The row's new IP Address repeats the mark of its DeviceIP; no second one.
    EXPECT_EQ(mark(DeviceGrid::ColIp, 1), Mark::NoMark);

    // Refresh clears the grid, and the marks with it.
    window->BtnRefreshClick();
    receiveAll({device(1, "a", {192, 168, 0, 100}), device(9, "z", {192, 168, 0, 9})});
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 1), Mark::NoMark);
    EXPECT_EQ(tip(DeviceGrid::ColDeviceIp, 1), QString());
}

TEST_F(GridCommandsTest, TypingAnotherDevicesAddressMarksItBeforeUpdate) {
    showWindow();
    receiveAll({device(1, "a", {192, 168, 0, 101}), device(2, "b", {192, 168, 0, 102})});
    ModalWatcher watcher;
    ASSERT_TRUE(window->gridModel()->setData(cellIndex(DeviceGrid::ColIp, 2),
                                             QStringLiteral(" 192.168.0.101"), Qt::EditRole));
    EXPECT_EQ(mark(DeviceGrid::ColIp, 2), Mark::SharedAddress);
    EXPECT_EQ(tip(DeviceGrid::ColIp, 2),
              QStringLiteral("already reported by row 1 (02-4B-56-00-00-01)"));
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 2), Mark::NoMark);
    ASSERT_TRUE(window->gridModel()->setData(cellIndex(DeviceGrid::ColIp, 2),
                                             QStringLiteral("192.168.0.55"), Qt::EditRole));
    EXPECT_EQ(mark(DeviceGrid::ColIp, 2), Mark::NoMark);
    // Marks only: nothing was shown or sent.
    QCoreApplication::processEvents();
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(GridCommandsTest, AnAddressOutsideTheAdaptersSubnetSaysForceBroadcastIsNeeded) {
    showWindow();
    receiveAll({device(1, "near", {192, 168, 0, 101}), device(2, "far", {10, 1, 2, 3})});
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 1), Mark::NoMark);
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 2), Mark::OutsideSubnet);
    EXPECT_EQ(tip(DeviceGrid::ColDeviceIp, 2),
              QStringLiteral("outside the subnet of 192.168.0.10 (255.255.255.0): an update will "
                             "not reach it without Control Packet Force Broadcast"));
    widget<QComboBox>(*window, "EthList")->setCurrentIndex(1);  // 10.0.0.5, 255.0.0.0
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 1), Mark::OutsideSubnet);
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 2), Mark::NoMark);
    widget<QComboBox>(*window, "EthList")
        ->setCurrentIndex(2);  // no net mask known: nothing is said
    EXPECT_EQ(mark(DeviceGrid::ColDeviceIp, 1), Mark::NoMark);
}

TEST(PlainToolTip, TextThatLooksLikeMarkupIsShownLiterally) {
    EXPECT_EQ(plainToolTip(QStringLiteral("also reported by row 3")),
              QStringLiteral("also reported by row 3"));
    for (const QString& text : {QStringLiteral("<b>bold</b>"), QStringLiteral("row 3 (<i>x</i>)"),
                                QStringLiteral("a &lt; b")}) {
        const QString tip = plainToolTip(text);
        QTextDocument shown;
        shown.setHtml(tip);
        EXPECT_EQ(shown.toPlainText(), text) << tip.toStdString();
    }
}

// --- accessible and keyboard-friendly --------------------------------------------------

TEST_F(GridCommandsTest, EveryControlHasAnAccessibleName) {
    showWindow();
    QList<QWidget*> controls{widget<DevListView>(*window, "DevList"),
                             widget<QComboBox>(*window, "EthList"),
                             widget<QCheckBox>(*window, "ChkBcast"),
                             widget<QLabel>(*window, "Logo"),
                             widget<QLabel>(*window, "StatusPanel0"),
                             widget<QLabel>(*window, "StatusPanel1"),
                             bar().line()};
    for (QPushButton* button : window->findChildren<QPushButton*>())
        controls << button;
    for (QWidget* control : controls) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(face, nullptr) << control->objectName().toStdString();
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty())
            << control->objectName().toStdString();
    }
    EXPECT_EQ(widget<QPushButton>(*window, "BtnUpdSel")->accessibleName(),
              QStringLiteral("Update Device"));
    EXPECT_EQ(widget<QComboBox>(*window, "EthList")->accessibleName(),
              QStringLiteral("Select Adapter"));
    // The grid's column headers are what an accessibility client reads.
    EXPECT_EQ(window->gridModel()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("DeviceIP"));
}

TEST_F(GridCommandsTest, TheMenuKeyOpensTheGridsMenuOnTheCurrentCell) {
    showWindow();
    receiveAll({device(1, "a", {192, 168, 0, 101})});
    clickCell(8, 1);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                          widget<DevListView>(*window, "DevList")->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(widget<DevListView>(*window, "DevList"), &key);
    QMenu* menu = commands().contextMenu();
    ASSERT_TRUE(menu->isVisible());
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Find…"), QStringLiteral("Find Next"),
                                  QStringLiteral("Find Previous"), QStringLiteral("Copy"),
                                  QStringLiteral("Copy Row"), QStringLiteral("Export List…"),
                                  QStringLiteral("Fill Down"), QStringLiteral("Fill Addresses…"),
                                  QStringLiteral("Import Plan…"), QStringLiteral("Update Results…"),
                                  QStringLiteral("Restore Previous Settings…"),
                                  QStringLiteral("Verify After Update")}));
    commands().ActCopy->trigger();
    menu->hide();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("192.168.0.1"));
    // The menu bar gained nothing.
    EXPECT_EQ(widget<QMenuBar>(*window, "MainMenu")->actions().size(), 3);
}

}  // namespace
}  // namespace kavren::app
