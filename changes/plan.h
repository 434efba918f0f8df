// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "usecases/founddevice.h"

namespace kavren::changes {

devices::DeviceSettings currentSettings(const usecases::FoundDevice& device);

// One line of a plan as written: empty texts mean "keep".
struct PlanRow {
    int line = 0;  // in the file, 1-based
    std::string mac;
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string description;
    std::string newPassword;
};

struct PlanFile {
    std::vector<PlanRow> rows;
    std::vector<std::string> errors;  // the file as a whole cannot be used
};

// Columns mac, ip, mask, gateway, description, new_password, in that order,
// or in any order under a header line that names them, read with
// readCsvRecords (a broken quote is an error naming its line). The file is
// read as UTF-8 when it is valid UTF-8 and as Latin-1 otherwise; a character
// that does not fit into one byte is an error.
PlanFile parsePlan(const QByteArray& content);

// One device of a plan after it has been checked against what was found.
struct PlanEntry {
    int line = 0;
    std::string mac;  // normalised MAC text when readable, else as written
    std::optional<usecases::FoundDevice> device;  // into the FoundDevices checked against
    devices::DeviceSettings target;
    std::string newPassword;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;

    bool ok() const { return errors.empty(); }
};

// A MAC text with "-" or ":" between six hex pairs, in any case, as the grid
// writes it ("00-1A-2B-3C-4D-5E"); nothing when it is not one.
std::optional<std::string> normaliseMac(const std::string& text);

// Fills what a row keeps from the found device and flags: unreadable MAC or
// addresses, a MAC listed twice or not found, two devices given one
// address, an address already used by another found device that keeps it,
// a gateway outside the device's subnet, a new password the device cannot
// take (usecases::newPasswordProblem), a MAC claimed by several senders none of
// which is among `trustedSenders` (the reply of the one that is counts). An
// over-long description is a warning.
std::vector<PlanEntry> checkPlan(const std::vector<PlanRow>& rows,
                                 const usecases::FoundDevices& found,
                                 const std::vector<protocol::Ipv4Address>& trustedSenders = {});

// `count` consecutive addresses from `first`, passing over those in
// `taken`. Nothing when `first` is unreadable or the addresses would run
// past the end of the address space.
std::optional<std::vector<std::string>> consecutiveAddresses(const std::string& first,
                                                             std::size_t count,
                                                             const std::set<std::uint32_t>& taken);

// Consecutive addresses from `first` for the found devices in MAC order,
// everything else kept. Nothing when the addresses would run past the end
// of the address space or `first` is unreadable.
std::optional<std::vector<PlanRow>> sequentialPlan(const usecases::FoundDevices& found,
                                                   const std::string& first);

}  // namespace kavren::changes
