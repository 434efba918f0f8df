// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
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
#include "app/replypacer.h"
#include "app/updaterecorder.h"
#include "app/updateresultsdlg.h"
#include "devices/devicelist.h"
#include "net/adapters.h"
#include "net/endpointsender.h"
#include "net/idudpclient.h"
#include "net/idudpserver.h"
#include "usecases/configurationrun.h"
#include "usecases/discovery.h"
#include "usecases/updatecommands.h"

class QSettings;

namespace kavren::app {

class DeviceTableModel;

// What the window is built on besides its own widgets. The program's
// composition root (app/composition.h) gives it the platform's adapter query
// and leaves the rest as it is: the send sequence over the session's own
// sending endpoint and the receiving port 62631. The tests put a recording
// sender, a fixed adapter list and a free port in their place.
struct MainWindowServices {
    std::unique_ptr<net::AdapterQuery> adapterQuery;  // null: no adapters are listed
    net::DatagramSender* sender = nullptr;            // null: the send sequence over IdUDPClient
    std::uint16_t receivePort = net::TIdUDPServer::kDefaultPort;
    // The net mask (dotted text) of the adapter that holds a source address,
    // against which device addresses are checked; null or nullopt: no check.
    std::function<std::optional<protocol::Ipv4Address>(protocol::Ipv4Address sourceAddress)>
        netmaskOf{};
    // The file the device list is exported to (the window's); null: a file
    // dialog asks.
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

// What the session shows through the main window's widgets.
class SessionView {
public:
    virtual ~SessionView() = default;
    // Status bar panel 0 ("Device") or 1 ("Message").
    virtual void showStatus(std::size_t panel, std::string_view text) = 0;
    // Control Packet Force Broadcast is checked.
    virtual bool forceBroadcast() const = 0;
    // A cell was selected: the commands on the current row become usable.
    virtual void cellSelected() = 0;
    // A configuration request went out.
    virtual void requestSent() = 0;
    // An update's result changed (sent, answered, verified).
    virtual void resultsChanged() = 0;
};

// The window's work with the devices, apart from its widgets: the device
// list with its grid and table model, the adapter list, both endpoints, the
// pacing of replies, the update commands and what became of every update
// (answer, verification, the audit trail). The composition root makes it
// before the window and takes it down after; the window's handlers call it,
// and it shows what happens through the window's SessionView.
class DeviceSession final : private GridEffects,
                            private usecases::ReplyEvents,
                            private usecases::UpdateOptions,
                            private usecases::UpdateEvents {
public:
    // Takes everything but chooseExportFile, which is the window's.
    explicit DeviceSession(MainWindowServices services);
    ~DeviceSession() override;
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The window that shows the session, from its creation to its end.
    void setView(SessionView* view) { m_view = view; }

    net::TIdUDPClient& client() { return m_client; }
    net::TIdUDPServer& server() { return m_server; }
    DeviceGrid& grid() { return m_grid; }
    devices::DeviceList& deviceList() { return m_devices; }
    const net::AdapterList& adapters() const { return m_adapters; }
    DeviceTableModel* gridModel() const { return m_model.get(); }
    ReplyPacer& replyPacer() { return m_pacer; }
    const std::vector<UpdateResult>& updateResults() const { return m_updateResults; }

    // What the update commands work with, for the composition root that puts
    // them together: the session's sender, the broadcast switch and its side
    // of a sent request.
    net::DatagramSender& sender();
    const usecases::UpdateOptions& updateOptions() const { return *this; }
    usecases::UpdateEvents& updateEvents() { return *this; }
    // The commands behind Update Device, Update Multi and Update All, with the
    // prompts they ask through. They can only be made once the dialogs exist,
    // after the window. Until they are handed over, the commands report that
    // the dialogs are missing.
    void useUpdateCommands(std::unique_ptr<usecases::UpdatePrompts> prompts,
                           std::unique_ptr<usecases::UpdateCommands> commands);

    // Asks the platform for the adapters (once, at set-up).
    void listAdapters();
    // Adapter list entry `index` (-1: none) was chosen.
    void chooseAdapter(int index);
    // Device addresses are checked against the source address's subnet.
    void showSourceSubnet();
    // Opens the receiving endpoint; throws when the port cannot be bound.
    void openReceiver();
    // The discovery request, from the source address by broadcast.
    void sendDiscoveryRequest();
    // One datagram from the receiving endpoint, from `from`.
    void takeReply(std::span<const std::uint8_t> datagram, protocol::Ipv4Address from);

    void updateDevice();
    void updateMulti();
    void updateAll();
    // Puts the settings from before device `row`'s last recorded change into
    // its row and updates it as usual, at the address that change gave it.
    void restorePreviousSettings(int row);

    // "Verify After Update", kept between runs: after "Setting OK" the device
    // is looked for again and marked verified when it reports the requested
    // settings.
    bool verifyAfterUpdate() const { return m_verifyAfterUpdate; }
    void setVerifyAfterUpdate(bool on);

private:
    // GridEffects.
    void cellSelected() override;
    void showMessage(std::string_view text) override;
    // ReplyEvents: panel 0 names the device, panel 1 says what happened.
    void deviceListed(std::string_view name, std::string_view mac) override;
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool accepted) override;
    void listFull() override;
    // UpdateOptions: the force-broadcast switch, and the chosen adapter's
    // address, which the discovery request leaves from too.
    bool alwaysBroadcast() const override;
    protocol::Ipv4Address sourceAddress() const override;
    // UpdateEvents.
    void requestSent() override;
    void requestSentTo(std::string_view mac, protocol::Ipv4Address destination) override;
    bool aboutToSend(int row, const usecases::CheckedSettings& settings,
                     std::string& error) override;

