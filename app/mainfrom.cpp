// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainfrom.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <stdexcept>

#include "app/anchoredplacement.h"
#include "app/celleditdelegate.h"
#include "app/devicetablemodel.h"
#include "app/devlistcommands.h"
#include "app/devlistview.h"
#include "app/errordisplay.h"
#include "app/faces.h"
#include "app/findbar.h"
#include "app/logolabel.h"
#include "app/plainmessagebox.h"
#include "app/programicon.h"
#include "app/textbridge.h"
#include "changes/changerecord.h"
#include "net/idsockethandle.h"
#include "protocol/packets.h"
#include "usecases/configuration.h"

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
// A received datagram is read into a buffer of this size.
constexpr std::size_t kReplyBufferSize = protocol::kReceiveBufferSize;
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

TMainF::TMainF(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      m_devices(devices::DeviceList::kExpectedDevices, services.maxDevices),
      m_grid(m_devices),
      m_adapterQuery(std::move(services.adapterQuery)),
      m_endpointSender(IdUDPClient, m_adapters),
      m_senderOverride(services.sender),
      m_receivePort(services.receivePort),
      m_resultWait(services.resultWait),
      m_chooseExportFile(services.chooseExportFile),
      m_recorder(std::move(services.auditTrailPath),
                 [](const QString& text) { PlainMessageBox::show(fromQt(text)); }),
      m_settingsPath(std::move(services.settingsPath)),
      m_netmaskOf(std::move(services.netmaskOf)),
      m_pacer(m_devices, static_cast<usecases::ReplyEvents&>(*this),
              [this](std::size_t maxEntries) { return IdUDPServer.deliverPending(maxEntries); }) {
    initKavrenResources();
    // Both endpoints take datagrams of at most 1024 bytes: the receive thread
    // cuts longer ones there, so a queue entry never holds more and the
    // queue's bound also bounds its memory.
    IdUDPClient.setBufferSize(static_cast<int>(kReplyBufferSize));
    IdUDPServer.setBufferSize(static_cast<int>(kReplyBufferSize));
    createWidgets();
    createGridCommands(std::move(services.chooseExportFile));
    createMenu();
    nameForAccessibility();
    // The form's stored place and size: the client area of 793 x 296 below
    // the menu bar, the status bar being part of it.
    resize(kClientWidth, MainMenu->sizeHint().height() + kClientHeightAboveStatus +
                             StatusMsg->sizeHint().height());
    move(kWindowLeft, kWindowTop);
    connectHandlers();
    setTabOrder();
    m_grid.setEffects(this);
    FormCreate();
}

TMainF::~TMainF() {
    // The receiving endpoint goes first: its thread is stopped and joined, and
    // datagrams still queued are dropped, before any widget is destroyed.
    // (OnWake is left alone: the receive thread may be calling it until the
    // close below has joined it.)
    try {
        IdUDPServer.setActive(false);
    } catch (...) {
        // Nothing can be shown any more; closing goes on regardless.
    }
    m_grid.setEffects(nullptr);
    // The view and the model refer to the grid, which is a member: they go
    // before it, while the rest of the widgets follow with the window.
    delete DevList;
    DevList = nullptr;
    m_model.reset();
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
    m_model = std::make_unique<DeviceTableModel>(m_grid);
    DevList->setDeviceModel(m_model.get());
    auto* delegate = new CellEditDelegate(DevList);
    DevList->setItemDelegate(delegate);
    connect(delegate, &CellEditDelegate::textTaken, this,
            guarded([this](int col, int row, const QString& text) {
                DevListSetEditText(col, row, text);
            }));
    // The grid starts on its first selectable cell, without a selection event.
    DevList->setCurrentCellQuietly(DeviceGrid::kFixedCols, 1);

    BtnRefresh = makeButton(client, "BtnRefresh", "Refresh", 216, 8, 80, 33);
    BtnRefresh->setIcon(QIcon(QStringLiteral(":/kavren/refresh.png")));
    BtnRefresh->setIconSize(QSize(16, 16));
    BtnExit = makeButton(client, "BtnExit", "Exit", 344, 8, 80, 33);
    BtnExit->setIcon(QIcon(QStringLiteral(":/kavren/exit.png")));
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
        new DevListCommands(*DevList, m_grid, *m_findBar, std::move(chooseExportFile));
    m_devListCommands->addWindowCommand(QStringLiteral("Update Results…"), "ActUpdateResults",
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                                        [this] { showUpdateResults(); });
    m_devListCommands->addWindowCommand(QStringLiteral("Restore Previous Settings…"), "ActRestore",
                                        {}, [this] { restorePreviousSettings(); });
    ActVerify = m_devListCommands->addWindowCommand(QStringLiteral("Verify After Update"),
                                                    "ActVerify", {}, {});
    ActVerify->setCheckable(true);
    ActVerify->setChecked(settings()->value(QStringLiteral("VerifyAfterUpdate"), false).toBool());
    connect(ActVerify, &QAction::toggled, this,
            [this](bool on) { settings()->setValue(QStringLiteral("VerifyAfterUpdate"), on); });
}

std::unique_ptr<QSettings> TMainF::settings() const {
    if (!m_settingsPath.isEmpty())
        return std::make_unique<QSettings>(m_settingsPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("kavren"), QStringLiteral("window"));
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

void TMainF::showSourceSubnet() {
    const std::string& source = m_adapters.sourceAddress();
    std::optional<std::string> mask;
    // The tests give a mask of their own; the program takes the one the
    // platform reported with the chosen address.
    if (!source.empty())
        mask = m_netmaskOf ? m_netmaskOf(source) : m_adapters.netmaskOf(source);
    m_model->setSourceSubnet(source, mask.value_or(std::string()));
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
    IdUDPServer.OnWake = [this] { postDelivery(); };
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
        if (m_adapterQuery)
            m_adapters.fill(*m_adapterQuery);
        for (const std::string& entry : m_adapters.entryTexts())
            EthList->addItem(toQt(entry));
        if (m_adapters.initialSelection() >= 0) {
            EthList->setCurrentIndex(m_adapters.initialSelection());
        } else {
            EthList->setEditText(QStringLiteral("EthList"));
        }
    }
    // When another copy holds the port, the error is shown and set-up goes on,
    // so the window is complete; it just receives nothing.
    try {
        IdUDPServer.binding(0).setPort(m_receivePort);
        IdUDPServer.setActive(true);
    } catch (...) {
        showCurrentException();
    }
    m_grid.setUp();
    BtnUpdSel->setEnabled(false);
    BtnUpdMul->setEnabled(false);
    BtnUpdAll->setEnabled(false);
    BtnConDev->setEnabled(false);
    showSourceSubnet();
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
    m_grid.clear();
    BtnUpdMul->setEnabled(true);
    BtnUpdAll->setEnabled(true);
    usecases::sendDiscoveryRequest(sender());
}

void TMainF::BtnUpdSelClick() {
    updates().updateDevice(m_grid.currentRow());
}

void TMainF::BtnUpdMulClick() {
    updates().updateMulti();
}

void TMainF::BtnUpdAllClick() {
    updates().updateAll();
}

void TMainF::BtnConDevClick() {
    const auto row = m_grid.currentRow();
    if (!row || !m_grid.isDeviceRow(*row))
        return;
    // The address is "http://" and the DeviceIP text, as it stands; whether a
    // browser opens it is not examined.
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("http://") + toQt(m_grid.cell(DeviceGrid::ColDeviceIp, *row))));
}

