// SPDX-License-Identifier: GPL-3.0-or-later
// What discover, configure and restore print, without a network: the device
// lists in their three forms, the preview, the result lines and the summary.
// Device texts arrive as bytes and must come out literally: no markup, no
// format arguments, every byte one character.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "cli/deviceoutput.h"
#include "cli/runoutput.h"
#include "tests/support/fakes.h"

namespace kavren::cli {
namespace {

// A device whose texts are each a different kind of trouble, found via
// 198.18.0.1 from the address it reports.
const devices::DeviceRecord kAwkward{.mac = "02-AA-00-00-00-01",
                                     .name = "<b>Pump</b>",
                                     .version = "",
                                     .deviceIp = *protocol::Ipv4Address::parse("10.0.0.5"),
                                     .mask = *protocol::Ipv4Address::parse("255.255.255.0"),
                                     .gateway = *protocol::Ipv4Address::parse("0.0.0.0"),
                                     .description = "100%s %1 Caf\xE9\x80"};
const protocol::Ipv4Address kVia = *protocol::Ipv4Address::parse("198.18.0.1");
const protocol::Ipv4Address kSender = *protocol::Ipv4Address::parse("10.0.0.5");

usecases::FoundDevice awkwardDevice() {
    return {&kAwkward, kVia, kSender, {}};
}

TEST(DeviceListOutputTest, TableKeepsTextsLiterallyAndAlignsColumns) {
    usecases::FoundDevices devices;
    devices.add(kAwkward, kVia, kSender);
    devices.add({.mac = "02-AA-00-00-00-02",
                 .name = "x",
                 .version = "",
                 .deviceIp = *protocol::Ipv4Address::parse("10.0.0.6"),
                 .mask = {},
                 .gateway = {},
                 .description = ""},
                {}, {});
    const QByteArray table = devicesTable(devices);
    const QList<QByteArray> lines = table.split('\n');
    ASSERT_EQ(lines.size(), 4);  // header, two devices, the final line end
    EXPECT_TRUE(lines[0].startsWith("#  MAC Address        Device Name  Version  DeviceIP"));
    EXPECT_TRUE(lines[1].startsWith("1  02-AA-00-00-00-01  <b>Pump</b>           10.0.0.5"));
    EXPECT_TRUE(lines[2].startsWith("2  02-AA-00-00-00-02  x                     10.0.0.6"));
    // Latin-1 bytes become UTF-8 characters; C1 controls are shown escaped.
    EXPECT_TRUE(lines[1].contains("100%s %1 Caf\xC3\xA9\\x80"));
    EXPECT_TRUE(lines[3].isEmpty());
}

TEST(DeviceListOutputTest, JsonAndCsvGiveTheDeviceBytesBack) {
    usecases::FoundDevices device;
    device.add(kAwkward, kVia, kSender);
    device.add(kAwkward, kVia, *protocol::Ipv4Address::parse("10.0.0.66"));
    const QJsonArray array = QJsonDocument::fromJson(devicesJson(device)).array();
    ASSERT_EQ(array.size(), 1);
    const QJsonObject object = array.at(0).toObject();
    EXPECT_EQ(object.value(QStringLiteral("name")).toString().toLatin1(), "<b>Pump</b>");
    EXPECT_EQ(object.value(QStringLiteral("version")).toString(), QString());
    EXPECT_EQ(object.value(QStringLiteral("description")).toString().toLatin1(),
              QByteArray("100%s %1 Caf\xE9\x80"));
    EXPECT_EQ(object.value(QStringLiteral("found_via")).toString(), QStringLiteral("198.18.0.1"));
    // Beyond the CSV's columns: who else claimed the MAC, and whether the
    // reply came from the address it reports.
    EXPECT_EQ(object.keys().size(), deviceKeys().size() + 2);
    EXPECT_EQ(object.value(QStringLiteral("other_senders")).toArray(),
              QJsonArray{QStringLiteral("10.0.0.66")});
    EXPECT_EQ(object.value(QStringLiteral("sender_is_device_ip")).toBool(), true);

    const QByteArray csv = devicesCsv(device);
    EXPECT_EQ(csv.count("\r\n"), 2);  // header and one device
    EXPECT_TRUE(csv.contains(",<b>Pump</b>,,10.0.0.5,"));
    EXPECT_TRUE(csv.contains("100%s %1 Caf\xC3\xA9\xC2\x80"));
}

TEST(DeviceListOutputTest, NoDevicesStillGiveValidMachineOutput) {
    const usecases::FoundDevices none;
    EXPECT_EQ(QJsonDocument::fromJson(devicesJson(none)).array().size(), 0);
    EXPECT_TRUE(QJsonDocument::fromJson(devicesJson(none)).isArray());
    const QByteArray csv = devicesCsv(none);
    EXPECT_EQ(csv.count("\r\n"), 1);
    EXPECT_TRUE(csv.endsWith("\r\n"));
}

TEST(PreviewTableTest, ShowsErrorsWarningsAndTheSecretOnlyAsSet) {
    changes::PlanEntry found;
    found.line = 2;
    found.mac = "02-AA-00-00-00-01";
    found.device = awkwardDevice();
    found.target = testsupport::settings("10.0.0.9", "255.255.255.0", "0.0.0.0", "new %s");
    found.newPassword = "hunter2";
    found.warnings = {"description longer than the device keeps"};
    changes::PlanEntry missing;
    missing.line = 3;
    missing.mac = "02-AA-00-00-00-09";
    missing.errors = {"no such device", "bad mask"};

    const QByteArray table = previewTable({found, missing});
    EXPECT_FALSE(table.contains("hunter2"));
    const QList<QByteArray> lines = table.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("Line  MAC Address        Device Name  DeviceIP  IP Address"));
    EXPECT_TRUE(lines[0].endsWith("NewPassword  Check"));
    EXPECT_TRUE(lines[1].startsWith("2     02-AA-00-00-00-01  <b>Pump</b>  10.0.0.5  10.0.0.9"));
    EXPECT_TRUE(lines[1].contains("new %s"));
    EXPECT_TRUE(
        lines[1].endsWith("(set)        warning: description longer than the device keeps"));
    // No device: its columns stay empty and every error is listed.
    EXPECT_TRUE(lines[2].startsWith("3     02-AA-00-00-00-09                         "));
    EXPECT_TRUE(lines[2].endsWith("No Change    ERROR: no such device; ERROR: bad mask"));
}

TEST(ResultLineTest, EachStateSaysWhatHappenedWithDeviceTextsEscaped) {
    usecases::ConfigJob job{awkwardDevice(), testsupport::settings("10.0.0.9", "", "", ""), {}};
    usecases::JobResult sent;
    sent.state = usecases::JobState::Sent;
    sent.destination = testsupport::ipv4("10.0.0.255");
    EXPECT_EQ(resultLine(job, sent), QStringLiteral("02-AA-00-00-00-01  sent to 10.0.0.255\n"));
    sent.attempt = 2;
    sent.outsideSubnet = true;
    EXPECT_EQ(resultLine(job, sent),
              QStringLiteral("02-AA-00-00-00-01  sent to 10.0.0.255 (attempt 2) (by broadcast: "
                             "its address 10.0.0.5 lies outside the subnet of adapter "
                             "198.18.0.1)\n"));

    usecases::JobResult acknowledged;
    acknowledged.state = usecases::JobState::Acknowledged;
    acknowledged.message = "Setting OK %1\x1b[2J";
    EXPECT_EQ(resultLine(job, acknowledged),
              QStringLiteral("02-AA-00-00-00-01  acknowledged \"Setting OK %1\\x1b[2J\"\n"));

    usecases::JobResult verified;
    verified.state = usecases::JobState::Verified;
    EXPECT_EQ(resultLine(job, verified),
              QStringLiteral("02-AA-00-00-00-01  verified (reports 10.0.0.9)\n"));

    usecases::JobResult failed;
    failed.state = usecases::JobState::Failed;
    failed.reason = "Password Error \xE9";
    EXPECT_EQ(resultLine(job, failed),
              QStringLiteral("02-AA-00-00-00-01  failed: Password Error \u00E9\n"));
    failed.state = usecases::JobState::NotSent;
    failed.reason = "";
    EXPECT_TRUE(resultLine(job, failed).endsWith(QStringLiteral(": \n")));
}

TEST(RunSummaryTest, DevicesNeverSentCountAsFailedAndSentOnesAsNothing) {
    std::vector<usecases::JobResult> results(6);
    results[0].state = usecases::JobState::Verified;
    results[1].state = usecases::JobState::Verified;
    results[2].state = usecases::JobState::Acknowledged;
    results[3].state = usecases::JobState::Failed;
    results[4].state = usecases::JobState::NotSent;
    results[5].state = usecases::JobState::Sent;
    const RunSummary summary = summarise(results);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summaryLine(summary),
              QStringLiteral("6 device(s): 2 verified, 1 acknowledged, 2 failed\n"));
    EXPECT_EQ(summaryLine(summarise({})),
              QStringLiteral("0 device(s): 0 verified, 0 acknowledged, 0 failed\n"));
    results[5].state = usecases::JobState::Unchanged;
    EXPECT_EQ(summaryLine(summarise(results)),
              QStringLiteral("6 device(s): 2 verified, 1 acknowledged, 2 failed, 1 unchanged\n"));
}

