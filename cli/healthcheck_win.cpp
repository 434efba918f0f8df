// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include "cli/healthcheck.h"

namespace kavren::cli {

std::string runHealthCheck(const HealthCheck& check,
                           const std::vector<std::pair<std::string, std::string>>& variables) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const std::string& name : check.withheld)
        environment.remove(QString::fromStdString(name));
    for (const auto& [name, value] : variables)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setNativeArguments(QStringLiteral("/c ") + QString::fromStdString(check.command));
    process.setProgram(QStringLiteral("cmd.exe"));
    process.start();
    if (!process.waitForStarted())
        return "could not be started";
    if (!process.waitForFinished(static_cast<int>(check.timeout.count()))) {
        // A child the command started may outlive this: Windows has no
        // process group to end in one call.
        process.kill();
        process.waitForFinished();
        return checkTimeoutText(check.timeout);
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return "ended abnormally";
    return process.exitCode() == 0 ? std::string()
                                   : "exited with status " + std::to_string(process.exitCode());
}

}  // namespace kavren::cli
