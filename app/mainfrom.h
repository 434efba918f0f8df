// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/devicegrid.h"
#include "app/updaterecorder.h"
#include "app/updateresultsdlg.h"
#include "devices/devicelist.h"
#include "net/adapters.h"
#include "net/endpointsender.h"
#include "net/idudpclient.h"
#include "net/idudpserver.h"
#include "usecases/configurationrun.h"
#include "usecases/discovery.h"
#include "app/replypacer.h"
#include "usecases/updatecommands.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSettings;
class QStatusBar;

namespace kavren::app {

class TPwdDlg;
class TCfgDlg;
class AnchoredPlacement;
class DevListCommands;
class DevListView;
class DeviceTableModel;
class FindBar;
class LogoLabel;

// What the main window is built on besides its own widgets. The program's
// composition root (app/composition.h) gives it the platform's adapter query
// and leaves the rest as it is: the send sequence over the window's own
// sending endpoint and the receiving port 62631. The tests put a recording
// sender, a fixed adapter list and a free port in their place.
struct MainWindowServices {
    std::unique_ptr<net::AdapterQuery> adapterQuery;  // null: no adapters are listed
    net::DatagramSender* sender = nullptr;            // null: the send sequence over IdUDPClient
    std::uint16_t receivePort = net::TIdUDPServer::kDefaultPort;
    // The net mask (dotted text) of the adapter that holds a source address,
    // against which device addresses are checked; null or nullopt: no check.
    std::function<std::optional<std::string>(std::string_view sourceAddress)> netmaskOf{};
    // The file the device list is exported to; null: a file dialog asks.
    std::function<QString()> chooseExportFile{};
    // Devices listed at most; tests that reach the bound ask for fewer.
    int maxDevices = devices::DeviceList::kMaxDevices;
    // How long an update waits for the device's result message before it
    // counts as unanswered: the core's wait, as kavren's.
    std::chrono::milliseconds resultWait = usecases::RunOptions{}.resultTimeout;
    // The audit trail every request is written to ahead; empty: kavren's
    // per-user default file.
    QString auditTrailPath{};
    // The file the window's own choices are kept in (an INI file); empty:
    // the platform's place for the user's settings.
    QString settingsPath{};
};

// The main window. It is a thin adapter: each handler (named after its widget
// and event) is a few lines that call into the core, which holds the logic.
class TMainF final : public QMainWindow,
                     private GridEffects,
                     private usecases::ReplyEvents,
                     private usecases::UpdateOptions,
                     private usecases::UpdateEvents {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainF)

public:
    static constexpr std::string_view kCaption = "ORBELUX Trelvio";
    static constexpr std::string_view kVersionText = "Version 1.0 Build 120425";
    // The maker's web site, opened by About and by a click on the logo.
    static constexpr std::string_view kMakerSite = "http://www.example.com/";
    explicit TMainF(MainWindowServices services = {}, QWidget* parent = nullptr);
    ~TMainF() override;

    // The form's widgets, endpoints and menu, in their stored order. The
    // window owns all of them.
    DevListView* DevList = nullptr;
    net::TIdUDPClient IdUDPClient;
    net::TIdUDPServer IdUDPServer;
    QMenuBar* MainMenu = nullptr;
    QMenu* File1 = nullptr;
    QMenu* Option1 = nullptr;
    QMenu* Help2 = nullptr;
    QPushButton* BtnRefresh = nullptr;
    QPushButton* BtnExit = nullptr;
    QPushButton* BtnUpdSel = nullptr;
    QPushButton* BtnUpdMul = nullptr;
    QPushButton* BtnUpdAll = nullptr;
    QPushButton* BtnConDev = nullptr;
    QCheckBox* ChkBcast = nullptr;
    QComboBox* EthList = nullptr;
    QAction* MnuExit = nullptr;
    QAction* MnuRefresh = nullptr;
    QAction* MnuUpdateDev = nullptr;
    QAction* MnuUpdMul = nullptr;
    QAction* MnuUpdateAll = nullptr;
    QAction* MnuBcast = nullptr;
    QAction* MnuKavren = nullptr;
    QAction* MnuVer = nullptr;
    LogoLabel* Logo = nullptr;
    QStatusBar* StatusMsg = nullptr;
    QLabel* Label1 = nullptr;

    // Handlers.
    void FormCreate();
    void BtnExitClick();
    void BtnRefreshClick();
    void BtnUpdSelClick();
    void BtnUpdMulClick();
    void BtnUpdAllClick();
    void BtnConDevClick();
    void DevListSelectCell(int col, int row);
    void DevListSetEditText(int col, int row, const QString& text);
    void IdUDPServerUDPRead(net::TIdUDPServer& sender, std::span<const std::uint8_t> datagram,
                            net::TIdSocketHandle& binding);
    void EthListChange();
    void MnuKavrenClick();
    void MnuBcastClick();
    void MnuVerClick();

    DeviceGrid& grid() { return m_grid; }
    devices::DeviceList& deviceList() { return m_devices; }
    const net::AdapterList& adapters() const { return m_adapters; }
    DeviceTableModel* gridModel() const { return m_model.get(); }
    ReplyPacer& replyPacer() { return m_pacer; }
    // The two status bar panels: 0 "Device", 1 "Message".
    QLabel* statusPanel(int panel) const { return m_panels.at(static_cast<std::size_t>(panel)); }
    FindBar* findBar() const { return m_findBar; }
    DevListCommands* devListCommands() const { return m_devListCommands; }

