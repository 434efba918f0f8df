// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/discovercommand.h"

#include <QDateTime>
#include <QSaveFile>

#include "cli/console.h"
#include "cli/devicefinder.h"
#include "cli/deviceoutput.h"
#include "cli/monitoringoutput.h"

namespace kavren::cli {

namespace {
// Bytes of output gathered before they are written.
constexpr qsizetype kOutputPiece = 64 * 1024;
}  // namespace

DiscoverCommand::DiscoverCommand()
    : Command(QStringLiteral("discover"),
              QStringLiteral("find the devices on every adapter (or --adapter)")) {}

QString DiscoverCommand::description() const {
    return QStringLiteral(
        "Broadcasts a discovery request from each adapter in turn and lists the devices "
        "that answered, merged by MAC address, with the adapter each was found via and "
        "the address its reply came from. Device texts are written as UTF-8, one "
        "character per device byte (Latin-1).");
}

void DiscoverCommand::addOptions(QCommandLineParser& parser) const {
    addNetworkOptions(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("Write a JSON array.")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Write CSV with a header line.")});
    parser.addOption({QStringLiteral("prometheus"),
                      QStringLiteral("Write Prometheus's text format, for node_exporter's "
                                     "textfile collector.")});
    parser.addOption(
        {QStringLiteral("zabbix"), QStringLiteral("Write Zabbix low-level discovery JSON.")});
    parser.addOption({QStringLiteral("output"),
                      QStringLiteral("Write the list to FILE instead of standard output: to a "
                                     "temporary file beside it, renamed over FILE once "
                                     "complete, so a reader never sees half a list."),
                      QStringLiteral("FILE")});
}

int DiscoverCommand::run(const QCommandLineParser& parser) {
    QStringList formats;
    for (const char* format : {"json", "csv", "prometheus", "zabbix"}) {
        if (parser.isSet(QLatin1String(format)))
            formats << QStringLiteral("--") + QLatin1String(format);
    }
    if (formats.size() > 1)
        return usageError(formats[0] + QStringLiteral(" and ") + formats[1] +
                          QStringLiteral(" exclude each other"));
    NetworkOptions options;
    QString error;
    if (!readNetworkOptions(parser, options, error))
        return usageError(error);
    // The file is opened before anything is sent, so a path that cannot be
    // written is told at once; it replaces FILE only once it is complete, and
    // a discovery that fails leaves the previous list in place.
    QSaveFile file(parser.value(QStringLiteral("output")));
    const bool toFile = parser.isSet(QStringLiteral("output"));
    if (toFile && !file.open(QIODevice::WriteOnly)) {
        writeErr(QStringLiteral("kavren: cannot write %1: %2\n")
                     .arg(file.fileName(), file.errorString()));
        return ExitFailed;
    }
    DeviceFinder finder(options.masks);
    auto discovered = openAndDiscover(finder, options);
    if (!discovered)
        return ExitFailed;
    const usecases::FoundDevices found = std::move(*discovered);
    // Nothing more is received; under a flood the replies still coming in
    // would otherwise fill the delivery queue (up to 64 MiB) while the list
    // is written.
    finder.close();
    // The list goes out in pieces as it is written: 100,000 devices are some
    // 40 MB of JSON, which would otherwise be held whole before the first byte.
    QByteArray pending;
    bool writeFailed = false;
    auto pass = [&] {
        if (!toFile)
            writeOut(pending);
        else if (!writeFailed && file.write(pending) != pending.size())
            writeFailed = true;
        pending.resize(0);
    };
    const OutputSink out = [&](QByteArrayView bytes) {
        pending += bytes;
        if (pending.size() >= kOutputPiece)
            pass();
    };
    if (parser.isSet(QStringLiteral("json"))) {
        writeDevicesJson(found, out);
    } else if (parser.isSet(QStringLiteral("csv"))) {
        writeDevicesCsv(found, out);
    } else if (parser.isSet(QStringLiteral("prometheus"))) {
        out(devicesPrometheus(found, options.adapters, QDateTime::currentSecsSinceEpoch()));
    } else if (parser.isSet(QStringLiteral("zabbix"))) {
        out(devicesZabbix(found));
    } else if (!found.empty()) {
        writeDevicesTable(found, out);
    }
    pass();
    if (toFile && (writeFailed || !file.commit())) {
        writeErr(QStringLiteral("kavren: cannot write %1: %2\n")
                     .arg(file.fileName(), file.errorString()));
        return ExitFailed;
    }
    if (found.empty()) {
        diagnoseSilence(options);
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace kavren::cli
