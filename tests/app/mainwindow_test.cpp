// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainfrom.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "app/cfgdlg.h"
#include "app/devicetablemodel.h"
#include "app/devlistview.h"
#include "app/logolabel.h"
#include "app/plainmessagebox.h"
#include "app/pwddlg.h"
#include "net/socketapi.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/windowsupport.h"
#include "usecases/configuration.h"
#include "wording/wording.h"

namespace kavren::app {
namespace {

using testsupport::DeviceTexts;
using testsupport::ModalWatcher;
using testsupport::widget;

const std::array<std::uint8_t, 6> kMacA = {0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF};
const std::array<std::uint8_t, 6> kMacB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::array<std::uint8_t, 6> kMacC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x60};

DeviceTexts deviceA() {
    return {.mac = kMacA,
            .name = "Gate-North",
            .version = "2.14",
            .description = "Loading bay",
            .ip = {192, 168, 0, 100},
            .mask = {255, 255, 255, 0},
            .gateway = {192, 168, 0, 1}};
}

DeviceTexts deviceB() {
    return {.mac = kMacB,
            .name = "",
            .version = "1.0",
            .description = "",
            .ip = {10, 0, 0, 1},
            .mask = {255, 0, 0, 0},
            .gateway = {10, 0, 0, 254}};
}

DeviceTexts bare(const std::array<std::uint8_t, 6>& mac) {
    DeviceTexts device;
    device.mac = mac;
    return device;
}

using testsupport::MainWindowTest;

// --- layout --------------------------------------------------------------

TEST_F(MainWindowTest, EveryWidgetHasItsNamePlaceAndCaption) {
    struct Expected {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Expected widgets[] = {
        {"Logo", {672, 0, 118, 82}, nullptr},
        {"Label1", {48, 208, 95, 16}, "Select Adapter :"},
        {"DevList", {0, 80, 793, 121}, nullptr},
        {"BtnRefresh", {216, 8, 80, 33}, "Refresh"},
        {"BtnExit", {344, 8, 80, 33}, "Exit"},
        {"BtnUpdSel", {176, 240, 90, 36}, "Update Device"},
        {"BtnUpdMul", {288, 240, 90, 36}, "Update Multi"},
        {"BtnUpdAll", {392, 240, 90, 36}, "Update All"},
        {"BtnConDev", {528, 240, 100, 36}, "Connect to Device"},
        {"ChkBcast", {512, 208, 185, 25}, "Control Packet Force Broadcast"},
        {"EthList", {152, 208, 313, 21}, nullptr},
    };
    for (const Expected& e : widgets) {
        auto* widget = window->findChild<QWidget*>(QLatin1String(e.name));
        ASSERT_NE(widget, nullptr) << e.name;
        EXPECT_EQ(widget->geometry(), e.geometry) << e.name;
        if (!e.caption)
            continue;
        const QString caption = QLatin1String(e.caption);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), caption) << e.name;
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), caption) << e.name;
        }
    }
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ORBELUX Trelvio"));
    EXPECT_EQ(widget<QLabel>(*window, "Label1")->font().pixelSize(), 13);
    EXPECT_EQ(window->font().pixelSize(), 11);
    for (auto* button :
         {widget<QPushButton>(*window, "BtnRefresh"), widget<QPushButton>(*window, "BtnExit"),
          widget<QPushButton>(*window, "BtnUpdSel"), widget<QPushButton>(*window, "BtnUpdMul"),
          widget<QPushButton>(*window, "BtnUpdAll"), widget<QPushButton>(*window, "BtnConDev")}) {
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->text().contains(QLatin1Char('&')));
    }
    EXPECT_EQ(widget<QPushButton>(*window, "BtnRefresh")->iconSize(), QSize(16, 16));
    EXPECT_FALSE(widget<QPushButton>(*window, "BtnRefresh")->icon().isNull());
    EXPECT_FALSE(widget<QPushButton>(*window, "BtnExit")->icon().isNull());
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(MainWindowTest, TabOrderRunsFromTheGridToTheAdapterList) {
    const QWidget* const order[] = {
        widget<DevListView>(*window, "DevList"),   widget<QPushButton>(*window, "BtnRefresh"),
        widget<QPushButton>(*window, "BtnExit"),   widget<QPushButton>(*window, "BtnUpdSel"),
        widget<QPushButton>(*window, "BtnUpdMul"), widget<QPushButton>(*window, "BtnUpdAll"),
        widget<QPushButton>(*window, "BtnConDev"), widget<QCheckBox>(*window, "ChkBcast"),
        widget<QComboBox>(*window, "EthList")};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        const QWidget* next = order[i]->nextInFocusChain();
        // A widget's own children (the view's viewport, the box's line edit)
        // may come in between; skip them.
        while (next && next != order[i + 1] && order[i]->isAncestorOf(next)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, order[i + 1]) << "after " << order[i]->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, MenuHasItsItemsInOrderWithoutShortcuts) {
    const auto menus = widget<QMenuBar>(*window, "MainMenu")->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("File"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Option"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("Help"));
    const auto names = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions()) {
            EXPECT_FALSE(a->isSeparator());
            EXPECT_TRUE(a->shortcut().isEmpty());
            EXPECT_TRUE(a->isEnabled());
            list << a->objectName() + QLatin1Char('=') + a->text();
        }
        return list;
    };
    EXPECT_EQ(names(widget<QMenu>(*window, "File1")), QStringList{QStringLiteral("MnuExit=Exit")});
    EXPECT_EQ(names(widget<QMenu>(*window, "Option1")),
              (QStringList{QStringLiteral("MnuRefresh=Refresh"),
                           QStringLiteral("MnuUpdateDev=Update Device"),
                           QStringLiteral("MnuUpdMul=Update Multi-Device"),
                           QStringLiteral("MnuUpdateAll=Update All"),
                           QStringLiteral("MnuBcast=Control Packet Force Broadcast")}));
    EXPECT_EQ(
        names(widget<QMenu>(*window, "Help2")),
        (QStringList{QStringLiteral("MnuKavren=About ORBELUX"), QStringLiteral("MnuVer=Version")}));
    EXPECT_TRUE(widget<QAction>(*window, "MnuBcast")->isCheckable());
    EXPECT_FALSE(widget<QAction>(*window, "MnuBcast")->isChecked());
}

