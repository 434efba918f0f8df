// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainfrom.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QUrl>

#include "app/anchoredplacement.h"
#include "app/celleditdelegate.h"
#include "app/devlistcommands.h"
#include "app/devlistview.h"
#include "app/errordisplay.h"
#include "app/faces.h"
#include "app/findbar.h"
#include "app/logolabel.h"
#include "app/plainmessagebox.h"
#include "app/programicon.h"
#include "app/textbridge.h"
#include "net/idsockethandle.h"
#include "wording/wording.h"

kavren::app::TMainF* MainF = nullptr;
kavren::app::TPwdDlg* PwdDlg = nullptr;
kavren::app::TCfgDlg* CfgDlg = nullptr;

// The pictures are compiled into kavren_gui, a static library: they must be
// registered by hand, or the linker would leave them out.
static void initKavrenResources() {
    Q_INIT_RESOURCE(kavren);
}

namespace kavren::app {

namespace {

// The form's client area is 793 x 296 pixels; the status bar takes its
// bottom 17, so every other widget sits in the 279 above it.
constexpr int kClientWidth = 793;
constexpr int kClientHeightAboveStatus = 279;
constexpr int kWindowLeft = 194;
constexpr int kWindowTop = 147;
constexpr int kDevicePanelWidth = 250;
template <class W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height) {
    auto* button =
        place(new QPushButton(QLatin1String(caption), parent), name, left, top, width, height);
    // None of the buttons is a default or cancel button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

TMainF::TMainF(DeviceSession& session, std::function<QString()> chooseExportFile, QWidget* parent)
    : QMainWindow(parent),
      IdUDPClient(session.client()),
      IdUDPServer(session.server()),
      m_session(session),
      m_chooseExportFile(chooseExportFile) {
    initKavrenResources();
    createWidgets();
    createGridCommands(std::move(chooseExportFile));
    createMenu();
    nameForAccessibility();
    // The form's stored place and size: the client area of 793 x 296 below
    // the menu bar, the status bar being part of it.
    resize(kClientWidth, MainMenu->sizeHint().height() + kClientHeightAboveStatus +
                             StatusMsg->sizeHint().height());
    move(kWindowLeft, kWindowTop);
    connectHandlers();
    setTabOrder();
    m_session.setView(this);
    FormCreate();
}

TMainF::~TMainF() {
    // The receiving endpoint goes first: its thread is stopped and joined, and
    // datagrams still queued are dropped, before any widget is destroyed.
    // The session outlives the window, so once the thread has ended nothing
    // it holds may lead back here.
    try {
        IdUDPServer.setActive(false);
    } catch (...) {
        // Nothing can be shown any more; closing goes on regardless.
    }
    IdUDPServer.OnUDPRead = nullptr;
    m_session.setView(nullptr);
    if (MainF == this)
        MainF = nullptr;
}

void TMainF::createWidgets() {
    setObjectName(QStringLiteral("MainF"));
    setWindowTitle(toQt(kCaption));
    setFont(formFont(11));
    setWindowIcon(programIcon({16, 24, 32, 48, 256}));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setMinimumSize(kClientWidth, kClientHeightAboveStatus);
    setCentralWidget(client);

    // Created in the form's stored order, which is also their stacking order.
    Logo = place(new LogoLabel(client), "Logo", 672, 0, 118, 82);
    Label1 =
        place(new QLabel(QStringLiteral("Select Adapter :"), client), "Label1", 48, 208, 95, 16);
    Label1->setFont(formFont(13));
    Label1->setTextFormat(Qt::PlainText);

    DevList = place(new DevListView(client), "DevList", 0, 80, 793, 121);
    DevList->setFont(gridFont());
    DevList->setDeviceModel(m_session.gridModel());
    auto* delegate = new CellEditDelegate(DevList);
    DevList->setItemDelegate(delegate);
    connect(delegate, &CellEditDelegate::textTaken, this,
            guarded([this](int col, int row, const QString& text) {
                DevListSetEditText(col, row, text);
            }));
    // The grid starts on its first selectable cell, without a selection event.
    DevList->setCurrentCellQuietly(DeviceGrid::kFixedCols, 1);

    BtnRefresh = makeButton(client, "BtnRefresh", "Refresh", 216, 8, 80, 33);
    BtnRefresh->setIcon(buttonIcon(QStringLiteral("refresh"), 16));
    BtnRefresh->setIconSize(QSize(16, 16));
    BtnExit = makeButton(client, "BtnExit", "Exit", 344, 8, 80, 33);
    BtnExit->setIcon(buttonIcon(QStringLiteral("exit"), 16));
    BtnExit->setIconSize(QSize(16, 16));
    BtnUpdSel = makeButton(client, "BtnUpdSel", "Update Device", 176, 240, 90, 36);
    BtnUpdMul = makeButton(client, "BtnUpdMul", "Update Multi", 288, 240, 90, 36);
    BtnUpdAll = makeButton(client, "BtnUpdAll", "Update All", 392, 240, 90, 36);
    BtnConDev = makeButton(client, "BtnConDev", "Connect to Device", 528, 240, 100, 36);

    ChkBcast = place(new QCheckBox(QStringLiteral("Control Packet Force Broadcast"), client),
                     "ChkBcast", 512, 208, 185, 25);
    ChkBcast->setChecked(false);

    EthList = place(new QComboBox(client), "EthList", 152, 208, 313, 21);
    EthList->setEditable(true);
    // Typed text never becomes an entry: the list holds the adapters only.
    EthList->setInsertPolicy(QComboBox::NoInsert);
    EthList->setCompleter(nullptr);
    EthList->setEditText(QStringLiteral("EthList"));

    StatusMsg = new QStatusBar(this);
    StatusMsg->setObjectName(QStringLiteral("StatusMsg"));
    setStatusBar(StatusMsg);
    const char* const panelNames[] = {"Device", "Message"};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* panel = new QLabel(QLatin1String(panelNames[i]), StatusMsg);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // Panels show what devices send: literally, never as markup.
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        m_panels[i] = panel;
    }
    m_panels[0]->setFixedWidth(kDevicePanelWidth);
    StatusMsg->addWidget(m_panels[0], 0);
    StatusMsg->addWidget(m_panels[1], 1);

    // At the stored size every widget stays where it was placed above; a
    // larger window gives the grid the room, the widgets below it follow
    // the bottom edge and the logo the right one.
    using A = AnchoredPlacement;
    m_placement = new AnchoredPlacement(client, QSize(kClientWidth, kClientHeightAboveStatus));
    m_placement->place(Logo, Logo->geometry(), A::Top | A::Right);
    m_placement->place(DevList, DevList->geometry(), A::Left | A::Top | A::Right | A::Bottom);
    for (QWidget* below : std::initializer_list<QWidget*>{Label1, BtnUpdSel, BtnUpdMul, BtnUpdAll,
                                                          BtnConDev, ChkBcast, EthList})
        m_placement->place(below, below->geometry(), A::Left | A::Bottom);
}

void TMainF::createGridCommands(std::function<QString()> chooseExportFile) {
    // Hidden until asked for, so nothing moves; while shown it takes the
    // bottom of the grid's place.
    m_findBar = new FindBar(centralWidget());
    m_placement->dockAtBottom(m_findBar, DevList);
    m_devListCommands =
        new DevListCommands(*DevList, m_session.grid(), *m_findBar, std::move(chooseExportFile));
    m_devListCommands->addWindowCommand(QStringLiteral("Update Results…"), "ActUpdateResults",
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                                        [this] { showUpdateResults(); });
    m_devListCommands->addWindowCommand(QStringLiteral("Restore Previous Settings…"), "ActRestore",
                                        {}, [this] { restorePreviousSettings(); });
    ActVerify = m_devListCommands->addWindowCommand(QStringLiteral("Verify After Update"),
                                                    "ActVerify", {}, {});
    ActVerify->setCheckable(true);
    ActVerify->setChecked(m_session.verifyAfterUpdate());
    connect(ActVerify, &QAction::toggled, this,
            [this](bool on) { m_session.setVerifyAfterUpdate(on); });
}

void TMainF::nameForAccessibility() {
    // Captions name the buttons already; the widgets without one get a name
    // here, so that a screen reader can tell every control apart.
    for (QPushButton* button : {BtnRefresh, BtnExit, BtnUpdSel, BtnUpdMul, BtnUpdAll, BtnConDev})
        button->setAccessibleName(button->text());
    ChkBcast->setAccessibleName(ChkBcast->text());
    DevList->setAccessibleName(QStringLiteral("Device list"));
    EthList->setAccessibleName(QStringLiteral("Select Adapter"));
    Label1->setBuddy(EthList);
    Logo->setAccessibleName(QStringLiteral("About ORBELUX"));
    // A screen reader reads an accessible name instead of a label's text, so
    // the panels and the bar, whose texts are their messages, keep those as
    // their names and say what they are in the description.
    m_panels[0]->setAccessibleDescription(QStringLiteral("Device status"));
    m_panels[1]->setAccessibleDescription(QStringLiteral("Message status"));
    StatusMsg->setAccessibleDescription(QStringLiteral("Status"));
}

void TMainF::createMenu() {
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    setMenuBar(MainMenu);
    // No shortcuts, separators or accelerators: "&" would make one.
    File1 = MainMenu->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Option1 = MainMenu->addMenu(QStringLiteral("Option"));
    Option1->setObjectName(QStringLiteral("Option1"));
    Help2 = MainMenu->addMenu(QStringLiteral("Help"));
    Help2->setObjectName(QStringLiteral("Help2"));

    const auto item = [](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QLatin1String(caption));
        action->setObjectName(QLatin1String(name));
        return action;
    };
    MnuExit = item(File1, "MnuExit", "Exit");
    MnuRefresh = item(Option1, "MnuRefresh", "Refresh");
    MnuUpdateDev = item(Option1, "MnuUpdateDev", "Update Device");
    MnuUpdMul = item(Option1, "MnuUpdMul", "Update Multi-Device");
    MnuUpdateAll = item(Option1, "MnuUpdateAll", "Update All");
    MnuBcast = item(Option1, "MnuBcast", "Control Packet Force Broadcast");
    MnuBcast->setCheckable(true);
    MnuBcast->setChecked(false);
    MnuKavren = item(Help2, "MnuKavren", "About ORBELUX");
    MnuVer = item(Help2, "MnuVer", "Version");
}

