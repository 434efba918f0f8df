// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/changecommand.h"

namespace kavren::cli {

class ConfigureCommand final : public ChangeCommand {
public:
    ConfigureCommand();

protected:
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) override;
};

}  // namespace kavren::cli