TEST_F(MainWindowTest, RightAfterStart) {
    EXPECT_TRUE(fourButtonsEnabled(false, false, false, false));
    EXPECT_FALSE(widget<QCheckBox>(*window, "ChkBcast")->isChecked());
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(), QStringLiteral("Device"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("Message"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->width(), 250);
    // Adapter list: one entry per address, entry 0 chosen, its address the source.
    ASSERT_EQ(widget<QComboBox>(*window, "EthList")->count(), 3);
    EXPECT_EQ(widget<QComboBox>(*window, "EthList")->itemText(0),
              QStringLiteral("192.168.0.10 (00:1A:2B:3C:4D:5E)"));
    EXPECT_EQ(widget<QComboBox>(*window, "EthList")->itemText(2),
              QStringLiteral("172.16.1.2 (0A:0B:0C:0D:0E:0F)"));
    EXPECT_EQ(widget<QComboBox>(*window, "EthList")->currentIndex(), 0);
    EXPECT_EQ(window->adapters().sourceAddress(), "192.168.0.10");
    // The grid: headers, widths, 18-pixel rows, one empty row.
    auto* header = widget<DevListView>(*window, "DevList")->horizontalHeader();
    EXPECT_EQ(window->gridModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("MAC Address"));
    const int widths[] = {16, 96, 80, 80, 80, 72, 72, 72, 72, 116};
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(header->sectionSize(c), widths[c]) << c;
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->verticalHeader()->defaultSectionSize(), 18);
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->verticalHeader()->sectionResizeMode(0),
              QHeaderView::Fixed);
    EXPECT_EQ(window->gridModel()->rowCount(), 1);
    EXPECT_TRUE(window->IdUDPServer.active());
    // The logo: the GIF's one frame at its own size, with see-through pixels.
    const QPixmap logo = widget<QLabel>(*window, "Logo")->pixmap();
    EXPECT_EQ(logo.size(), QSize(118, 82));
    EXPECT_TRUE(logo.hasAlpha());
    EXPECT_EQ(widget<QLabel>(*window, "Logo")->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindowTest, TheLogoIsAStillGif89aWithItsTransparentIndex) {
    QFile file(QStringLiteral(":/kavren/logo.gif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray gif = file.readAll();
    ASSERT_GT(gif.size(), 13 + 192);
    EXPECT_TRUE(gif.startsWith("GIF89a"));
    EXPECT_EQ(static_cast<unsigned char>(gif[6]) | static_cast<unsigned char>(gif[7]) << 8, 118);
    EXPECT_EQ(static_cast<unsigned char>(gif[8]) | static_cast<unsigned char>(gif[9]) << 8, 82);
    EXPECT_EQ(static_cast<unsigned char>(gif[10]) & 0x87, 0x85);  // global table of 64 entries
    EXPECT_EQ(static_cast<unsigned char>(gif[11]), 48);           // background index
    const QByteArray gce = gif.mid(13 + 192, 8);
    EXPECT_EQ(gce.left(3), QByteArray("\x21\xF9\x04", 3));
    EXPECT_EQ(static_cast<unsigned char>(gce[3]) & 1, 1);  // transparent flag
    EXPECT_EQ(static_cast<unsigned char>(gce[6]), 48);
    QMovie movie(QStringLiteral(":/kavren/logo.gif"));
    EXPECT_EQ(movie.frameCount(), 1);
}

// --- commands -------------------------------------------------------------

TEST_F(MainWindowTest, RefreshFromButtonAndMenuSendsOneDiscoveryRequest) {
    receive(testsupport::infoReply(deviceA()));
    receive(testsupport::infoReply(deviceB()));
    receive(testsupport::infoReply(bare(kMacC)));
    ASSERT_EQ(window->grid().rowCount(), 5);
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_EQ(window->grid().rowCount(), 2);
    EXPECT_EQ(window->gridModel()->rowCount(), 1);
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(cellText(c, 1), QString()) << c;
    EXPECT_EQ(window->gridModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("MAC Address"));
    EXPECT_TRUE(fourButtonsEnabled(false, true, true, false));
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].host, "255.255.255.255");
    EXPECT_TRUE(sender.sent[0].broadcast);
    ASSERT_EQ(sender.sent[0].bytes.size(), 16u);
    EXPECT_EQ(std::string(sender.sent[0].bytes.begin(), sender.sent[0].bytes.begin() + 8),
              "KAVRENut");
    EXPECT_EQ(sender.sent[0].bytes[9], 0x16);

    widget<QAction>(*window, "MnuRefresh")->trigger();
    EXPECT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1].bytes, sender.sent[0].bytes);
}