void TMainF::DevListSelectCell(int col, int row) {
    m_grid.selectCell(col, row);
}

void TMainF::DevListSetEditText(int col, int row, const QString& text) {
    std::string bytes;
    if (col == DeviceGrid::ColNewPassword) {
        // Refused, not changed: the cell keeps the last text that fits.
        auto password = passwordFromQt(text);
        if (!password) {
            PlainMessageBox::show(usecases::kPasswordCharsetError);
            return;
        }
        bytes = std::move(*password);
    } else {
        bytes = fromQt(text);
    }
    m_grid.setCell(col, row, bytes);
    m_grid.setEditText(col, row, bytes);
}

void TMainF::IdUDPServerUDPRead(net::TIdUDPServer& /*sender*/,
                                std::span<const std::uint8_t> datagram,
                                net::TIdSocketHandle& binding) {
    // Devices are known by what their packets carry; the sender's address
    // only shows a second host claiming a listed MAC.
    if (datagram.empty())
        return;
    std::array<std::uint8_t, kReplyBufferSize> buffer{};
    const std::size_t count = std::min(datagram.size(), buffer.size());
    std::copy_n(datagram.begin(), count, buffer.begin());
    if (!m_verifying.empty())
        checkVerification(std::span<const std::uint8_t>(buffer.data(), count));
    usecases::handleReply(m_devices, m_pacer, std::span<const std::uint8_t>(buffer.data(), count),
                          binding.peerIP().value());
}

