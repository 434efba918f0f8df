// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "app/devicesession.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
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

// The main window. It is a thin adapter: each handler (named after its widget
// and event) is a few lines that call into the session the composition root
// made for it, which holds the devices, the endpoints and the logic.
class TMainF final : public QMainWindow, private SessionView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainF)

public:
    static constexpr std::string_view kCaption = "ORBELUX Trelvio";
    static constexpr std::string_view kVersionText = "Version 1.0 Build 120425";
    // The maker's web site, opened by About and by a click on the logo.
    static constexpr std::string_view kMakerSite = "http://www.example.com/";
    // The session must outlive the window. `chooseExportFile` names the file
    // an export goes to; null: a file dialog asks.
    explicit TMainF(DeviceSession& session, std::function<QString()> chooseExportFile = {},
                    QWidget* parent = nullptr);
    ~TMainF() override;

    // The form's widgets, endpoints and menu, in their stored order. The
    // window owns the widgets and the menu; the endpoints are the session's.
    DevListView* DevList = nullptr;
    net::TIdUDPClient& IdUDPClient;
    net::TIdUDPServer& IdUDPServer;
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

    DeviceSession& session() { return m_session; }
    DeviceGrid& grid() { return m_session.grid(); }
    devices::DeviceList& deviceList() { return m_session.deviceList(); }
    const net::AdapterList& adapters() const { return m_session.adapters(); }
    DeviceTableModel* gridModel() const { return m_session.gridModel(); }
    ReplyPacer& replyPacer() { return m_session.replyPacer(); }
    // The two status bar panels: 0 "Device", 1 "Message".
    QLabel* statusPanel(int panel) const { return m_panels.at(static_cast<std::size_t>(panel)); }
    FindBar* findBar() const { return m_findBar; }
    DevListCommands* devListCommands() const { return m_devListCommands; }

    // Every update since the window opened, newest last.
    const std::vector<UpdateResult>& updateResults() const { return m_session.updateResults(); }
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
    // SessionView.
    void showStatus(std::size_t panel, std::string_view text) override;
    bool forceBroadcast() const override;
    // A selection enables Update Device and Connect to Device.
    void cellSelected() override;
    // A sent request disables Update Device.
    void requestSent() override;
    void resultsChanged() override;

    void createWidgets();
    void createGridCommands(std::function<QString()> chooseExportFile);
    void nameForAccessibility();
    void createMenu();
    void connectHandlers();
    void setTabOrder();

    DeviceSession& m_session;
    std::function<QString()> m_chooseExportFile;
    UpdateResultsDlg* m_resultsDlg = nullptr;
    AnchoredPlacement* m_placement = nullptr;
    FindBar* m_findBar = nullptr;
    DevListCommands* m_devListCommands = nullptr;
    std::array<QLabel*, 2> m_panels{};
};

}  // namespace kavren::app

// The three windows, program-wide and exported by the executable. Each holds
// its window from creation to the end of the run; a window whose creation
// failed leaves its variable empty.
extern Q_DECL_EXPORT kavren::app::TMainF* MainF;
extern Q_DECL_EXPORT kavren::app::TPwdDlg* PwdDlg;
extern Q_DECL_EXPORT kavren::app::TCfgDlg* CfgDlg;
