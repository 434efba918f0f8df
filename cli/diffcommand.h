// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/command.h"

namespace kavren::cli {

// Compares two lists that discover --json wrote, as diff compares files:
// exit 0 when they are the same, 1 when they differ, 2 on an error.
class DiffCommand final : public Command {
public:
    DiffCommand();

protected:
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) override;
    QByteArray exitStatuses() const override;
};

}  // namespace kavren::cli