void TMainF::EthListChange() {
    // Typed text that is no entry selects nothing: the source address stays.
    int index = EthList->currentIndex();
    if (index >= 0 && EthList->currentText() != EthList->itemText(index))
        index = -1;
    m_adapters.selectionChanged(index);
    showSourceSubnet();
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

void TMainF::cellSelected() {
    BtnUpdSel->setEnabled(true);
    BtnConDev->setEnabled(true);
}

void TMainF::showMessage(std::string_view text) {
    PlainMessageBox::show(text);
}

void TMainF::deviceListed(std::string_view name, std::string_view mac) {
    showDevice(name, mac);
    showStatus(1, "Get Device Information done.");
}

// The outcome mark judges the answer again by the same rule, as it is also
// set when the wait ends or a verification settles.
void TMainF::resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                            bool accepted) {
    showDevice(name, mac);
    showStatus(1, text);
    // The answer belongs to the device's newest request still waiting; one
    // that comes after the wait still counts, late as it is.
    const auto waiting = std::find_if(
        m_updateResults.rbegin(), m_updateResults.rend(),
        [mac](const UpdateResult& result) { return result.mac == mac && !result.answer; });
    if (waiting == m_updateResults.rend())
        return;
    waiting->answer = std::string(text);
    const auto index = static_cast<std::size_t>(std::distance(waiting, m_updateResults.rend()) - 1);
    m_recorder.answered(index, waiting->answer);
    markOutcome(*waiting);
    if (ActVerify->isChecked() && accepted)
        verifyChange(index);
}

void TMainF::verifyChange(std::size_t index) {
    if (!m_recorder.target(index) || m_verifying.contains(index))
        return;
    m_verifying.emplace(index, std::nullopt);
    // The Refresh request without clearing the list: every device answers,
    // and the one changed tells what it took.
    usecases::sendDiscoveryRequest(sender());
    QTimer::singleShot(m_resultWait, this, [this, index] { verificationOver(index); });
}

void TMainF::checkVerification(std::span<const std::uint8_t> datagram) {
    const protocol::Reply reply = protocol::recognise(datagram);
    const auto* info = std::get_if<protocol::DeviceInfoReply>(&reply);
    if (info == nullptr)
        return;
    const std::optional<devices::DeviceRecord> record = devices::deviceRecordOf(*info);
    for (auto it = m_verifying.begin(); it != m_verifying.end();) {
        UpdateResult& result = m_updateResults[it->first];
        if (result.mac != record->mac) {
            ++it;
            continue;
        }
        it->second = *record;
        // The rule kavren's verification judges by.
        if (!usecases::reportsSettings(*record, *m_recorder.target(it->first))) {
            ++it;
            continue;
        }
        const std::size_t index = it->first;
        it = m_verifying.erase(it);
        result.verified = true;
        m_recorder.verified(index, true, {});
        showReported(*record);
        markOutcome(result);
    }
}

void TMainF::verificationOver(std::size_t index) {
    const auto it = m_verifying.find(index);
    if (it == m_verifying.end())
        return;
    const std::optional<devices::DeviceRecord> seen = it->second;
    m_verifying.erase(it);
    UpdateResult& result = m_updateResults[index];
    result.verified = false;
    m_recorder.verified(
        index, false,
        seen ? "found again, but not with the requested settings" : "not found again");
    if (seen)
        showReported(*seen);
    markOutcome(result);
}

void TMainF::showReported(const devices::DeviceRecord& record) {
    // The row follows what the device now reports, the address to take too.
    if (const auto row = m_devices.findByMac(record.mac))
        m_devices.reportsNow(*row, record);
}

void TMainF::answerWaitOver(std::size_t index) {
    UpdateResult& result = m_updateResults.at(index);
    if (result.answer)
        return;
    result.noAnswer = true;
    m_recorder.answered(index, std::nullopt);
    markOutcome(result);
}

void TMainF::markOutcome(const UpdateResult& result) {
    if (m_resultsDlg)
        m_resultsDlg->refresh();
    const auto row = m_grid.list().findByMac(result.mac);
    if (!row)
        return;
    const QString sentTo =
        QStringLiteral("Last update: sent to %1, ").arg(toQt(result.destination));
    if (result.verified) {
        m_model->setOutcome(
            *row, *result.verified ? DeviceTableModel::Verified : DeviceTableModel::NotVerified,
            sentTo + QStringLiteral("answered \"%1\", %2")
                         .arg(answerText(result), verificationText(result)));
    } else if (!result.answer && !result.noAnswer) {
        m_model->setOutcome(*row, DeviceTableModel::Sent, sentTo + QStringLiteral("no answer yet"));
    } else if (!result.answer) {
        m_model->setOutcome(*row, DeviceTableModel::NoAnswer, sentTo + answerText(result));
    } else {
        const bool accepted = usecases::acceptedAnswer(*result.answer);
        m_model->setOutcome(*row, accepted ? DeviceTableModel::Accepted : DeviceTableModel::Refused,
                            sentTo + QStringLiteral("answered \"%1\"").arg(answerText(result)));
    }
}

