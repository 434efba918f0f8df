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

namespace kavren::cli {
namespace {

// A device whose texts are each a different kind of trouble.
FoundDevice awkwardDevice() {
    return FoundDevice{.mac = "02-AA-00-00-00-01",
                       .name = "<b>Pump</b>",
                       .version = "",
                       .ip = "10.0.0.5",
                       .mask = "255.255.255.0",
                       .gateway = "0.0.0.0",
                       .description = "100%s %1 Caf\xE9\x80",
                       .foundVia = "198.18.0.1",
                       .sender = "10.0.0.5"};
}

TEST(DeviceListOutputTest, TableKeepsTextsLiterallyAndAlignsColumns) {
    FoundDevice plain;
    plain.mac = "02-AA-00-00-00-02";
    plain.name = "x";
    plain.ip = "10.0.0.6";
    const QByteArray table = devicesTable({awkwardDevice(), plain});
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
    FoundDevice device = awkwardDevice();
    device.rivals.push_back(awkwardDevice());
    device.rivals.back().sender = "10.0.0.66";
    const QJsonArray array = QJsonDocument::fromJson(devicesJson({device})).array();
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

    const QByteArray csv = devicesCsv({device});
    EXPECT_EQ(csv.count("\r\n"), 2);  // header and one device
    EXPECT_TRUE(csv.contains(",<b>Pump</b>,,10.0.0.5,"));
    EXPECT_TRUE(csv.contains("100%s %1 Caf\xC3\xA9\xC2\x80"));
}

TEST(DeviceListOutputTest, NoDevicesStillGiveValidMachineOutput) {
    EXPECT_EQ(QJsonDocument::fromJson(devicesJson({})).array().size(), 0);
    EXPECT_TRUE(QJsonDocument::fromJson(devicesJson({})).isArray());
    const QByteArray csv = devicesCsv({});
    EXPECT_EQ(csv.count("\r\n"), 1);
    EXPECT_TRUE(csv.endsWith("\r\n"));
}

TEST(PreviewTableTest, ShowsErrorsWarningsAndTheSecretOnlyAsSet) {
    PlanEntry found;
    found.line = 2;
    found.mac = "02-AA-00-00-00-01";
    found.device = awkwardDevice();
    found.target = {"10.0.0.9", "255.255.255.0", "0.0.0.0", "new %s"};
    found.newPassword = "hunter2";
    found.warnings = {"description longer than the device keeps"};
    PlanEntry missing;
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
    ConfigJob job{awkwardDevice(), {"10.0.0.9", "", "", ""}, {}};
    JobResult sent;
    sent.state = JobState::Sent;
    sent.destination = "10.0.0.255";
    EXPECT_EQ(resultLine(job, sent), QStringLiteral("02-AA-00-00-00-01  sent to 10.0.0.255\n"));
    sent.attempt = 2;
    sent.outsideSubnet = true;
    EXPECT_EQ(resultLine(job, sent),
              QStringLiteral("02-AA-00-00-00-01  sent to 10.0.0.255 (attempt 2) (by broadcast: "
                             "its address 10.0.0.5 lies outside the subnet of adapter "
                             "198.18.0.1)\n"));

    JobResult acknowledged;
    acknowledged.state = JobState::Acknowledged;
    acknowledged.message = "Setting OK %1\x1b[2J";
    EXPECT_EQ(resultLine(job, acknowledged),
              QStringLiteral("02-AA-00-00-00-01  acknowledged \"Setting OK %1\\x1b[2J\"\n"));

    JobResult verified;
    verified.state = JobState::Verified;
    EXPECT_EQ(resultLine(job, verified),
              QStringLiteral("02-AA-00-00-00-01  verified (reports 10.0.0.9)\n"));

    JobResult failed;
    failed.state = JobState::Failed;
    failed.reason = "Password Error \xE9";
    EXPECT_EQ(resultLine(job, failed),
              QStringLiteral("02-AA-00-00-00-01  failed: Password Error \u00E9\n"));
    failed.state = JobState::NotSent;
    failed.reason = "";
    EXPECT_TRUE(resultLine(job, failed).endsWith(QStringLiteral(": \n")));
}

TEST(RunSummaryTest, DevicesNeverSentCountAsFailedAndSentOnesAsNothing) {
    std::vector<JobResult> results(6);
    results[0].state = JobState::Verified;
    results[1].state = JobState::Verified;
    results[2].state = JobState::Acknowledged;
    results[3].state = JobState::Failed;
    results[4].state = JobState::NotSent;
    results[5].state = JobState::Sent;
    const RunSummary summary = summarise(results);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summaryLine(summary),
              QStringLiteral("6 device(s): 2 verified, 1 acknowledged, 2 failed\n"));
    EXPECT_EQ(summaryLine(summarise({})),
              QStringLiteral("0 device(s): 0 verified, 0 acknowledged, 0 failed\n"));
}

}  // namespace
}  // namespace kavren::cli