TEST_F(MainWindowTest, AFailedRefreshShowsTheErrorAfterClearingAndEnabling) {
    receive(testsupport::infoReply(deviceA()));
    sender.failWith = "Socket Error # 10049\r\nCannot assign requested address.";
    ModalWatcher watcher;
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[0].text, QString::fromLatin1(sender.failWith->c_str()));
    EXPECT_EQ(window->grid().rowCount(), 2);
    EXPECT_TRUE(fourButtonsEnabled(false, true, true, false));
    // The window goes on: the next Refresh works.
    sender.failWith.reset();
    widget<QAction>(*window, "MnuRefresh")->trigger();
    EXPECT_EQ(sender.sent.size(), 1u);
}

TEST_F(MainWindowTest, RepliesFillTheGridAndTheStatusBar) {
    receive(testsupport::infoReply(deviceA()));
    EXPECT_EQ(cellText(0, 1), QStringLiteral("1"));
    EXPECT_EQ(cellText(1, 1), QStringLiteral("02-C4-7E-0A-1B-FF"));
    EXPECT_EQ(cellText(2, 1), QStringLiteral("Gate-North"));
    EXPECT_EQ(cellText(3, 1), QStringLiteral("2.14"));
    EXPECT_EQ(cellText(4, 1), QStringLiteral("192.168.0.100"));
    EXPECT_EQ(cellText(5, 1), QString());
    EXPECT_EQ(cellText(6, 1), QStringLiteral("192.168.0.100"));
    EXPECT_EQ(cellText(9, 1), QStringLiteral("Loading bay"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device : Gate-North (02-C4-7E-0A-1B-FF)"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(),
              QStringLiteral("Get Device Information done."));

    receive(testsupport::infoReply(deviceB()));
    EXPECT_EQ(cellText(0, 2), QStringLiteral("2"));
    EXPECT_EQ(cellText(4, 2), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device :  (00-1A-2B-3C-4D-5E)"));
    EXPECT_EQ(window->gridModel()->rowCount(), 3);

    // A listed device again: nothing changes, the status bar included.
    widget<QLabel>(*window, "StatusPanel1")->setText(QStringLiteral("marker"));
    receive(testsupport::infoReply(deviceA()));
    EXPECT_EQ(window->grid().rowCount(), 4);
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("marker"));

    // Result messages: from a listed device, and from one that is not listed.
    receive(testsupport::resultReply(kMacA, "Configuration done"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device : Gate-North (02-C4-7E-0A-1B-FF)"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(),
              QStringLiteral("Configuration done"));
    receive(testsupport::resultReply(kMacC, "Who am I"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("Who am I"));
    EXPECT_EQ(window->grid().rowCount(), 4);

    // Empty datagrams, foreign ones and requests are dropped without a trace.
    widget<QLabel>(*window, "StatusPanel1")->setText(QStringLiteral("marker"));
    receive({});
    auto wrongMagic = testsupport::infoReply(bare(kMacC));
    wrongMagic[7] = 'T';
    receive(wrongMagic);
    auto wrongOpcode = testsupport::infoReply(bare(kMacC));
    wrongOpcode[8] = 0x01;
    receive(wrongOpcode);
    auto request = testsupport::infoReply(bare(kMacC));
    request[9] = 0x16;  // our own discovery request, heard back
    receive(request);
    receive(std::vector<std::uint8_t>(request.begin(), request.begin() + 9));
    EXPECT_EQ(window->grid().rowCount(), 4);
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("marker"));
}

TEST_F(MainWindowTest, DeviceTextsAreShownLiterally) {
    DeviceTexts device = deviceA();
    device.name = "<b>x</b>";
    device.description = "<img src=x>";
    receive(testsupport::infoReply(device));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->textFormat(), Qt::PlainText);
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->textFormat(), Qt::PlainText);
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device : <b>x</b> (02-C4-7E-0A-1B-FF)"));
    EXPECT_EQ(cellText(2, 1), QStringLiteral("<b>x</b>"));
    receive(testsupport::resultReply(kMacA, "<i>done</i>"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("<i>done</i>"));
}

// --- impostors and floods ---------------------------------------------------

// A second host answering with a listed MAC is told on that row: the MAC
// cell gets the shared-address tint and names both senders; a reply from
// another address than the one it reports is told on its DeviceIP cell,
// untinted. Nothing is refused and the row keeps the first reply's texts.
TEST_F(MainWindowTest, SecondSendersAndForeignSendersAreMarkedOnTheirRows) {
    using Model = app::DeviceTableModel;
    DeviceTexts forged = deviceA();
    forged.name = "<b>Forged</b>";
    DeviceTexts twin = bare(kMacC);  // shares deviceA's address, for the tint
    twin.ip = deviceA().ip;
    receive(testsupport::infoReply(deviceA()), "192.168.0.100");
    receive(testsupport::infoReply(deviceB()), "10.0.0.77");
    receive(testsupport::infoReply(forged), "192.168.0.66");
    receive(testsupport::infoReply(deviceA()), "192.168.0.100");
    receive(testsupport::infoReply(twin), "192.168.0.100");
    ASSERT_EQ(window->grid().deviceRowCount(), 3);
    EXPECT_EQ(cellText(2, 1), QStringLiteral("Gate-North"));

    const auto brush = [this](int col, int row) {
        return cellIndex(col, row).data(Qt::BackgroundRole).value<QBrush>().color();
    };
    const QColor tint = brush(DeviceGrid::ColDeviceIp, 3);  // the shared-address mark
    struct Case {
        int col, row, marks;
        bool tinted;
        QString tip;  // a line of the tooltip; empty: none
    };
    const std::vector<Case> cases = {
        {DeviceGrid::ColMac, 1, Model::SecondSender, true,
         QStringLiteral("replies with this MAC came from 192.168.0.100 and 192.168.0.66: another "
                        "host may be answering in this device's place")},
        {DeviceGrid::ColMac, 2, Model::NoMark, false, {}},
        {DeviceGrid::ColMac, 3, Model::NoMark, false, {}},
        {DeviceGrid::ColDeviceIp, 2, Model::ForeignSender, false,
         QStringLiteral("the reply came from 10.0.0.77, not from this address")},
        {DeviceGrid::ColDeviceIp, 1, Model::SharedAddress, true,
         QStringLiteral("also reported by row 3 (00-1A-2B-3C-4D-60)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "col " << c.col << " row " << c.row);
        const QModelIndex index = cellIndex(c.col, c.row);
        EXPECT_EQ(index.data(Model::AddressMarkRole).toInt(), c.marks);
        EXPECT_EQ(brush(c.col, c.row) == tint, c.tinted);
        const QString tip = index.data(Qt::ToolTipRole).toString();
        EXPECT_EQ(tip.isEmpty(), c.tip.isEmpty()) << tip.toStdString();
        EXPECT_TRUE(tip.contains(c.tip.toHtmlEscaped())) << tip.toStdString();
    }
}

class FullListTest : public MainWindowTest {
protected:
    void addServices(MainWindowServices& services) override { services.maxDevices = 2; }
};

TEST_F(FullListTest, AFullListSaysSoOnceInTheStatusBar) {
    receive(testsupport::infoReply(deviceA()), "192.168.0.100");
    receive(testsupport::infoReply(deviceB()), "10.0.0.1");
    widget<QLabel>(*window, "StatusPanel1")->setText(QStringLiteral("marker"));
    receive(testsupport::infoReply(bare(kMacC)), "10.0.0.3");
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(),
              QStringLiteral("Device list full: further devices are not listed."));
    widget<QLabel>(*window, "StatusPanel1")->setText(QStringLiteral("marker"));
    receive(testsupport::infoReply(bare({2, 0, 0, 0, 0, 0x0D})), "10.0.0.4");
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("marker"))
        << "said once";
    EXPECT_EQ(window->grid().deviceRowCount(), 2);
    EXPECT_EQ(window->gridModel()->rowCount(), 3);
}

TEST_F(MainWindowTest, SelectingACellEnablesUpdateDeviceAndConnect) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    clickCell(2, 1);  // a fixed cell: nothing
    EXPECT_TRUE(fourButtonsEnabled(false, false, false, false));
    clickCell(6, 2);  // the empty trailing row
    EXPECT_TRUE(fourButtonsEnabled(true, false, false, true));
    EXPECT_FALSE(window->grid().editing());
    clickCell(7, 1);  // a device row
    EXPECT_TRUE(window->grid().editing());
    EXPECT_EQ(window->grid().currentRow(), 1);
    EXPECT_EQ(window->grid().currentCol(), 7);
}

