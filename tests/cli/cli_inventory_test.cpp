// SPDX-License-Identifier: GPL-3.0-or-later
// A site's lists over time and for monitoring: the diff of two discovery
// documents, Prometheus's text format and Zabbix's discovery data, and which
// results a rollback takes up.
#include <QJsonDocument>

#include <gtest/gtest.h>

#include "cli/inventorydiff.h"
#include "cli/monitoringoutput.h"
#include "cli/rollback.h"
#include "cli/runoutput.h"
#include "tests/support/fakes.h"

namespace kavren::cli {
namespace {

Inventory inventory(const char* json) {
    QString error;
    auto parsed = parseInventory(QByteArray(json), error);
    EXPECT_TRUE(parsed) << error.toStdString();
    return parsed.value_or(Inventory{});
}

devices::DeviceRecord found(const char* mac, const char* ip) {
    return {.mac = mac,
            .name = "",
            .version = "",
            .deviceIp = *protocol::Ipv4Address::parse(ip),
            .mask = {},
            .gateway = {},
            .description = ""};
}
const protocol::Ipv4Address kVia = *protocol::Ipv4Address::parse("198.18.0.1");
const protocol::Ipv4Address kSender = *protocol::Ipv4Address::parse("10.0.0.1");

TEST(InventoryDiffTest, RefusesWhatIsNoDiscoveryDocument) {
    for (const char* bad : {"", "{}", "[1]", "[{\"ip\":\"1.2.3.4\"}]", "[{\"mac\":\"a\",\"ip\":5}]",
                            "[{\"mac\":\"a\"},{\"mac\":\"a\"}]"}) {
        QString error;
        EXPECT_FALSE(parseInventory(QByteArray(bad), error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(InventoryDiffTest, TellsNewGoneChangedAndNewClaims) {
    const Inventory before = inventory(
        R"([{"mac":"A","name":"a","ip":"10.0.0.1","other_senders":[]},
            {"mac":"B","name":"b","ip":"10.0.0.2","other_senders":["10.0.0.9"]},
            {"mac":"C","ip":"10.0.0.3"}])");
    const Inventory after = inventory(
        R"([{"mac":"A","name":"a","ip":"10.0.0.5","other_senders":["10.0.0.8"]},
            {"mac":"B","name":"b","ip":"10.0.0.2"},
            {"mac":"D","name":"d\n","ip":"10.0.0.4"}])");
    EXPECT_TRUE(diffInventories(before, before).empty());
    // B's claimant left: a change; A's new one: an impostor mark.
    EXPECT_EQ(
        QJsonDocument::fromJson(diffJson(diffInventories(before, after)))
            .toJson(QJsonDocument::Compact),
        QByteArray(R"({"changed":[{"field":"ip","mac":"A","new":"10.0.0.5","old":"10.0.0.1"},)"
                   R"({"field":"other_senders","mac":"B","new":"","old":"10.0.0.9"}],)"
                   R"("gone":[{"ip":"10.0.0.3","mac":"C"}],)"
                   R"("impostors":[{"mac":"A","other_senders":["10.0.0.8"]}],)"
                   R"("new":[{"ip":"10.0.0.4","mac":"D","name":"d\n"}]})"));
    const QByteArray table = diffTable(diffInventories(before, after));
    EXPECT_TRUE(table.contains("changed   A            a            ip             10.0.0.1"))
        << table.toStdString();
    EXPECT_TRUE(table.contains("d\\x0a")) << "a device's line break is shown, not obeyed";
}

TEST(MonitoringOutputTest, PrometheusEscapesLabelsAndCountsPerAdapter) {
    EXPECT_EQ(prometheusLabel(QStringLiteral("a\\b\"c\nd\te")),
              QStringLiteral("a\\\\b\\\"c\\nd\te"));
    devices::DeviceRecord one = found("M1", "10.0.0.1");
    one.name = "x\"}\n y 1";
    usecases::FoundDevices devices;
    devices.add(one, kVia, kSender);
    devices.add(found("M2", "10.0.0.01"), kVia, kSender);
    devices.add(found("M2", "10.0.0.01"), kVia, kSender);
    const QByteArray text = devicesPrometheus(
        devices,
        {*protocol::Ipv4Address::parse("198.18.0.1"), *protocol::Ipv4Address::parse("198.19.0.1")},
        42);
    EXPECT_TRUE(
        text.contains("kavren_device_info{mac=\"M1\",name=\"x\\\"}\\n y 1\",version=\"\","
                      "ip=\"10.0.0.1\",mask=\"\",gateway=\"\",description=\"\","
                      "adapter=\"198.18.0.1\"} 1\n"));
    EXPECT_TRUE(text.contains("kavren_devices{adapter=\"198.18.0.1\"} 2\n"));
    EXPECT_TRUE(text.contains("kavren_devices{adapter=\"198.19.0.1\"} 0\n"));
    EXPECT_TRUE(text.contains("kavren_device_contested{mac=\"M2\"} 1\n"));
    EXPECT_TRUE(text.contains("kavren_address_conflicts 1\n"));  // 10.0.0.1 == 10.0.0.01
    EXPECT_TRUE(text.endsWith("kavren_discovery_timestamp_seconds 42\n"));
    usecases::FoundDevices alone;
    alone.add(one, kVia, kSender);
    EXPECT_EQ(
        QJsonDocument::fromJson(devicesZabbix(alone)).toJson(QJsonDocument::Compact),
        QByteArray(R"([{"{#ADAPTER}":"198.18.0.1","{#DESCRIPTION}":"","{#GATEWAY}":"",)"
                   R"("{#IP}":"10.0.0.1","{#MAC}":"M1","{#MASK}":"","{#NAME}":"x\"}\n y 1"}])"));
}

TEST(RollbackTest, UndoesChangesThatWentOutAndDidNotHold) {
    using usecases::JobState;
    struct Case {
        JobState state;
        bool handedOver;
        const char* message;
        bool undo;
    };
    for (const Case c :
         {Case{JobState::Failed, true, "", true}, Case{JobState::Failed, true, "Setting OK", true},
          Case{JobState::Failed, true, "Password Error", false},
          Case{JobState::NotSent, false, "", false},
          Case{JobState::Verified, true, "Setting OK", false}}) {
        usecases::JobResult result;
        result.state = c.state;
        result.handedOver = c.handedOver;
        result.message = c.message;
        EXPECT_EQ(needsRollback(result), c.undo) << c.message;
    }
    const devices::DeviceRecord record = found("M", "10.0.0.1");
    usecases::ConfigJob job{{&record, *protocol::Ipv4Address::parse("10.0.0.254"), kSender, {}},
                            testsupport::settings("10.0.0.50", "255.0.0.0", "", ""),
                            {}};
    // Not seen again: where it was asked to move; seen: where it is.
    usecases::FoundDevices none, assumed, seen;
    EXPECT_EQ(devices::addressText(rollbackJob(job, none, assumed).device->deviceIp), "10.0.0.50");
    EXPECT_EQ(devices::addressText(rollbackJob(job, none, assumed).target.ip), "10.0.0.1");
    seen.add(found("M", "10.0.0.77"), kVia, kSender);
    EXPECT_EQ(devices::addressText(rollbackJob(job, seen, assumed).device->deviceIp), "10.0.0.77");
    usecases::JobResult undone;
    undone.state = JobState::RollbackFailed;
    undone.reason = "not found again";
    EXPECT_EQ(resultLine(job, undone), QStringLiteral("M  rollback failed: not found again\n"));
    undone.state = JobState::RolledBack;
    EXPECT_EQ(resultLine(job, undone),
              QStringLiteral("M  rolled back (reports its previous settings)\n"));
    EXPECT_EQ(checkVariables(job),
              (std::vector<std::pair<std::string, std::string>>{{"KAVREN_MAC", "M"},
                                                                {"KAVREN_IP", "10.0.0.50"},
                                                                {"KAVREN_PREVIOUS_IP", "10.0.0.1"},
                                                                {"KAVREN_ADAPTER", "10.0.0.254"}}));
}

}  // namespace
}  // namespace kavren::cli
