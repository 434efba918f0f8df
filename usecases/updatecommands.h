// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "devices/devicegrid.h"
#include "net/sender.h"
#include "usecases/configuration.h"
#include "usecases/updateprompts.h"

namespace kavren::config {

// What an update reads and changes on the main window.
class UpdateUi {
public:
    virtual ~UpdateUi() = default;
    virtual bool forceBroadcast() const = 0;  // ChkBcast checked
    virtual void disableUpdateDevice() = 0;   // BtnUpdSel, after a send
};

// The configuration update of one grid row, and the two commands that run it
// over ticked rows and over every row. Each row is read afresh, confirmed on
// its own and sent at most once. Errors thrown by the sender propagate
// unchanged and end the running command at that row.
class UpdateCommands final {
public:
    static constexpr std::string_view kAddressError = "IP address Error !!";
    static constexpr std::string_view kCancelled = "Cancel Configuration";
    static constexpr std::string_view kBroadcastHost = config::kBroadcastHost;

    UpdateCommands(DeviceGrid& grid, UpdatePrompts& prompts, DatagramSender& sender, UpdateUi& ui);

    void updateRow(int row);  // Update row
    void updateDevice();      // BtnUpdSelClick: the grid's current row, nothing when there is none
    void updateMulti();       // BtnUpdMulClick
    void updateAll();         // BtnUpdAllClick

    // The confirmation dialog's caption and memo lines for `row`.
    static std::string confirmationCaption(const DeviceGrid& grid, int row);
    static std::vector<std::string> confirmationLines(const DeviceGrid& grid, int row);
    // "%s - %s (%s) ": row number, device name, MAC text, trailing space.
    static std::string selectionItem(const DeviceGrid& grid, int row);

private:
    DeviceGrid& m_grid;
    UpdatePrompts& m_prompts;
    DatagramSender& m_sender;
    UpdateUi& m_ui;
};

}  // namespace kavren::config
