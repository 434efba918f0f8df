// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavren::config {

// What the update logic asks of the two dialogs and of the plain message box.
// Kept free of any toolkit so the update steps can be tested with a fake.
class UpdatePrompts {
public:
    virtual ~UpdatePrompts() = default;

    // Plain message box, modal.
    virtual void message(std::string_view text) = 0;

    // Sets the confirmation dialog's caption, empties its memo and adds
    // `lines`, shows it modally and returns the text of its Password box as
    // UTF-8 (the update converts it to the device's bytes, as every other
    // password source is). An empty text means the user cancelled.
    virtual std::string confirm(std::string_view caption,
                                const std::vector<std::string>& lines) = 0;

    // Empties the Password box.
    virtual void clearPassword() = 0;

    // Fills the selection list with `items` (unticked) and shows the selection
    // dialog modally. For an OK, returns the indexes of the ticked items in
    // list order; std::nullopt otherwise. The list is empty again on return.
    virtual std::optional<std::vector<int>> selectDevices(
        const std::vector<std::string>& items) = 0;
};

}  // namespace kavren::config