TEST_F(MainWindowTest, ClickingTheStartingCellIsASelection) {
    showWindow();
    clickCell(5, 1);  // already current, editing off
    EXPECT_TRUE(fourButtonsEnabled(true, false, false, true));
}

TEST_F(MainWindowTest, RefreshMovingTheCurrentCellToRowOneIsASelection) {
    showWindow();
    for (const auto& mac : {kMacA, kMacB, kMacC})
        receive(testsupport::infoReply(bare(mac)));
    clickCell(8, 3);
    ASSERT_TRUE(window->grid().editing());
    // Disable the two again the way an update does, to see them come back.
    widget<QPushButton>(*window, "BtnUpdSel")->setEnabled(false);
    widget<QPushButton>(*window, "BtnConDev")->setEnabled(false);
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_TRUE(fourButtonsEnabled(true, true, true, true));
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->currentIndex(), cellIndex(8, 1));
    EXPECT_FALSE(window->grid().editing());
}

TEST_F(MainWindowTest, ConnectToDeviceOpensTheDeviceAddress) {
    showWindow();
    DeviceTexts device = deviceA();
    device.ip = {192, 168, 0, 10};
    receive(testsupport::infoReply(device));
    clickCell(5, 2);  // trailing row: enabled, but nothing to open
    widget<QPushButton>(*window, "BtnConDev")->click();
    EXPECT_TRUE(testsupport::openedUrls().empty());
    clickCell(5, 1);
    widget<QPushButton>(*window, "BtnConDev")->click();
    ASSERT_EQ(testsupport::openedUrls().size(), 1u);
    EXPECT_EQ(testsupport::openedUrls()[0].toString(), QStringLiteral("http://192.168.0.10"));
}

