// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/diagnosis.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace kavren::cli {

std::vector<std::string> firewallRulesFor(const std::vector<std::uint16_t>& ports, bool& readable,
                                          const std::vector<std::string>& withheld) {
    std::vector<std::string> rules;
    readable = false;
    // A password passed in the environment is ours alone; a child would
    // inherit it and could show it or pass it further.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const std::string& name : withheld)
        environment.remove(QString::fromStdString(name));
    const std::vector<QStringList> commands{
        {QStringLiteral("nft"), QStringLiteral("list"), QStringLiteral("ruleset")},
        {QStringLiteral("iptables-save")}};
    for (const QStringList& command : commands) {
        const QString program = QStandardPaths::findExecutable(command.front());
        if (program.isEmpty())
            continue;
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, command.mid(1));
        if (!process.waitForFinished(2000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            process.kill();
            process.waitForFinished(500);
            continue;
        }
        readable = true;
        const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            const QString lower = line.toLower();
            if (!lower.contains(QLatin1String("drop")) && !lower.contains(QLatin1String("reject")))
                continue;
            for (const std::uint16_t port : ports) {
                if (line.contains(QString::number(port))) {
                    rules.push_back(line.trimmed().toStdString());
                    break;
                }
            }
        }
        break;
    }
    return rules;
}

std::vector<std::string> firewallProfileHints() {
    // A desktop firewall drops the replies without a trace the user could
    // read, so the way out is named even when no rule could be seen.
    return {"a host firewall may drop the replies to port 62631; the installed profiles open it:",
            "  firewall-cmd --add-service=kavren   (firewalld)", "  ufw allow kavren   (ufw)"};
}

}  // namespace kavren::cli