// The document scripts act on: one final state per entry, the totals, and
// of a new password only that one was set.
TEST(RunJsonTest, EachEntryEndsInOneStateAndNoPasswordIsWritten) {
    changes::PlanEntry found;
    found.mac = "02-AA-00-00-00-01";
    found.device = awkwardDevice();
    found.target = testsupport::settings("10.0.0.9", "255.255.255.0", "0.0.0.0", "x");
    changes::PlanEntry renamed = found;
    renamed.newPassword = "hunter2-secret";
    changes::PlanEntry missing;
    missing.mac = "02-AA-00-00-00-09";
    missing.errors = {"MAC address not found"};
    changes::PlanEntry refused = found;
    refused.errors = {"gateway outside"};

    // (entries' results, dry run, the states expected)
    struct Case {
        std::vector<usecases::JobState> states;
        bool dryRun;
        std::vector<const char*> expected;
    };
    const std::vector<changes::PlanEntry> entries{found, renamed, missing, refused};
    const std::vector<Case> cases{
        {{usecases::JobState::Unchanged, usecases::JobState::NotSent, usecases::JobState::NotSent,
          usecases::JobState::NotSent},
         true,
         {"unchanged", "would_change", "not_found", "failed"}},
        {{usecases::JobState::Verified, usecases::JobState::Acknowledged,
          usecases::JobState::NotSent, usecases::JobState::Failed},
         false,
         {"verified", "acknowledged", "not_found", "failed"}},
        {{usecases::JobState::Sent, usecases::JobState::NotSent, usecases::JobState::NotSent,
          usecases::JobState::NotSent},
         false,
         {"failed", "failed", "not_found", "failed"}},
    };
    for (const Case& c : cases) {
        std::vector<usecases::JobResult> results(c.states.size());
        for (std::size_t i = 0; i < results.size(); ++i)
            results[i].state = c.states[i];
        results[0].handedOver = true;
        results[0].destination = testsupport::ipv4("10.0.0.5");
        const QByteArray json = runJson(QStringLiteral("configure"), c.dryRun, entries, results);
        EXPECT_FALSE(json.contains("hunter2"));
        const QJsonObject document = QJsonDocument::fromJson(json).object();
        const QJsonArray devices = document[QStringLiteral("devices")].toArray();
        ASSERT_EQ(devices.size(), 4);
        for (qsizetype i = 0; i < devices.size(); ++i) {
            EXPECT_EQ(devices[i][QStringLiteral("state")].toString(),
                      QLatin1String(c.expected[static_cast<std::size_t>(i)]))
                << i;
        }
        EXPECT_TRUE(devices[1][QStringLiteral("new_password")].toBool());
        EXPECT_EQ(devices[0][QStringLiteral("sent")][QStringLiteral("destination")].toString(),
                  QStringLiteral("10.0.0.5"));
        EXPECT_TRUE(devices[2][QStringLiteral("before")].isNull());
        EXPECT_EQ(devices[0][QStringLiteral("before")][QStringLiteral("description")].toString(),
                  QStringLiteral("100%s %1 Caf\u00E9\u0080"));
        const QJsonObject totals = document[QStringLiteral("totals")].toObject();
        EXPECT_EQ(totals[QStringLiteral("devices")].toInt(), 4);
        EXPECT_EQ(totals[QStringLiteral("not_found")].toInt(), 1);
        EXPECT_EQ(totals.contains(QStringLiteral("would_change")), c.dryRun);
    }
}

}  // namespace
}  // namespace kavren::cli
