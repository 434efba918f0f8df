// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "tools/kavren/commands.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavren"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    return kavren::cli::runCommand(QCoreApplication::arguments());
}