    // What the update commands work with, for the composition root that puts
    // them together: the window's sender, its broadcast switch and its side of
    // a sent request.
    net::DatagramSender& sender();
    const usecases::UpdateOptions& updateOptions() const { return *this; }
    usecases::UpdateEvents& updateEvents() { return *this; }
    // The commands behind Update Device, Update Multi and Update All, with the
    // prompts they ask through. They can only be made once the dialogs exist,
    // after the window; the window keeps both to its end. Until they are
    // handed over, the buttons report that the dialogs are missing.
    void useUpdateCommands(std::unique_ptr<usecases::UpdatePrompts> prompts,
                           std::unique_ptr<usecases::UpdateCommands> commands);

    // Every update since the window opened, newest last.
    const std::vector<UpdateResult>& updateResults() const { return m_updateResults; }
    // "Update Results…": opens (or brings up) the window listing them.
    void showUpdateResults();
    // "Restore Previous Settings…": puts the settings from before the
    // device's last recorded change into its row and updates it as usual,
    // at the address that change gave it.
    void restorePreviousSettings();
    // "Verify After Update": after "Setting OK" the device is looked for
    // again and marked verified when it reports the requested settings.
    QAction* ActVerify = nullptr;

private:
    // GridEffects: a selection enables Update Device and Connect to Device.
    void cellSelected() override;
    void showMessage(std::string_view text) override;
    // ReplyEvents: panel 0 names the device, panel 1 says what happened.
    void deviceListed(std::string_view name, std::string_view mac) override;
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool accepted) override;
    void listFull() override;
    void showDevice(std::string_view name, std::string_view mac);
    // The wait for result `index`'s answer is over.
    void answerWaitOver(std::size_t index);
    void markOutcome(const UpdateResult& result);
    void verifyChange(std::size_t index);
    // A device information reply, looked at for the changes being verified.
    void checkVerification(std::span<const std::uint8_t> datagram);
    void verificationOver(std::size_t index);
    void showReported(const devices::DeviceRecord& record);
    std::unique_ptr<QSettings> settings() const;
    void showStatus(std::size_t panel, std::string_view text);
    // UpdateOptions: ChkBcast checked.
    bool alwaysBroadcast() const override;
    // UpdateEvents: a sent request disables Update Device.
    void requestSent() override;
    void requestSentTo(std::string_view mac, std::string_view destination) override;
    bool aboutToSend(int row, const usecases::CheckedSettings& settings,
                     std::string& error) override;

    void createWidgets();
    void createGridCommands(std::function<QString()> chooseExportFile);
    void nameForAccessibility();
    void showSourceSubnet();
    void createMenu();
    void connectHandlers();
    void setTabOrder();
    usecases::UpdateCommands& updates();
    void postDelivery();
    void deliverReplies();

    // The listed devices: the grid shows them, the use cases work on them.
    devices::DeviceList m_devices;
    DeviceGrid m_grid;
    net::AdapterList m_adapters;
    std::unique_ptr<net::AdapterQuery> m_adapterQuery;
    net::EndpointSender m_endpointSender;
    net::DatagramSender* m_senderOverride;
    std::uint16_t m_receivePort;
    std::unique_ptr<DeviceTableModel> m_model;
    std::vector<UpdateResult> m_updateResults;
    std::chrono::milliseconds m_resultWait;
    std::function<QString()> m_chooseExportFile;
    UpdateResultsDlg* m_resultsDlg = nullptr;
    UpdateRecorder m_recorder;
    std::string m_restoring;  // the change a restore under way takes back
    QString m_settingsPath;
    // The results being verified: the device's latest reply meanwhile, if any.
    std::map<std::size_t, std::optional<devices::DeviceRecord>> m_verifying;
    std::function<std::optional<std::string>(std::string_view)> m_netmaskOf;
    AnchoredPlacement* m_placement = nullptr;
    FindBar* m_findBar = nullptr;
    DevListCommands* m_devListCommands = nullptr;
    std::array<QLabel*, 2> m_panels{};
    std::string m_deviceLine;  // reused for panel 0's text
    std::unique_ptr<usecases::UpdatePrompts> m_prompts;
    std::unique_ptr<usecases::UpdateCommands> m_updates;  // goes before the prompts it asks through
    // Set while a delivery call is posted and not yet run, so a burst of
    // wake-ups posts one call instead of thousands.
    std::atomic<bool> m_deliveryPosted{false};
    // Hands the queued replies to IdUDPServerUDPRead in slices and holds the
    // status texts of a slice; the window only posts its calls.
    ReplyPacer m_pacer;
};

}  // namespace kavren::app

// The three windows, program-wide and exported by the executable. Each holds
// its window from creation to the end of the run; a window whose creation
// failed leaves its variable empty.
extern Q_DECL_EXPORT kavren::app::TMainF* MainF;
extern Q_DECL_EXPORT kavren::app::TPwdDlg* PwdDlg;
extern Q_DECL_EXPORT kavren::app::TCfgDlg* CfgDlg;
