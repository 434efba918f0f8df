// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/adapterscommand.h"

#include "cli/console.h"
#include "net/adapters.h"

namespace kavren::cli {

AdaptersCommand::AdaptersCommand()
    : Command(QStringLiteral("adapters"), QStringLiteral("list the adapter entries")) {}

QString AdaptersCommand::description() const {
    return QStringLiteral(
        "Lists the adapter entries as the window's adapter box shows them: "
        "one per IPv4 address, \"ADDRESS (ADAPTER MAC)\".");
}

void AdaptersCommand::addOptions(QCommandLineParser& /*parser*/) const {}

int AdaptersCommand::run(const QCommandLineParser& /*parser*/) {
    net::AdapterList list;
    list.fill(*net::makePlatformAdapterQuery());
    QByteArray out;
    for (const std::string& entry : list.entryTexts())
        out += QByteArray::fromStdString(entry) + '\n';
    writeOut(out);
    if (list.entryTexts().empty()) {
        writeErr(QStringLiteral("kavren: no adapters\n"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace kavren::cli