TEST_F(MainWindowTest, AboutFromTheMenuAndTheLogoOpensTheMakersSite) {
    showWindow();
    widget<QAction>(*window, "MnuKavren")->trigger();
    QTest::mouseClick(widget<QLabel>(*window, "Logo"), Qt::LeftButton);
    ASSERT_EQ(testsupport::openedUrls().size(), 2u);
    EXPECT_EQ(testsupport::openedUrls()[0].toString(), QStringLiteral("http://www.example.com/"));
    EXPECT_EQ(testsupport::openedUrls()[1], testsupport::openedUrls()[0]);
}

TEST_F(MainWindowTest, ForceBroadcastToggleGoesByTheCheckBox) {
    widget<QAction>(*window, "MnuBcast")->trigger();
    EXPECT_TRUE(widget<QCheckBox>(*window, "ChkBcast")->isChecked());
    EXPECT_TRUE(widget<QAction>(*window, "MnuBcast")->isChecked());
    widget<QAction>(*window, "MnuBcast")->trigger();
    EXPECT_FALSE(widget<QCheckBox>(*window, "ChkBcast")->isChecked());
    EXPECT_FALSE(widget<QAction>(*window, "MnuBcast")->isChecked());

    // The box itself has no handler: the mark stays behind...
    widget<QCheckBox>(*window, "ChkBcast")->click();
    EXPECT_TRUE(widget<QCheckBox>(*window, "ChkBcast")->isChecked());
    EXPECT_FALSE(widget<QAction>(*window, "MnuBcast")->isChecked());
    // ...and the menu then goes by the box: both unchecked.
    widget<QAction>(*window, "MnuBcast")->trigger();
    EXPECT_FALSE(widget<QCheckBox>(*window, "ChkBcast")->isChecked());
    EXPECT_FALSE(widget<QAction>(*window, "MnuBcast")->isChecked());
}