void TMainF::connectHandlers() {
    // A button and its menu item call the same handler. Every handler is
    // guarded: an error it throws is shown and the window goes on.
    const auto onClick = [this](QPushButton* button, void (TMainF::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                guarded([this, handler] { (this->*handler)(); }));
    };
    const auto onTrigger = [this](QAction* action, void (TMainF::*handler)()) {
        connect(action, &QAction::triggered, this,
                guarded([this, handler] { (this->*handler)(); }));
    };
    onClick(BtnRefresh, &TMainF::BtnRefreshClick);
    onClick(BtnExit, &TMainF::BtnExitClick);
    onClick(BtnUpdSel, &TMainF::BtnUpdSelClick);
    onClick(BtnUpdMul, &TMainF::BtnUpdMulClick);
    onClick(BtnUpdAll, &TMainF::BtnUpdAllClick);
    onClick(BtnConDev, &TMainF::BtnConDevClick);
    onTrigger(MnuExit, &TMainF::BtnExitClick);
    onTrigger(MnuRefresh, &TMainF::BtnRefreshClick);
    onTrigger(MnuUpdateDev, &TMainF::BtnUpdSelClick);
    onTrigger(MnuUpdMul, &TMainF::BtnUpdMulClick);
    onTrigger(MnuUpdateAll, &TMainF::BtnUpdAllClick);
    onTrigger(MnuBcast, &TMainF::MnuBcastClick);
    onTrigger(MnuKavren, &TMainF::MnuKavrenClick);
    onTrigger(MnuVer, &TMainF::MnuVerClick);
    connect(Logo, &LogoLabel::clicked, this, guarded([this] { MnuKavrenClick(); }));
    connect(DevList, &DevListView::cellSelected, this,
            guarded([this](int col, int row) { DevListSelectCell(col, row); }));
    // A chosen entry and typed text both count as a change of the list.
    connect(EthList, &QComboBox::currentIndexChanged, this,
            guarded([this](int) { EthListChange(); }));
    connect(EthList, &QComboBox::editTextChanged, this,
            guarded([this](const QString&) { EthListChange(); }));
    // ChkBcast has no handler: clicking it only turns the switch over.

    IdUDPServer.OnUDPRead = [this](net::TIdUDPServer& server,
                                   std::span<const std::uint8_t> datagram,
                                   net::TIdSocketHandle& binding) {
        guarded([&] { IdUDPServerUDPRead(server, datagram, binding); })();
    };
}

