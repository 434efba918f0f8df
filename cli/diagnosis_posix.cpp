// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <set>

#include "cli/diagnosis.h"

// The holders of a UDP port from /proc: the socket inodes bound to the port,
// then the processes with a descriptor on one of them.
namespace kavren::cli {

namespace {

// Socket inodes bound to `port` in one of /proc/net/udp's tables.
std::set<QString> socketInodes(const QString& table, std::uint16_t port) {
    std::set<QString> inodes;
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return inodes;
    const QString wantedPort = QStringLiteral("%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    file.readLine();  // header
    while (!file.atEnd()) {
        const QStringList fields =
            QString::fromLatin1(file.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // sl local_address rem_address st tx:rx tr:tm retrnsmt uid timeout inode
        if (fields.size() < 10)
            continue;
        if (fields[1].section(QLatin1Char(':'), 1, 1).toUpper() == wantedPort)
            inodes.insert(fields[9]);
    }
    return inodes;
}

}  // namespace

std::vector<std::string> udpPortHolders(std::uint16_t port) {
    std::set<QString> inodes = socketInodes(QStringLiteral("/proc/net/udp"), port);
    const std::set<QString> v6 = socketInodes(QStringLiteral("/proc/net/udp6"), port);
    inodes.insert(v6.begin(), v6.end());
    std::vector<std::string> holders;
    if (inodes.empty())
        return holders;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool number = false;
        pid.toInt(&number);
        if (!number)
            continue;
        const QDir fds(QStringLiteral("/proc/") + pid + QStringLiteral("/fd"));
        bool holds = false;
        for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
            // QFile::symLinkTarget would make "socket:[n]" an absolute path.
            char buffer[64] = {};
            const ssize_t length = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(),
                                              buffer, sizeof buffer - 1);
            const QString target =
                QString::fromLatin1(buffer, length > 0 ? static_cast<qsizetype>(length) : 0);
            const QString prefix = QStringLiteral("socket:[");
            if (target.startsWith(prefix) &&
                inodes.count(target.mid(prefix.size()).chopped(1)) > 0) {
                holds = true;
                break;
            }
        }
        if (!holds)
            continue;
        QFile comm(QStringLiteral("/proc/") + pid + QStringLiteral("/comm"));
        QString name = QStringLiteral("?");
        if (comm.open(QIODevice::ReadOnly))
            name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        holders.push_back("pid " + pid.toStdString() + " (" + name.toStdString() + ")");
    }
    if (holders.empty())
        holders.emplace_back("a process this user cannot see");
    return holders;
}

}  // namespace kavren::cli
