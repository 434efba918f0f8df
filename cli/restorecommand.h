// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/changecommand.h"

namespace kavren::cli {

class RestoreCommand final : public ChangeCommand {
public:
    RestoreCommand();

protected:
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) override;
};

}  // namespace kavren::cli
