// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include "kavren/version.h"

#include <QStringList>
#include <memory>
#include <vector>

#include "cli/adapterscommand.h"
#include "cli/command.h"
#include "cli/configurecommand.h"
#include "cli/console.h"
#include "cli/diffcommand.h"
#include "cli/discovercommand.h"
#include "cli/restorecommand.h"

namespace kavren::cli {

namespace {

// The overview's lines stay within a terminal's 80 columns.
constexpr qsizetype kOverviewWidth = 79;
constexpr qsizetype kNameWidth = 10;

// Every command, in the order the overview lists them.
std::vector<std::unique_ptr<Command>> makeCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<AdaptersCommand>());
    commands.push_back(std::make_unique<DiscoverCommand>());
    commands.push_back(std::make_unique<ConfigureCommand>());
    commands.push_back(std::make_unique<RestoreCommand>());
    commands.push_back(std::make_unique<DiffCommand>());
    return commands;
}

// "  NAME        summary", the summary wrapped at word breaks under itself.
QString overviewEntry(const Command& command) {
    const QString indent(2 + kNameWidth + 2, QLatin1Char(' '));
    QString text =
        QStringLiteral("  ") + command.name().leftJustified(kNameWidth) + QStringLiteral("  ");
    qsizetype lineStart = 0;
    bool first = true;
    for (const QString& word : command.summary().split(QLatin1Char(' '))) {
        if (!first && text.size() - lineStart + 1 + word.size() > kOverviewWidth) {
            text += QStringLiteral("\n");
            lineStart = text.size();
            text += indent;
        } else if (!first) {
            text += QLatin1Char(' ');
        }
        text += word;
        first = false;
    }
    return text + QStringLiteral("\n");
}

QByteArray overview(const std::vector<std::unique_ptr<Command>>& commands) {
    QString text = QStringLiteral(
        "Usage: kavren COMMAND [options]\n"
        "\n"
        "Finds and configures the maker's network devices from the command line.\n"
        "\n"
        "Commands:\n");
    for (const auto& command : commands)
        text += overviewEntry(*command);
    text += QStringLiteral("\n\"kavren COMMAND --help\" describes a command's options.\n");
    return text.toUtf8();
}

}  // namespace

int runCommand(const QStringList& arguments) {
    const QString name = arguments.value(1);
    const auto commands = makeCommands();
    for (const auto& command : commands) {
        if (command->name() == name)
            return command->execute(arguments);
    }
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
        name == QStringLiteral("help")) {
        writeOut(overview(commands) + exitStatusesHelp());
        return ExitOk;
    }
    if (name == QStringLiteral("--version")) {
        writeOut(QByteArray("kavren ") +
                 QByteArray(kVersion.data(), static_cast<qsizetype>(kVersion.size())) + "\n");
        return ExitOk;
    }
    writeErr(name.isEmpty()
                 ? QStringLiteral("kavren: no command given\n")
                 : QStringLiteral("kavren: unknown command ") + name + QStringLiteral("\n"));
    writeErr(QString::fromUtf8(overview(commands)));
    return ExitUsage;
}

}  // namespace kavren::cli
