// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/updatecommands.h"

#include <optional>

#include "protocol/textcodecs.h"
#include "usecases/configuration.h"
#include "usecases/secretwipe.h"

namespace kavren::usecases {

UpdateCommands::UpdateCommands(devices::DeviceList& list, UpdatePrompts& prompts,
                               net::DatagramSender& sender, const UpdateOptions& options,
                               UpdateEvents& events)
    : m_devices(list), m_prompts(prompts), m_sender(sender), m_options(options), m_events(events) {}

void UpdateCommands::updateRow(int row) {
    update(row, 0);
}

void UpdateCommands::updateRowAt(int row, std::optional<protocol::Ipv4Address> address) {
    update(row, 0, address);
}

void UpdateCommands::update(int row, int remaining,
                            std::optional<std::optional<protocol::Ipv4Address>> address) {
    // Read once: changing the option while the confirmation is open does
    // not change where this row's request goes.
    const bool broadcast = m_options.alwaysBroadcast();
    if (!m_devices.contains(row))
        return;

    // The window sends where it is told: to the DeviceIP the row shows, or
    // by broadcast when the user forces it; it marks an address outside the
    // adapter's subnet but does not refuse it, so no adapter is asked.
    const devices::ListedDevice& device = m_devices.device(row);
    const Route route = routeTo({.mac = device.mac,
                                 .deviceIp = address ? *address : device.deviceIp,
                                 .target = m_devices.settingsToTake(row),
                                 .newPassword = m_devices.newPassword(row)},
                                Adapter{}, broadcast ? Delivery::Broadcast : Delivery::Unicast);
    // Judged before the user is asked for a password.
    if (!route.request) {
        m_prompts.stopped(UpdateStop::AddressError);
        return;
    }
    const CheckedSettings& settings = *route.request;

    std::optional<std::string> currentPassword;
    if (!m_runPassword.empty()) {
        // The user chose one password for the rest of the run: each device
        // still gets its own request, without a dialog.
        currentPassword = m_runPassword;
    } else {
        m_prompts.offerRunPassword(remaining > 0);
        std::string typed = m_prompts.confirm(m_devices, row);
        const StringWiper wipeTyped(typed);
        if (typed.empty()) {
            m_prompts.stopped(UpdateStop::Cancelled);
            return;
        }
        // Forgotten at once, so the next confirmation starts empty even when
        // the send below fails.
        m_prompts.clearPassword();
        currentPassword = protocol::latin1FromUtf8(typed);
        if (!currentPassword) {
            m_prompts.stopped(UpdateStop::PasswordNotLatin1);
            return;
        }
        if (remaining > 0 && m_prompts.runPasswordTaken())
            m_runPassword = *currentPassword;
    }
    const StringWiper wipeCurrent(*currentPassword);

    // A refusal is the front end's to tell: it knows why.
    if (std::string refusal; !m_events.aboutToSend(row, settings, refusal))
        return;
    sendConfiguration(settings, *currentPassword, m_sender, m_options.sourceAddress());

    m_events.requestSentTo(m_devices.field(devices::DeviceField::Mac, row), settings.destination);
    m_events.requestSent();
    m_devices.setField(devices::DeviceField::NewPassword, row, std::string());
}

void UpdateCommands::updateDevice(std::optional<int> row) {
    if (row)
        updateRow(*row);
}

void UpdateCommands::updateMulti() {
    // Index i stands for device i + 1; devices are only ever appended at the
    // end while a command runs, so the mapping holds until the loop below
    // ends.
    const int listed = m_devices.size();
    const std::optional<std::vector<int>> ticked = m_prompts.selectDevices(m_devices);
    if (!ticked)
        return;
    const StringWiper endOfRun(m_runPassword);
    std::vector<int> rows;
    for (const int index : *ticked) {
        if (index >= 0 && index < listed)
            rows.push_back(index + 1);
    }
    for (std::size_t i = 0; i < rows.size(); ++i)
        update(rows[i], static_cast<int>(rows.size() - i - 1));
}

void UpdateCommands::updateAll() {
    // The count is read before every pass: a device that answered while an
    // earlier confirmation was open is appended and updated too.
    const StringWiper endOfRun(m_runPassword);
    for (int row = 1; row <= m_devices.size(); ++row)
        update(row, m_devices.size() - row);
}

}  // namespace kavren::usecases