TEST_F(MainWindowTest, VersionShowsItsTextInThePlainBox) {
    ModalWatcher watcher;
    widget<QAction>(*window, "MnuVer")->trigger();
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("PlainMessage"));
    EXPECT_EQ(watcher.seen()[0].text, QStringLiteral("Version 1.0 Build 120425"));
    EXPECT_EQ(watcher.seen()[0].title, QApplication::applicationDisplayName());
}

TEST_F(MainWindowTest, ExitClosesTheMainWindow) {
    showWindow();
    widget<QPushButton>(*window, "BtnExit")->click();
    EXPECT_FALSE(window->isVisible());
    showWindow();
    widget<QAction>(*window, "MnuExit")->trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, UpdateMenuItemsWorkWhileTheirButtonsAreDisabled) {
    ModalWatcher watcher;
    // Nothing selected yet: Update Device does nothing at all.
    widget<QAction>(*window, "MnuUpdateDev")->trigger();
    // Update All over an empty grid sends nothing either.
    widget<QAction>(*window, "MnuUpdateAll")->trigger();
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_TRUE(fourButtonsEnabled(false, false, false, false));
}

TEST_F(MainWindowTest, UpdateDeviceStaysDisabledAfterASendUntilTheNextSelection) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    receive(testsupport::infoReply(deviceB()));
    clickCell(6, 1);
    ASSERT_TRUE(widget<QPushButton>(*window, "BtnUpdSel")->isEnabled());
    ModalWatcher watcher([](QWidget* w, int) {
        if (auto* pwd = qobject_cast<app::TPwdDlg*>(w)) {
            widget<QLineEdit>(*pwd, "Password")->setText(QStringLiteral("secret"));
            widget<QPushButton>(*pwd, "OKBtn")->click();
            return true;
        }
        return ModalWatcher::pressOk(w);
    });
    widget<QPushButton>(*window, "BtnUpdSel")->click();
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].bytes.size(), 98u);
    EXPECT_EQ(sender.sent[0].host, "192.168.0.100");
    EXPECT_FALSE(widget<QPushButton>(*window, "BtnUpdSel")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>(*window, "BtnConDev")->isEnabled());
    // Force broadcast as the update sees it: the check box.
    widget<QCheckBox>(*window, "ChkBcast")->setChecked(true);
    widget<QAction>(*window, "MnuUpdateDev")->trigger();
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1].host, "255.255.255.255");
    clickCell(7, 2);
    EXPECT_TRUE(widget<QPushButton>(*window, "BtnUpdSel")->isEnabled());
}

TEST_F(MainWindowTest, AnErrorInsideAModalDialogsLoopIsShown) {
    receive(testsupport::infoReply(deviceA()));
    sender.failWith = "Network is unreachable";
    // While the Version box is up, Refresh runs from within its loop and fails.
    ModalWatcher watcher([this](QWidget* w, int visits) {
        if (qobject_cast<PlainMessageBox*>(w) && visits == 0) {
            QTimer::singleShot(0, widget<QAction>(*window, "MnuRefresh"), &QAction::trigger);
            return false;
        }
        if (qobject_cast<PlainMessageBox*>(w) && visits < 20)
            return false;
        return ModalWatcher::pressOk(w);
    });
    widget<QAction>(*window, "MnuVer")->trigger();
    ASSERT_EQ(watcher.seen().size(), 2u);
    EXPECT_EQ(watcher.seen()[1].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[1].text, QStringLiteral("Network is unreachable."));
    EXPECT_EQ(window->grid().rowCount(), 2);
}

// --- the grid's editor and its length warnings ---------------------------------

class GridEditingTest : public MainWindowTest {
protected:
    QLineEdit* openEditor(int col, int row) {
        clickCell(col, row);
        widget<DevListView>(*window, "DevList")->edit(cellIndex(col, row));
        // A click on the cell that was current already opens the editor by
        // itself, after the double-click interval.
        (void)QTest::qWaitFor(
            [this] {
                return widget<DevListView>(*window, "DevList")
                    ->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
            },
            2000);
        auto* editor = widget<DevListView>(*window, "DevList")
                           ->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
        if (editor) {
            editor->setFocus();
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Backspace);  // an empty cell to type into
        }
        return editor;
    }
};

