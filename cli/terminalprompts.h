// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "usecases/updateprompts.h"

namespace kavren::cli {

// The update logic's dialogs for a command line that was given everything
// up front: the confirmation returns the password read before, and messages
// are kept for the caller to report with the device they belong to.
class TerminalPrompts final : public config::UpdatePrompts {
public:
    explicit TerminalPrompts(const std::string& password) : m_password(password) {}

    void message(std::string_view text) override { m_messages.emplace_back(text); }
    std::string confirm(std::string_view caption, const std::vector<std::string>& lines) override;
    void clearPassword() override {}
    std::optional<std::vector<int>> selectDevices(const std::vector<std::string>&) override {
        return std::nullopt;
    }

    const std::vector<std::string>& messages() const { return m_messages; }
    void clearMessages() { m_messages.clear(); }
    bool confirmed() const { return m_confirmed; }

private:
    const std::string& m_password;
    std::vector<std::string> m_messages;
    bool m_confirmed = false;
};

}  // namespace kavren::cli
