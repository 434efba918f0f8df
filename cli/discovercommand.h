// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command.h"

namespace kavren::cli {

class DiscoverCommand final : public Command {
public:
    DiscoverCommand();

protected:
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) override;
};

}  // namespace kavren::cli