TEST_F(GridEditingTest, AnOverlongAddressWarnsWhileTypingAndWhenLeaving) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    receive(testsupport::infoReply(deviceB()));
    QLineEdit* editor = openEditor(6, 1);
    ASSERT_NE(editor, nullptr);
    ModalWatcher watcher;
    QTest::keyClicks(editor, QStringLiteral("192.168.100.1001"));  // 16: nothing
    EXPECT_TRUE(watcher.seen().empty());
    QTest::keyClicks(editor, QStringLiteral("1"));  // 17
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].text, QStringLiteral("IP address Length Error !!"));
    // The warning refused nothing and did not end editing.
    EXPECT_EQ(editor->text(), QStringLiteral("192.168.100.10011"));
    EXPECT_EQ(window->grid().cell(6, 1), "192.168.100.10011");
    EXPECT_EQ(widget<DevListView>(*window, "DevList")
                  ->findChild<QLineEdit*>(QStringLiteral("CellEditor")),
              editor);
    EXPECT_TRUE(editor->isVisible());
    // Another window taking the focus (as a message box does on a desktop)
    // leaves the editor open; offscreen boxes take no focus, so do it here.
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    QApplication::setActiveWindow(&other);
    other.setFocus(Qt::ActiveWindowFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->indexWidget(cellIndex(6, 1)), editor);
    EXPECT_TRUE(editor->isVisible());
    other.hide();
    QApplication::setActiveWindow(window.get());
    QCoreApplication::processEvents();
    EXPECT_EQ(watcher.seen().size(), 1u);
    clickCell(7, 2);  // leaving the cell: once more
    EXPECT_EQ(watcher.seen().size(), 2u);
    EXPECT_EQ(cellText(6, 1), QStringLiteral("192.168.100.10011"));
}

// Esc ends editing like leaving the cell does, final length check included;
// the cell keeps what was typed.
TEST_F(GridEditingTest, EscRunsTheFinalLengthCheckAndKeepsTheText) {
    struct Case {
        int col;
        QString text;
        QString warning;  // empty: none
    };
    const std::vector<Case> cases = {
        {6, QStringLiteral("192.168.100.10011"), QStringLiteral("IP address Length Error !!")},
        {5, QString(18, QLatin1Char('p')), QStringLiteral("Password Length must less than 16 !!")},
        {9, QStringLiteral("short"), {}},
    };
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.col);
        QPointer<QLineEdit> editor = openEditor(c.col, 1);
        ASSERT_NE(editor, nullptr);
        {
            ModalWatcher typing;  // answers the warnings while typing
            QTest::keyClicks(editor, c.text);
        }
        ModalWatcher watcher;
        QTest::keyClick(editor, Qt::Key_Escape);
        ASSERT_EQ(watcher.seen().size(), c.warning.isEmpty() ? 0u : 1u);
        if (!c.warning.isEmpty()) {
            EXPECT_EQ(watcher.seen()[0].text, c.warning);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return editor.isNull(); }, 2000)) << "editing ended";
        EXPECT_EQ(cellText(c.col, 1), c.text);
    }
}

TEST_F(GridEditingTest, PasswordWarnsFromItsEighteenthCharacter) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    QLineEdit* editor = openEditor(5, 1);
    ASSERT_NE(editor, nullptr);
    ModalWatcher watcher;
    QTest::keyClicks(editor, QStringLiteral("abcdefghijklmnopq"));  // 17: nothing
    EXPECT_TRUE(watcher.seen().empty());
    QTest::keyClicks(editor, QStringLiteral("rs"));  // 18 and 19
    EXPECT_EQ(watcher.seen().size(), 2u);
    clickCell(9, 1);
    ASSERT_EQ(watcher.seen().size(), 3u);
    EXPECT_EQ(watcher.seen()[2].text, QStringLiteral("Password Length must less than 16 !!"));
}

// The device keeps Latin-1: a character beyond it is refused with a message,
// never stored as a '?' nobody could type again.
TEST_F(GridEditingTest, PasswordRefusesACharacterOutsideLatin1) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    QLineEdit* editor = openEditor(5, 1);
    ASSERT_NE(editor, nullptr);
    ModalWatcher watcher;
    // Typed as text: QTest has keys for ASCII only.
    auto type = [editor](const QString& text) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(editor, &key);
    };
    type(QStringLiteral(u"p\u00e4"));
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_EQ(window->grid().cell(5, 1), "p\xE4");
    type(QStringLiteral(u"\u20ac"));
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].text,
              QString::fromLatin1(wording::kPasswordCharsetError.data(),
                                  static_cast<qsizetype>(wording::kPasswordCharsetError.size())));
    EXPECT_EQ(window->grid().cell(5, 1), "p\xE4");
}

TEST_F(GridEditingTest, DescriptionWarnsAboveThirtyThree) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    QLineEdit* editor = openEditor(9, 1);
    ASSERT_NE(editor, nullptr);
    ModalWatcher watcher;
    QTest::keyClicks(editor, QString(33, QLatin1Char('d')));
    EXPECT_TRUE(watcher.seen().empty());
    QTest::keyClicks(editor, QStringLiteral("d"));
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].text, QStringLiteral("Description Length must less than 32 !!"));
}

