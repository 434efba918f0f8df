// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devicesession.h"

#include <QMetaObject>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "app/devicetablemodel.h"
#include "app/plainmessagebox.h"
#include "app/textbridge.h"
#include "changes/changerecord.h"
#include "net/idexception.h"
#include "net/socketerrors.h"
#include "protocol/packets.h"
#include "usecases/configuration.h"
#include "wording/wording.h"

namespace kavren::app {

namespace {

// A received datagram is read into a buffer of this size.
constexpr std::size_t kReplyBufferSize = protocol::kReceiveBufferSize;

}  // namespace

DeviceSession::DeviceSession(MainWindowServices services)
    : m_devices(devices::DeviceList::kExpectedDevices, services.maxDevices),
      m_grid(m_devices),
      m_model(std::make_unique<DeviceTableModel>(m_grid)),
      m_adapterQuery(std::move(services.adapterQuery)),
      m_netmaskOf(std::move(services.netmaskOf)),
      m_endpointSender(m_client),
      m_senderOverride(services.sender),
      m_receivePort(services.receivePort),
      m_resultWait(services.resultWait),
      m_recorder(std::move(services.auditTrailPath),
                 [](const QString& text) { PlainMessageBox::show(fromQt(text)); }),
      m_settingsPath(std::move(services.settingsPath)),
      m_pacer(m_devices, static_cast<usecases::ReplyEvents&>(*this),
              [this](std::size_t maxEntries) { return m_server.deliverPending(maxEntries); }) {
    // Both endpoints take datagrams of at most 1024 bytes: the receive thread
    // cuts longer ones there, so a queue entry never holds more and the
    // queue's bound also bounds its memory.
    m_client.setBufferSize(static_cast<int>(kReplyBufferSize));
    m_server.setBufferSize(static_cast<int>(kReplyBufferSize));
    m_server.OnWake = [this] { postDelivery(); };
    m_grid.setEffects(this);
    m_verifyAfterUpdate = settings()->value(QStringLiteral("VerifyAfterUpdate"), false).toBool();
}

DeviceSession::~DeviceSession() {
    // The window has closed the receiving endpoint already; this is for a
    // session that never had one.
    try {
        m_server.setActive(false);
    } catch (...) {
        // Nothing can be shown any more; closing goes on regardless.
    }
    m_grid.setEffects(nullptr);
    m_model.reset();
}

std::unique_ptr<QSettings> DeviceSession::settings() const {
    if (!m_settingsPath.isEmpty())
        return std::make_unique<QSettings>(m_settingsPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("kavren"), QStringLiteral("window"));
}

void DeviceSession::setVerifyAfterUpdate(bool on) {
    m_verifyAfterUpdate = on;
    settings()->setValue(QStringLiteral("VerifyAfterUpdate"), on);
}

void DeviceSession::listAdapters() {
    if (m_adapterQuery)
        m_adapters.fill(*m_adapterQuery);
}

void DeviceSession::chooseAdapter(int index) {
    m_adapters.selectionChanged(index);
    showSourceSubnet();
}

void DeviceSession::showSourceSubnet() {
    // Every local address (no source chosen) has no subnet to check against.
    const auto source = m_adapters.sourceIp();
    std::optional<protocol::Ipv4Address> mask;
    // The tests give a mask of their own; the program takes the one the
    // platform reported with the chosen address.
    if (source && !source->isAny())
        mask = m_netmaskOf ? m_netmaskOf(*source) : m_adapters.netmaskOf(*source);
    m_model->setSourceSubnet(source && mask ? std::optional(std::pair(*source, *mask))
                                            : std::nullopt);
}

void DeviceSession::openReceiver() {
    m_server.binding(0).setPort(m_receivePort);
    m_server.setActive(true);
}

void DeviceSession::sendDiscoveryRequest() {
    usecases::sendDiscoveryRequest(sender(), sourceAddress());
}

void DeviceSession::takeReply(std::span<const std::uint8_t> datagram, protocol::Ipv4Address from) {
    // Devices are known by what their packets carry; the sender's address
    // only shows a second host claiming a listed MAC.
    if (datagram.empty())
        return;
    std::array<std::uint8_t, kReplyBufferSize> buffer{};
    const std::size_t count = std::min(datagram.size(), buffer.size());
    std::copy_n(datagram.begin(), count, buffer.begin());
    if (!m_verifying.empty())
        checkVerification(std::span<const std::uint8_t>(buffer.data(), count), from);
    usecases::handleReply(m_devices, m_pacer, std::span<const std::uint8_t>(buffer.data(), count),
                          from.value());
}

void DeviceSession::updateDevice() {
    updates().updateDevice(m_grid.currentRow());
}

void DeviceSession::updateMulti() {
    updates().updateMulti();
}

void DeviceSession::updateAll() {
    updates().updateAll();
}

void DeviceSession::cellSelected() {
    if (m_view)
        m_view->cellSelected();
}

void DeviceSession::showMessage(std::string_view text) {
    PlainMessageBox::show(text);
}

void DeviceSession::deviceListed(std::string_view name, std::string_view mac) {
    showDevice(name, mac);
    showStatus(1, "Get Device Information done.");
}

// The outcome mark judges the answer again by the same rule, as it is also
// set when the wait ends or a verification settles.
void DeviceSession::resultReceived(std::string_view name, std::string_view mac,
                                   std::string_view text, bool accepted) {
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
    if (m_verifyAfterUpdate && accepted)
        verifyChange(index);
}

void DeviceSession::listFull() {
    showStatus(1, wording::kDeviceListFull);
}

void DeviceSession::verifyChange(std::size_t index) {
    if (!m_recorder.target(index) || m_verifying.contains(index))
        return;
    m_verifying.emplace(index, std::nullopt);
    // The Refresh request without clearing the list: every device answers,
    // and the one changed tells what it took.
    sendDiscoveryRequest();
    QTimer::singleShot(m_resultWait, &m_context, [this, index] { verificationOver(index); });
}

void DeviceSession::checkVerification(std::span<const std::uint8_t> datagram,
                                      protocol::Ipv4Address from) {
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
        if (!devices::reportsSettings(*record, *m_recorder.target(it->first))) {
            ++it;
            continue;
        }
        const std::size_t index = it->first;
        it = m_verifying.erase(it);
        result.verified = true;
        m_recorder.verified(index, true, {});
        // It answers from the address it was given now: the old one is no
        // second sender.
        showReported(*record, from.value());
        markOutcome(result);
    }
}

