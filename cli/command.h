// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "usecases/founddevice.h"

namespace kavren::cli {

class DeviceFinder;

// Exit statuses of every command.
enum ExitStatus : int {
    ExitOk = 0,      // done; for discover: devices were found
    ExitFailed = 1,  // nothing found, a device failed, or the plan has errors
    ExitUsage = 2,   // the command line could not be used
};

// The exit statuses as every --help ends with them.
QByteArray exitStatusesHelp();

// The adapters, waits and repeats of a command that talks to devices.
struct NetworkOptions {
    std::vector<protocol::Ipv4Address> adapters;
    // The net mask of each adapter address, as the run's one adapter query
    // reported it.
    std::map<protocol::Ipv4Address, protocol::Ipv4Address> masks;
    std::chrono::milliseconds timeout{2000};
    int retries = 0;
    // Environment variables holding a password: left out of the environment
    // of every program the diagnosis starts.
    std::vector<std::string> secretVariables;
};

// One command of kavren: its name, its line in the overview, its options and
// what it does. execute() parses and answers --help the same way for every
// command; a command adds its options and runs on the parsed line.
class Command {
public:
    Command(QString name, QString summary);
    virtual ~Command() = default;
    Q_DISABLE_COPY_MOVE(Command)

    const QString& name() const { return m_name; }
    // One line for the overview of commands.
    const QString& summary() const { return m_summary; }

    // Runs "kavren NAME ..." with the whole argument list (program name
    // first) and returns the exit status.
    int execute(const QStringList& arguments);

protected:
    // Bounds of the waits a user can ask for: every send loop ends.
    static constexpr double kMaxTimeoutSeconds = 60.0;

    // The paragraph that --help shows above the options.
    virtual QString description() const = 0;
    virtual void addOptions(QCommandLineParser& parser) const = 0;
    virtual int run(const QCommandLineParser& parser) = 0;
    // The exit statuses that --help ends with: those of every command that
    // talks to devices, unless a command has its own.
    virtual QByteArray exitStatuses() const { return exitStatusesHelp(); }

    // Says what is wrong on standard error; returns ExitUsage.
    static int usageError(const QString& text);

    // --adapter, --timeout and --retries, shared by every command that talks
    // to devices. Reading them fills `options` or says what is wrong.
    static void addNetworkOptions(QCommandLineParser& parser);
    static bool readNetworkOptions(const QCommandLineParser& parser, NetworkOptions& options,
                                   QString& error);

    // The discovery every such command starts with: no adapters, a port held
    // by another program and a failed send are reported here, and give
    // nothing.
    static std::optional<usecases::FoundDevices> openAndDiscover(DeviceFinder& finder,
                                                                 const NetworkOptions& options);
    // Why nothing may have answered: the adapters, the wait and any firewall
    // rules that could drop the replies.
    static void diagnoseSilence(const NetworkOptions& options);

private:
    QString m_name;
    QString m_summary;
};

}  // namespace kavren::cli