void TMainF::restorePreviousSettings() {
    const auto row = m_devListCommands->targetRow();
    if (!row)
        return;
    QString error;
    const auto last =
        m_recorder.trail().lastChange(m_grid.list().field(devices::DeviceField::Mac, *row), error);
    if (!last) {
        PlainMessageBox::show(fromQt(error));
        return;
    }
    const auto before = changes::settingsFromJson(last->value(QStringLiteral("before")).toObject());
    const auto after = changes::settingsFromJson(last->value(QStringLiteral("after")).toObject());
    const std::pair<int, const std::string*> cells[] = {
        {DeviceGrid::ColIp, &before.ip},
        {DeviceGrid::ColMask, &before.mask},
        {DeviceGrid::ColGateway, &before.gateway},
        {DeviceGrid::ColDescription, &before.description}};
    for (const auto& [col, text] : cells)
        m_grid.setCell(col, *row, *text);
    // The trail holds no password: a new one set then stays.
    m_grid.setCell(DeviceGrid::ColNewPassword, *row, std::string());
    m_restoring = last->value(QStringLiteral("change")).toString().toStdString();
    struct Done {
        std::string& change;
        ~Done() { change.clear(); }
    } const done{m_restoring};
    updates().updateRowAt(*row, after.ip);
}

void TMainF::showUpdateResults() {
    if (!m_resultsDlg)
        m_resultsDlg = new UpdateResultsDlg(m_updateResults, m_chooseExportFile, this);
    m_resultsDlg->refresh();
    m_resultsDlg->show();
    m_resultsDlg->raise();
    m_resultsDlg->activateWindow();
}

void TMainF::listFull() {
    showStatus(1, usecases::kDeviceListFullText);
}

void TMainF::showDevice(std::string_view name, std::string_view mac) {
    // "Device : name (MAC)", built in a reused buffer: no allocation once it
    // has grown to the longest line.
    m_deviceLine.assign("Device : ");
    m_deviceLine.append(name).append(" (").append(mac).push_back(')');
    showStatus(0, m_deviceLine);
}

void TMainF::showStatus(std::size_t panel, std::string_view text) {
    m_panels.at(panel)->setText(toQt(text));
}

bool TMainF::alwaysBroadcast() const {
    return ChkBcast->isChecked();
}

void TMainF::requestSentTo(std::string_view mac, std::string_view destination) {
    m_updateResults.push_back({.mac = std::string(mac),
                               .destination = std::string(destination),
                               .answer = std::nullopt,
                               .noAnswer = false,
                               .verified = std::nullopt});
    m_recorder.sent(m_updateResults.size() - 1);
    markOutcome(m_updateResults.back());
    QTimer::singleShot(m_resultWait, this,
                       [this, index = m_updateResults.size() - 1] { answerWaitOver(index); });
}

bool TMainF::aboutToSend(int row, const usecases::CheckedSettings& settings, std::string& error) {
    const auto adapter = protocol::Ipv4Address::parse(m_adapters.sourceAddress());
    if (m_recorder.sending(m_devices, row, settings, adapter.value_or(protocol::Ipv4Address()),
                           error, m_restoring))
        return true;
    PlainMessageBox::show(error);
    return false;
}

void TMainF::requestSent() {
    BtnUpdSel->setEnabled(false);
}

net::DatagramSender& TMainF::sender() {
    return m_senderOverride ? *m_senderOverride
                            : static_cast<net::DatagramSender&>(m_endpointSender);
}

void TMainF::useUpdateCommands(std::unique_ptr<usecases::UpdatePrompts> prompts,
                               std::unique_ptr<usecases::UpdateCommands> commands) {
    m_updates.reset();
    m_prompts = std::move(prompts);
    m_updates = std::move(commands);
}

usecases::UpdateCommands& TMainF::updates() {
    // A window built without the composition root (some tests do) has no
    // dialogs to ask through.
    if (!m_updates)
        throw std::logic_error("The update dialogs do not exist");
    return *m_updates;
}

void TMainF::postDelivery() {
    // Runs on the receive thread: it only posts, and only one call at a time.
    if (m_deliveryPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this, [this] { deliverReplies(); }, Qt::QueuedConnection);
}

void TMainF::deliverReplies() {
    if (const auto wait = m_pacer.delayBeforeSlice(); wait.count() > 0) {
        // Still posted, so the receive thread does not post again meanwhile.
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(wait), this,
                           [this] { deliverReplies(); });
        return;
    }
    // Cleared before delivering: a datagram that arrives meanwhile posts a
    // new call rather than waiting for the next burst.
    m_deliveryPosted.store(false);
    if (m_pacer.runSlice())
        postDelivery();
}

}  // namespace kavren::app
