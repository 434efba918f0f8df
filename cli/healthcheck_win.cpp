// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <cstdio>

#include "cli/healthcheck.h"

namespace kavren::cli {

namespace {

constexpr int kPollMilliseconds = 50;

}  // namespace

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
    process.setNativeArguments(QStringLiteral("/c ") + QString::fromStdString(check.command));
    process.setProgram(QStringLiteral("cmd.exe"));
    process.start();
    if (!process.waitForStarted())
        return "could not be started";
    // Its output goes where a POSIX check's does: to standard error, so that
    // kavren's standard output stays its own document. Read as it comes, so
    // a full pipe never holds the check up.
    auto forward = [&process] {
        const QByteArray output = process.readAllStandardOutput();
        std::fwrite(output.constData(), 1, static_cast<std::size_t>(output.size()), stderr);
    };
    QDeadlineTimer deadline(std::chrono::duration_cast<std::chrono::milliseconds>(check.timeout));
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(kPollMilliseconds)) {
        forward();
        if (deadline.hasExpired()) {
            // A child the command started may outlive this: Windows has no
            // process group to end in one call.
            process.kill();
            process.waitForFinished();
            return checkTimeoutText(check.timeout);
        }
    }
    forward();
    if (process.exitStatus() != QProcess::NormalExit)
        return "ended abnormally";
    return process.exitCode() == 0 ? std::string()
                                   : "exited with status " + std::to_string(process.exitCode());
}

}  // namespace kavren::cli