void DeviceSession::verificationOver(std::size_t index) {
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

void DeviceSession::showReported(const devices::DeviceRecord& record,
                                 std::uint32_t confirmedSender) {
    // The row follows what the device now reports, the address to take too.
    if (const auto row = m_devices.findByMac(record.mac))
        m_devices.reportsNow(*row, record, confirmedSender);
}

void DeviceSession::answerWaitOver(std::size_t index) {
    UpdateResult& result = m_updateResults.at(index);
    if (result.answer)
        return;
    result.noAnswer = true;
    m_recorder.answered(index, std::nullopt);
    markOutcome(result);
}

void DeviceSession::markOutcome(const UpdateResult& result) {
    if (m_view)
        m_view->resultsChanged();
    const auto row = m_devices.findByMac(result.mac);
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

void DeviceSession::restorePreviousSettings(int row) {
    QString error;
    const auto last =
        m_recorder.trail().lastChange(m_devices.field(devices::DeviceField::Mac, row), error);
    if (!last) {
        PlainMessageBox::show(fromQt(error));
        return;
    }
    const auto before = changes::settingsFromJson(last->value(QStringLiteral("before")).toObject());
    const auto after = changes::settingsFromJson(last->value(QStringLiteral("after")).toObject());
    const std::pair<int, std::string> cells[] = {
        {DeviceGrid::ColIp, devices::addressText(before.ip)},
        {DeviceGrid::ColMask, devices::addressText(before.mask)},
        {DeviceGrid::ColGateway, devices::addressText(before.gateway)},
        {DeviceGrid::ColDescription, before.description}};
    for (const auto& [col, text] : cells)
        m_grid.setCell(col, row, text);
    // The trail holds no password: a new one set then stays.
    m_grid.setCell(DeviceGrid::ColNewPassword, row, std::string());
    m_restoring = last->value(QStringLiteral("change")).toString().toStdString();
    struct Done {
        std::string& change;
        ~Done() { change.clear(); }
    } const done{m_restoring};
    updates().updateRowAt(row, after.ip);
}

void DeviceSession::showDevice(std::string_view name, std::string_view mac) {
    // "Device : name (MAC)", built in a reused buffer: no allocation once it
    // has grown to the longest line.
    m_deviceLine.assign("Device : ");
    m_deviceLine.append(name).append(" (").append(mac).push_back(')');
    showStatus(0, m_deviceLine);
}

void DeviceSession::showStatus(std::size_t panel, std::string_view text) {
    if (m_view)
        m_view->showStatus(panel, text);
}

bool DeviceSession::alwaysBroadcast() const {
    return m_view && m_view->forceBroadcast();
}

protocol::Ipv4Address DeviceSession::sourceAddress() const {
    // Read at every send, so a request leaves from the adapter chosen now.
    // With none there is no address to bind the send sequence to.
    const std::optional<protocol::Ipv4Address> source = m_adapters.sourceIp();
    if (!source)
        throw net::EIdSocketError(net::kWsaEAddrNotAvail);
    return *source;
}

void DeviceSession::requestSentTo(std::string_view mac, protocol::Ipv4Address destination) {
    m_updateResults.push_back({.mac = std::string(mac),
                               .destination = destination.text(),
                               .answer = std::nullopt,
                               .noAnswer = false,
                               .verified = std::nullopt});
    m_recorder.sent(m_updateResults.size() - 1);
    markOutcome(m_updateResults.back());
    QTimer::singleShot(m_resultWait, &m_context,
                       [this, index = m_updateResults.size() - 1] { answerWaitOver(index); });
}

bool DeviceSession::aboutToSend(int row, const usecases::CheckedSettings& settings,
                                std::string& error) {
    if (m_recorder.sending(m_devices, row, settings,
                           m_adapters.sourceIp().value_or(protocol::Ipv4Address()), error,
                           m_restoring))
        return true;
    PlainMessageBox::show(error);
    return false;
}

void DeviceSession::requestSent() {
    if (m_view)
        m_view->requestSent();
}

net::DatagramSender& DeviceSession::sender() {
    return m_senderOverride ? *m_senderOverride
                            : static_cast<net::DatagramSender&>(m_endpointSender);
}

void DeviceSession::useUpdateCommands(std::unique_ptr<usecases::UpdatePrompts> prompts,
                                      std::unique_ptr<usecases::UpdateCommands> commands) {
    m_updates.reset();
    m_prompts = std::move(prompts);
    m_updates = std::move(commands);
}

usecases::UpdateCommands& DeviceSession::updates() {
    // A window built without the composition root (some tests do) has no
    // dialogs to ask through.
    if (!m_updates)
        throw std::logic_error("The update dialogs do not exist");
    return *m_updates;
}

void DeviceSession::postDelivery() {
    // Runs on the receive thread: it only posts, and only one call at a time.
    if (m_deliveryPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &m_context, [this] { deliverReplies(); }, Qt::QueuedConnection);
}

void DeviceSession::deliverReplies() {
    if (const auto wait = m_pacer.delayBeforeSlice(); wait.count() > 0) {
        // Still posted, so the receive thread does not post again meanwhile.
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(wait), &m_context,
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
