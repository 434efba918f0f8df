// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "cli/changecommand.h"
#include "cli/plan.h"

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
    static int readGivenRows(const QCommandLineParser& parser, std::vector<PlanRow>& rows);
};

}  // namespace kavren::cli
