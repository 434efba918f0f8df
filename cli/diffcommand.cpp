// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/diffcommand.h"

#include <QFile>

#include "cli/console.h"
#include "cli/inventorydiff.h"

namespace kavren::cli {

namespace {

// The list in `path`, or nullopt after naming the file and what is wrong.
std::optional<Inventory> readInventory(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        writeErr(QStringLiteral("kavren: cannot read %1: %2\n").arg(path, file.errorString()));
        return std::nullopt;
    }
    QString error;
    auto inventory = parseInventory(file.readAll(), error);
    if (!inventory) {
        writeErr(QStringLiteral("kavren: %1 is not a discovery document: %2\n").arg(path, error));
    }
    return inventory;
}

}  // namespace

DiffCommand::DiffCommand()
    : Command(QStringLiteral("diff"),
              QStringLiteral("compare two lists that discover --json wrote")) {}

QString DiffCommand::description() const {
    return QStringLiteral(
        "Compares two device lists written by \"kavren discover --json\", device by MAC "
        "address: which devices are new, which are gone, which fields changed (old and new "
        "value), and which devices are newly claimed by another sender. Nothing is sent; "
        "the exit status is the one diff gives.");
}

QByteArray DiffCommand::exitStatuses() const {
    return QByteArrayLiteral(
        "\nExit status:\n"
        "  0  the lists are the same\n"
        "  1  the lists differ\n"
        "  2  usage error, or a file that cannot be read or is no discovery list\n");
}

void DiffCommand::addOptions(QCommandLineParser& parser) const {
    parser.addPositionalArgument(QStringLiteral("OLD"), QStringLiteral("The earlier list."));
    parser.addPositionalArgument(QStringLiteral("NEW"), QStringLiteral("The later list."));
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Write a JSON object with the keys new, gone, changed and "
                                     "impostors.")});
}

int DiffCommand::run(const QCommandLineParser& parser) {
    // The first positional argument is the command's own name.
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.size() != 2)
        return usageError(QStringLiteral("diff wants two files, OLD and NEW"));
    const auto before = readInventory(files[0]);
    if (!before)
        return ExitUsage;
    const auto after = readInventory(files[1]);
    if (!after)
        return ExitUsage;
    const InventoryDiff diff = diffInventories(*before, *after);
    writeOut(parser.isSet(QStringLiteral("json")) ? diffJson(diff) : diffTable(diff));
    return diff.empty() ? ExitOk : ExitFailed;
}

}  // namespace kavren::cli