TEST_F(GridEditingTest, TheTrailingRowAndFixedColumnsCannotBeEdited) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    clickCell(6, 2);
    widget<DevListView>(*window, "DevList")->edit(cellIndex(6, 2));
    EXPECT_EQ(widget<DevListView>(*window, "DevList")
                  ->findChild<QLineEdit*>(QStringLiteral("CellEditor")),
              nullptr);
    clickCell(6, 1);
    widget<DevListView>(*window, "DevList")->edit(cellIndex(2, 1));
    EXPECT_EQ(widget<DevListView>(*window, "DevList")
                  ->findChild<QLineEdit*>(QStringLiteral("CellEditor")),
              nullptr);
}

TEST_F(GridEditingTest, TheKeyboardNeverLandsOnAFixedColumn) {
    showWindow();
    receive(testsupport::infoReply(deviceA()));
    clickCell(5, 1);
    widget<DevListView>(*window, "DevList")->setFocus();
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_Left);
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->currentIndex(), cellIndex(5, 1));
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_Right);
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->currentIndex(), cellIndex(6, 1));
    QTest::keyClick(widget<DevListView>(*window, "DevList"), Qt::Key_Home);
    EXPECT_EQ(widget<DevListView>(*window, "DevList")->currentIndex().column(), 5);
}

// --- the adapter list ----------------------------------------------------------

TEST_F(MainWindowTest, ChoosingAnAdapterSetsTheSourceAndTypingKeepsIt) {
    widget<QComboBox>(*window, "EthList")->setCurrentIndex(2);
    EXPECT_EQ(window->adapters().sourceAddress(), "172.16.1.2");
    widget<QComboBox>(*window, "EthList")->setCurrentIndex(1);
    EXPECT_EQ(window->adapters().sourceAddress(), "10.0.0.5");
    widget<QComboBox>(*window, "EthList")->setEditText(QStringLiteral("no such adapter"));
    EXPECT_EQ(window->adapters().sourceAddress(), "10.0.0.5");
    window->BtnRefreshClick();
    EXPECT_EQ(sender.sent.back().source, "10.0.0.5");
}

// --- start-up without adapters, and with the port taken --------------------------

TEST(MainWindowStartup, WithoutAdaptersTheListKeepsItsStoredText) {
    testsupport::RecordingSender sender;
    DeviceSession session(MainWindowServices{
        std::make_unique<testsupport::FakeAdapterQuery>(std::nullopt), &sender, 0});
    TMainF window(session);
    EXPECT_EQ(widget<QComboBox>(window, "EthList")->count(), 0);
    EXPECT_EQ(widget<QComboBox>(window, "EthList")->currentText(), QStringLiteral("EthList"));
    EXPECT_EQ(window.adapters().sourceAddress(), "");
    window.BtnRefreshClick();
    EXPECT_EQ(sender.sent.size(), 1u);
}

TEST(MainWindowStartup, APortHeldByAnotherCopyShowsTheErrorAndSetUpGoesOn) {
    // Another socket holds the port first; it binds only and sends nothing.
    // It is opened through the socket seam, so the case runs on Windows too.
    const net::socketapi::LibraryUse library;
    const net::socketapi::Handle holder = net::socketapi::openDatagram();
    ASSERT_NE(holder, net::socketapi::kNoSocket);
    struct Closer {
        net::socketapi::Handle handle;
        ~Closer() { net::socketapi::close(handle); }
    } closer{holder};
    ASSERT_TRUE(net::socketapi::bind(holder, 0, 0));
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    ASSERT_TRUE(net::socketapi::localAddress(holder, address, port));
    testsupport::RecordingSender sender;
    ModalWatcher watcher;
    DeviceSession session(MainWindowServices{
        std::make_unique<testsupport::FakeAdapterQuery>(std::nullopt), &sender, port});
    TMainF window(session);
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[0].text,
              QStringLiteral("Could not bind socket. Address and port are already in use."));
    EXPECT_TRUE(watcher.seen()[0].errorIcon);
    EXPECT_FALSE(window.IdUDPServer.active());
    // Mended: the rest of the set-up still happened.
    EXPECT_EQ(window.gridModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("MAC Address"));
    EXPECT_EQ(widget<DevListView>(window, "DevList")->horizontalHeader()->sectionSize(9), 116);
    EXPECT_FALSE(widget<QPushButton>(window, "BtnUpdSel")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(window, "BtnUpdMul")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(window, "BtnUpdAll")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(window, "BtnConDev")->isEnabled());
}

}  // namespace
}  // namespace kavren::app
