// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "changes/plan.h"
#include "cli/changecommand.h"

namespace kavren::cli {

class ConfigureCommand final : public ChangeCommand {
public:
    ConfigureCommand();

protected:
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) override;

private:
    static QString selectionError(const QCommandLineParser& parser);
    static int readGivenRows(const QCommandLineParser& parser, std::vector<changes::PlanRow>& rows);
};

}  // namespace kavren::cli