void TMainF::setTabOrder() {
    QWidget* const order[] = {DevList,   BtnRefresh, BtnExit,  BtnUpdSel, BtnUpdMul,
                              BtnUpdAll, BtnConDev,  ChkBcast, EthList};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
    Logo->setFocusPolicy(Qt::NoFocus);
    DevList->setFocus();
}

void TMainF::FormCreate() {
    {
        // Choosing entry 0 here is not a change of the list.
        const QSignalBlocker blocker(EthList);
        m_session.listAdapters();
        const net::AdapterList& adapters = m_session.adapters();
        for (const std::string& entry : adapters.entryTexts())
            EthList->addItem(toQt(entry));
        if (adapters.initialSelection() >= 0) {
            EthList->setCurrentIndex(adapters.initialSelection());
        } else {
            EthList->setEditText(QStringLiteral("EthList"));
        }
    }
    // When another copy holds the port, the error is shown and set-up goes on,
    // so the window is complete; it just receives nothing.
    try {
        m_session.openReceiver();
    } catch (...) {
        showCurrentException();
    }
    m_session.grid().setUp();
    BtnUpdSel->setEnabled(false);
    BtnUpdMul->setEnabled(false);
    BtnUpdAll->setEnabled(false);
    BtnConDev->setEnabled(false);
    m_session.showSourceSubnet();
}

