// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string_view>

#include "usecases/updateprompts.h"

namespace kavren::app {

class TPwdDlg;
class TCfgDlg;

// UpdatePrompts over the two dialogs and the window's plain message box.
// Device texts cross into the widgets as Latin-1 and are shown as plain text.
// The window's words for why an update ends, each shown in a plain message
// box.
std::string_view updateStopText(usecases::UpdateStop reason);

class DialogPrompts final : public usecases::UpdatePrompts {
public:
    DialogPrompts(TPwdDlg& pwdDlg, TCfgDlg& cfgDlg,
                  std::function<void(std::string_view)> plainMessage);

    void stopped(usecases::UpdateStop reason) override;
    // Worded by the shared wording, then shown by the overloads below.
    std::string confirm(const devices::DeviceList& list, int row) override;
    void offerRunPassword(bool offer) override;
    bool runPasswordTaken() const override;
    void clearPassword() override;
    std::optional<std::vector<int>> selectDevices(const devices::DeviceList& list) override;

    // The confirmation with its caption and lines as they are shown.
    std::string confirm(std::string_view caption, const std::vector<std::string>& lines);
    // The selection among `items`, item i standing for device i + 1.
    std::optional<std::vector<int>> selectDevices(const std::vector<std::string>& items);

private:
    TPwdDlg& m_pwdDlg;
    TCfgDlg& m_cfgDlg;
    std::function<void(std::string_view)> m_plainMessage;
};

}  // namespace kavren::app