    void showDevice(std::string_view name, std::string_view mac);
    void showStatus(std::size_t panel, std::string_view text);
    // The wait for result `index`'s answer is over.
    void answerWaitOver(std::size_t index);
    void markOutcome(const UpdateResult& result);
    void verifyChange(std::size_t index);
    // A device information reply from `from`, looked at for the changes
    // being verified.
    void checkVerification(std::span<const std::uint8_t> datagram, protocol::Ipv4Address from);
    void verificationOver(std::size_t index);
    void showReported(const devices::DeviceRecord& record, std::uint32_t confirmedSender = 0);
    std::unique_ptr<QSettings> settings() const;
    usecases::UpdateCommands& updates();
    void postDelivery();
    void deliverReplies();

    SessionView* m_view = nullptr;
    // The listed devices: the grid shows them, the use cases work on them.
    devices::DeviceList m_devices;
    DeviceGrid m_grid;
    std::unique_ptr<DeviceTableModel> m_model;
    net::AdapterList m_adapters;
    std::unique_ptr<net::AdapterQuery> m_adapterQuery;
    std::function<std::optional<protocol::Ipv4Address>(protocol::Ipv4Address)> m_netmaskOf;
    net::TIdUDPClient m_client;
    net::TIdUDPServer m_server;
    net::EndpointSender m_endpointSender;
    net::DatagramSender* m_senderOverride;
    std::uint16_t m_receivePort;
    std::vector<UpdateResult> m_updateResults;
    std::chrono::milliseconds m_resultWait;
    UpdateRecorder m_recorder;
    std::string m_restoring;  // the change a restore under way takes back
    QString m_settingsPath;
    bool m_verifyAfterUpdate = false;
    // The results being verified: the device's latest reply meanwhile, if any.
    std::map<std::size_t, std::optional<devices::DeviceRecord>> m_verifying;
    std::string m_deviceLine;  // reused for panel 0's text
    std::unique_ptr<usecases::UpdatePrompts> m_prompts;
    std::unique_ptr<usecases::UpdateCommands> m_updates;  // goes before the prompts it asks through
    // Set while a delivery call is posted and not yet run, so a burst of
    // wake-ups posts one call instead of thousands.
    std::atomic<bool> m_deliveryPosted{false};
    // Hands the queued replies to the window's IdUDPServerUDPRead in slices
    // and holds the status texts of a slice.
    ReplyPacer m_pacer;
    // The receiver of posted calls and timers: destroyed first, so none of
    // them runs on a session being taken down.
    QObject m_context;
};

}  // namespace kavren::app