void TMainF::BtnExitClick() {
    // The program's main window is closed, not the window that asked.
    if (MainF) {
        MainF->close();
    } else {
        close();
    }
}

void TMainF::BtnRefreshClick() {
    grid().clear();
    BtnUpdMul->setEnabled(true);
    BtnUpdAll->setEnabled(true);
    m_session.sendDiscoveryRequest();
}

void TMainF::BtnUpdSelClick() {
    m_session.updateDevice();
}

void TMainF::BtnUpdMulClick() {
    m_session.updateMulti();
}

void TMainF::BtnUpdAllClick() {
    m_session.updateAll();
}

void TMainF::BtnConDevClick() {
    const auto row = grid().currentRow();
    if (!row || !grid().isDeviceRow(*row))
        return;
    // The address is "http://" and the DeviceIP text, as it stands; whether a
    // browser opens it is not examined.
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("http://") + toQt(grid().cell(DeviceGrid::ColDeviceIp, *row))));
}

void TMainF::DevListSelectCell(int col, int row) {
    grid().selectCell(col, row);
}

void TMainF::DevListSetEditText(int col, int row, const QString& text) {
    std::string bytes;
    if (col == DeviceGrid::ColNewPassword) {
        // Refused, not changed: the cell keeps the last text that fits.
        auto password = passwordFromQt(text);
        if (!password) {
            PlainMessageBox::show(wording::kPasswordCharsetError);
            return;
        }
        bytes = std::move(*password);
    } else {
        bytes = fromQt(text);
    }
    grid().setCell(col, row, bytes);
    grid().setEditText(col, row, bytes);
}

void TMainF::IdUDPServerUDPRead(net::TIdUDPServer& /*sender*/,
                                std::span<const std::uint8_t> datagram,
                                net::TIdSocketHandle& binding) {
    m_session.takeReply(datagram, binding.peerIP());
}

void TMainF::EthListChange() {
    // Typed text that is no entry selects nothing: the source address stays.
    int index = EthList->currentIndex();
    if (index >= 0 && EthList->currentText() != EthList->itemText(index))
        index = -1;
    m_session.chooseAdapter(index);
}

void TMainF::MnuKavrenClick() {
    QDesktopServices::openUrl(QUrl(toQt(kMakerSite)));
}

void TMainF::MnuBcastClick() {
    // The check box is the switch; the menu mark follows it only here, so the
    // toggle goes by the box even when the mark disagrees. (Qt has already
    // flipped the mark by the time this runs; it is set afresh below.)
    if (ChkBcast->isChecked()) {
        MnuBcast->setChecked(false);
        ChkBcast->setChecked(false);
    } else {
        ChkBcast->setChecked(true);
        MnuBcast->setChecked(true);
    }
}

void TMainF::MnuVerClick() {
    PlainMessageBox::show(kVersionText);
}

void TMainF::restorePreviousSettings() {
    if (const auto row = m_devListCommands->targetRow())
        m_session.restorePreviousSettings(*row);
}

void TMainF::showUpdateResults() {
    if (!m_resultsDlg)
        m_resultsDlg = new UpdateResultsDlg(m_session.updateResults(), m_chooseExportFile, this);
    m_resultsDlg->refresh();
    m_resultsDlg->show();
    m_resultsDlg->raise();
    m_resultsDlg->activateWindow();
}

void TMainF::showStatus(std::size_t panel, std::string_view text) {
    m_panels.at(panel)->setText(toQt(text));
}

bool TMainF::forceBroadcast() const {
    return ChkBcast->isChecked();
}

void TMainF::cellSelected() {
    BtnUpdSel->setEnabled(true);
    BtnConDev->setEnabled(true);
}

void TMainF::requestSent() {
    BtnUpdSel->setEnabled(false);
}

void TMainF::resultsChanged() {
    if (m_resultsDlg)
        m_resultsDlg->refresh();
}

}  // namespace kavren::app
