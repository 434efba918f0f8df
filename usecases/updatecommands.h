// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "net/sender.h"
#include "usecases/configuration.h"
#include "usecases/updateprompts.h"

namespace kavren::usecases {

// The user's choices an update reads afresh for each device.
class UpdateOptions {
public:
    virtual ~UpdateOptions() = default;
    // Whether requests go by broadcast whatever the addresses say.
    virtual bool alwaysBroadcast() const = 0;
    // The adapter address requests leave from (0.0.0.0: any). Throws the
    // endpoint layer's error when there is none to send from, as the send
    // itself would.
    virtual protocol::Ipv4Address sourceAddress() const = 0;
};

// What an update reports to its front end.
class UpdateEvents {
public:
    virtual ~UpdateEvents() = default;
    // A configuration request was sent.
    virtual void requestSent() = 0;
    // Just before the request of device `row` leaves as `settings` say:
    // false keeps it from leaving, with the reason in `error`, so that a
    // record which must be on disk first is never missing.
    virtual bool aboutToSend(int row, const CheckedSettings& settings, std::string& error) {
        static_cast<void>(row);
        static_cast<void>(settings);
        static_cast<void>(error);
        return true;
    }
    // The same, saying to which device and where it went (the DeviceIP, or
    // the broadcast host), for front ends that keep each outcome.
    virtual void requestSentTo(std::string_view mac, protocol::Ipv4Address destination) {
        static_cast<void>(mac);
        static_cast<void>(destination);
    }
};

// The configuration update of one listed device, and the two commands that
// run it over ticked devices and over every device. Each device is read
// afresh, confirmed on its own and sent at most once. Errors thrown by the sender propagate
// unchanged and end the running command at that row.
class UpdateCommands final {
public:
    UpdateCommands(devices::DeviceList& list, UpdatePrompts& prompts, net::DatagramSender& sender,
                   const UpdateOptions& options, UpdateEvents& events);

    // Checks, confirms and sends the settings of device `row` (its number in
    // the list); nothing for a number that names no device.
    void updateRow(int row);
    // As updateRow, but the request goes to `address` instead of the
    // DeviceIP the row shows, unless it goes by broadcast: a device given an
    // address by an earlier change answers there, not at the address it
    // reported before it. Nothing (an address that was never known) is an
    // address error, as for the row.
    void updateRowAt(int row, std::optional<protocol::Ipv4Address> address);
    // Updates the device the user is on; nothing when there is none.
    void updateDevice(std::optional<int> row);
    // Updates the devices the user ticks in the selection prompt.
    void updateMulti();
    // Updates every device, including devices listed while it runs.
    void updateAll();

private:
    // `remaining`: the devices of the run still to come after this one.
    // `address`, when given, replaces the row's DeviceIP.
    void update(int row, int remaining,
                std::optional<std::optional<protocol::Ipv4Address>> address = {});

    devices::DeviceList& m_devices;
    UpdatePrompts& m_prompts;
    net::DatagramSender& m_sender;
    const UpdateOptions& m_options;
    UpdateEvents& m_events;
    // The device bytes of a password the user chose for the rest of the run;
    // empty when each device asks for its own. Wiped when the run ends.
    std::string m_runPassword;
};

}  // namespace kavren::usecases
