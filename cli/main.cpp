// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>

#include "cli/commands.h"
#include "kavren/version.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavren"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(
        kavren::kVersion.data(), static_cast<qsizetype>(kavren::kVersion.size())));
    return kavren::cli::runCommand(QCoreApplication::arguments());
}
