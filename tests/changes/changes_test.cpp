// SPDX-License-Identifier: GPL-3.0-or-later
#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <optional>

#include <gtest/gtest.h>

#include "changes/audittrail.h"
#include "changes/changerecord.h"
#include "changes/plan.h"
#include "tests/support/fakes.h"
#include "usecases/configuration.h"

namespace kavren::changes {
namespace {

using testsupport::foundDevices;
using testsupport::foundRecord;

bool hasError(const PlanEntry& entry, const std::string& part) {
    for (const std::string& e : entry.errors) {
        if (e.find(part) != std::string::npos)
            return true;
    }
    return false;
}

TEST(PlanFileTest, ReadsQuotedFieldsAndKeepsTextsExactly) {
    const PlanFile plan = parsePlan(
        "mac,ip,mask,gateway,description,new_password\r\n"
        "02-aa-00-00-00-01, 10.0.0.5 ,,,\"a, \"\"b\"\" 100%s\",  pw \n"
        "\n"
        "02:AA:00:00:00:02,,,,\"two\nlines\",\n");
    ASSERT_TRUE(plan.errors.empty());
    ASSERT_EQ(plan.rows.size(), 2U);
    EXPECT_EQ(plan.rows[0].line, 2);
    EXPECT_EQ(plan.rows[0].ip, "10.0.0.5");  // blanks around addresses dropped
    EXPECT_EQ(plan.rows[0].mask, "");
    EXPECT_EQ(plan.rows[0].description, "a, \"b\" 100%s");
    EXPECT_EQ(plan.rows[0].newPassword, "  pw ");  // passwords as written
    EXPECT_EQ(plan.rows[1].line, 4);
    EXPECT_EQ(plan.rows[1].description, "two\nlines");
}

TEST(PlanFileTest, HeaderMayReorderAndOmitColumns) {
    const PlanFile plan = parsePlan("IP,Mac\n10.0.0.9,02-AA-00-00-00-01\n");
    ASSERT_TRUE(plan.errors.empty());
    ASSERT_EQ(plan.rows.size(), 1U);
    EXPECT_EQ(plan.rows[0].mac, "02-AA-00-00-00-01");
    EXPECT_EQ(plan.rows[0].ip, "10.0.0.9");
}

TEST(PlanFileTest, WithoutHeaderColumnsArePositional) {
    const PlanFile plan = parsePlan("02-AA-00-00-00-01,10.0.0.9,255.0.0.0\n");
    ASSERT_EQ(plan.rows.size(), 1U);
    EXPECT_EQ(plan.rows[0].mask, "255.0.0.0");
    EXPECT_EQ(plan.rows[0].description, "");
}

TEST(PlanFileTest, DecodesUtf8AndFallsBackToLatin1) {
    const PlanFile utf8 = parsePlan("02-AA-00-00-00-01,,,,Caf\xC3\xA9\n");
    ASSERT_EQ(utf8.rows.size(), 1U);
    EXPECT_EQ(utf8.rows[0].description, "Caf\xE9");
    const PlanFile latin1 = parsePlan("02-AA-00-00-00-01,,,,Caf\xE9\xFF\n");
    ASSERT_EQ(latin1.rows.size(), 1U);
    EXPECT_EQ(latin1.rows[0].description, "Caf\xE9\xFF");
}

TEST(PlanFileTest, RefusesWhatCannotBeOneByteAndUnknownColumns) {
    const PlanFile wide = parsePlan("02-AA-00-00-00-01,,,,\xE2\x82\xAC\n");  // euro sign
    EXPECT_TRUE(wide.rows.empty());
    ASSERT_EQ(wide.errors.size(), 1U);
    EXPECT_NE(wide.errors[0].find("line 1"), std::string::npos);
    EXPECT_FALSE(parsePlan("mac,colour\n").errors.empty());
    EXPECT_FALSE(parsePlan("a,b,c,d,e,f,g\n").errors.empty());
}

TEST(MacTextTest, NormalisesEitherSeparatorAndRefusesOthers) {
    EXPECT_EQ(normaliseMac("0a:1b:2c:3d:4e:5f"), "0A-1B-2C-3D-4E-5F");
    EXPECT_EQ(normaliseMac("0A-1B-2C-3D-4E-5F"), "0A-1B-2C-3D-4E-5F");
    EXPECT_FALSE(normaliseMac("0A-1B-2C-3D-4E"));
    EXPECT_FALSE(normaliseMac("0A-1B-2C-3D-4E-5G"));
    EXPECT_FALSE(normaliseMac("0A.1B.2C.3D.4E.5F"));
}

TEST(PlanCheckTest, KeepsWhatIsNotGivenAndAcceptsAGoodRow) {
    const usecases::FoundDevices found =
        foundDevices({foundRecord("02-AA-00-00-00-01", "10.0.0.5", "10.0.0.1")});
    const auto entries = checkPlan({{1, "02-aa-00-00-00-01", "10.0.0.7", "", "", "", ""}}, found);
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_TRUE(entries[0].ok());
    EXPECT_EQ(entries[0].mac, "02-AA-00-00-00-01");
    EXPECT_EQ(devices::addressText(entries[0].target.ip), "10.0.0.7");
    EXPECT_EQ(devices::addressText(entries[0].target.mask), "255.255.255.0");
    EXPECT_EQ(devices::addressText(entries[0].target.gateway), "10.0.0.1");
    EXPECT_EQ(entries[0].target.description, "old");
}

TEST(PlanCheckTest, FlagsEveryKindOfError) {
    const usecases::FoundDevices found = foundDevices(
        {foundRecord("02-AA-00-00-00-01", "10.0.0.5"), foundRecord("02-AA-00-00-00-02", "10.0.0.6"),
         foundRecord("02-AA-00-00-00-03", "10.0.0.7"),
         foundRecord("02-AA-00-00-00-04", "10.0.0.8")});
    const auto entries = checkPlan({{1, "02-AA-00-00-00-01", "10.0.0.300", "", "", "", ""},
                                    {2, "nonsense", "", "", "", "", ""},
                                    {3, "02-AA-00-00-00-09", "10.0.0.20", "", "", "", ""},
                                    {4, "02-AA-00-00-00-02", "10.0.0.50", "", "", "", ""},
                                    {5, "02-AA-00-00-00-03", "10.0.0.50", "", "", "", ""},
                                    {6, "02-AA-00-00-00-04", "10.0.0.8", "", "192.168.1.1", "", ""},
                                    {7, "02-AA-00-00-00-02", "", "", "", "", ""}},
                                   found);
    ASSERT_EQ(entries.size(), 7U);
    EXPECT_TRUE(hasError(entries[0], "not readable"));
    EXPECT_TRUE(hasError(entries[1], "MAC address \"nonsense\" not readable"));
    EXPECT_TRUE(hasError(entries[2], "not found"));
    EXPECT_TRUE(entries[3].ok()) << "the first of two rows for one address is fine";
    EXPECT_TRUE(hasError(entries[4], "also given to line 4"));
    EXPECT_TRUE(hasError(entries[5], "outside the subnet"));
    EXPECT_TRUE(hasError(entries[6], "also listed on line 4"));
}

TEST(PlanCheckTest, AddressOfAnotherDeviceIsTakenUnlessThatDeviceMoves) {
    const usecases::FoundDevices found =
        foundDevices({foundRecord("02-AA-00-00-00-01", "10.0.0.5"),
                      foundRecord("02-AA-00-00-00-02", "10.0.0.6")});
    const auto taken = checkPlan({{1, "02-AA-00-00-00-01", "10.0.0.6", "", "", "", ""}}, found);
    EXPECT_TRUE(hasError(taken[0], "used by 02-AA-00-00-00-02"));
    const auto moved = checkPlan({{1, "02-AA-00-00-00-01", "10.0.0.6", "", "", "", ""},
                                  {2, "02-AA-00-00-00-02", "10.0.0.9", "", "", "", ""}},
                                 found);
    EXPECT_TRUE(moved[0].ok());
    EXPECT_TRUE(moved[1].ok());
}

// What a plan must not do: lose rows to a broken quote, or give a device a
// password it would cut or nobody can type again. Each is refused before
// anything is sent.
TEST(PlanLockOutTest, BrokenQuotesAreErrorsAndNoRowIsRead) {
    for (const char* text : {"mac,description\n02-AA-00-00-00-01,\"open\n02-AA-00-00-00-02,x\n",
                             "02-AA-00-00-00-01,,,,a\"b\n02-AA-00-00-00-02\n"}) {
        const PlanFile plan = parsePlan(text);
        EXPECT_TRUE(plan.rows.empty()) << text;
        ASSERT_EQ(plan.errors.size(), 1U) << text;
        EXPECT_TRUE(plan.errors[0].starts_with(text[0] == 'm' ? "line 2: " : "line 1: "))
            << plan.errors[0];
    }
}

TEST(PlanLockOutTest, NewPasswordsTheDeviceCannotKeepAreErrors) {
    const usecases::FoundDevices found =
        foundDevices({foundRecord("02-AA-00-00-00-01", "10.0.0.5")});
    const struct {
        std::string password;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {std::string(16, 'p'), nullptr},
        {"caf\xE9\xFF", nullptr},
        {std::string(17, 'p'), "new password longer than 16 bytes"},
        {"tab\there", "control character"},
        {"bell\x07", "control character"},
        {"del\x7F", "control character"},
        {"c1\x85", "control character"},
    };
    for (const auto& c : cases) {
        const auto entries = checkPlan(
            {{1, "02-AA-00-00-00-01", "", "", "", std::string(40, 'd'), c.password}}, found);
        EXPECT_EQ(entries[0].warnings.size(), 1U) << "the long description only warns";
        if (c.error == nullptr) {
            EXPECT_TRUE(entries[0].ok()) << c.password;
        } else {
            EXPECT_TRUE(hasError(entries[0], c.error)) << c.password;
        }
    }
}

TEST(SequentialPlanTest, NumbersInMacOrderAndStopsAtTheEnd) {
    const usecases::FoundDevices found =
        foundDevices({foundRecord("02-AA-00-00-00-0B", "10.0.0.5"),
                      foundRecord("02-AA-00-00-00-0A", "10.0.0.6")});
    const auto rows = sequentialPlan(found, "10.0.0.255");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2U);
    EXPECT_EQ((*rows)[0].mac, "02-AA-00-00-00-0A");
    EXPECT_EQ((*rows)[0].ip, "10.0.0.255");
    EXPECT_EQ((*rows)[1].ip, "10.0.1.0");  // carries into the next octet
    EXPECT_EQ((*rows)[1].mask, "");
    EXPECT_FALSE(sequentialPlan(found, "255.255.255.255"));
    EXPECT_FALSE(sequentialPlan(found, "10.0.0"));
}

QJsonObject trailLine(const char* mac, const char* result, const char* ip,
                      const char* change = nullptr, std::optional<bool> sent = std::nullopt) {
    QJsonObject line{
        {QStringLiteral("mac"), QLatin1String(mac)},
        {QStringLiteral("result"), QLatin1String(result)},
        {QStringLiteral("before"), QJsonObject{{QStringLiteral("ip"), QLatin1String(ip)}}}};
    if (change != nullptr)
        line.insert(QStringLiteral("change"), QLatin1String(change));
    if (sent)
        line.insert(QStringLiteral("sent"), *sent);
    return line;
}

QString beforeIp(const std::optional<QJsonObject>& line) {
    return line ? line->value(QStringLiteral("before"))
                      .toObject()
                      .value(QStringLiteral("ip"))
                      .toString()
                : QStringLiteral("(none)");
}

// Files written before the trail was written ahead: one line per request.
TEST(AuditTrailTest, ReadsOlderFilesLinePerRequest) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const AuditTrail audit(dir.path() + QStringLiteral("/sub/audit.jsonl"));
    QString error;
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-01", "verified", "10.0.0.1"), error));
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-02", "verified", "10.0.0.9"), error));
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-01", "failed", "10.0.0.2"), error));
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-01", "not sent", "10.0.0.3"), error));
    EXPECT_EQ(beforeIp(audit.lastChange("02-AA-00-00-00-01", error)), QStringLiteral("10.0.0.2"));
    EXPECT_FALSE(audit.lastChange("02-AA-00-00-00-07", error));
}

TEST(AuditTrailTest, NewestChangeThatMayHaveReachedTheDevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const AuditTrail audit(dir.path() + QStringLiteral("/audit.jsonl"));
    QString error;
    const char* mac = "02-AA-00-00-00-01";
    for (const QJsonObject& line : {
             trailLine(mac, "sending", "10.0.0.1", "a"),
             trailLine(mac, "verified", "10.0.0.1", "a", true),
             // killed after the send: the sending line alone
             trailLine(mac, "sending", "10.0.0.2", "b"),
             trailLine("02-AA-00-00-00-02", "sending", "10.0.0.8", "c"),
         })
        ASSERT_TRUE(audit.append(line, error));
    EXPECT_EQ(beforeIp(audit.lastChange(mac, error)), QStringLiteral("10.0.0.2"));

    // Written ahead, but the send failed: it never left, the change before counts.
    ASSERT_TRUE(audit.append(trailLine(mac, "sending", "10.0.0.3", "d"), error));
    ASSERT_TRUE(audit.append(trailLine(mac, "failed", "10.0.0.3", "d", false), error));
    EXPECT_EQ(beforeIp(audit.lastChange(mac, error)), QStringLiteral("10.0.0.2"));

    // A change's later attempts and outcomes keep its place and its first line.
    ASSERT_TRUE(audit.append(trailLine(mac, "sending", "10.0.0.4", "e"), error));
    ASSERT_TRUE(audit.append(trailLine(mac, "sending", "10.0.0.5", "f"), error));
    ASSERT_TRUE(audit.append(trailLine(mac, "sending", "10.0.0.9", "e"), error));
    ASSERT_TRUE(audit.append(trailLine(mac, "failed", "10.0.0.9", "e", true), error));
    EXPECT_EQ(beforeIp(audit.lastChange(mac, error)), QStringLiteral("10.0.0.5"));
}

TEST(AuditTrailTest, TornLinesAreSkippedWithTheirNumberAndNeverGlued) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/audit.jsonl");
    QStringList warnings;
    const AuditTrail audit(path, [&warnings](const QString& text) { warnings << text; });
    QString error;
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-01", "sending", "10.0.0.1", "a"), error));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("{\"mac\":\"02-AA-00-00-00-01\",\"res");  // a crash mid-line
    }
    // The next line starts a line of its own, so it is not lost with the torn one.
    ASSERT_TRUE(audit.append(trailLine("02-AA-00-00-00-01", "sending", "10.0.0.2", "b"), error));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("\n\n{\"mac\":");  // blank lines, then a torn last line
    }
    EXPECT_EQ(beforeIp(audit.lastChange("02-AA-00-00-00-01", error)), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(
        warnings,
        (QStringList{QStringLiteral("audit trail '%1' line 2 is damaged; skipped").arg(path),
                     QStringLiteral("audit trail '%1' line 6 is damaged; skipped").arg(path)}));
}

TEST(ChangeRecorderTest, LinesOfAChangeShareItsIdAndNeverHoldAPassword) {
    const usecases::FoundDevices found =
        foundDevices({foundRecord("02-AA-00-00-00-01", "10.0.0.5")});
    usecases::ConfigJob job{
        found[0], testsupport::settings("10.0.0.6", "255.255.255.0", "0.0.0.0", "new"), "n3wpass"};
    usecases::JobResult result;
    result.change = "c-1";
    result.attempt = 2;
    result.destination = testsupport::ipv4("10.0.0.5");
    result.sentAt = "2026-01-01T00:00:00.000Z";
    const QJsonObject sending = ChangeRecorder::line(job, result, QStringLiteral("sending"));
    EXPECT_EQ(sending.value(QStringLiteral("change")), QStringLiteral("c-1"));
    EXPECT_EQ(sending.value(QStringLiteral("attempt")), 2);
    EXPECT_EQ(sending.value(QStringLiteral("time")), QStringLiteral("2026-01-01T00:00:00.000Z"));
    EXPECT_EQ(sending.value(QStringLiteral("before")).toObject().value(QStringLiteral("ip")),
              QStringLiteral("10.0.0.5"));
    EXPECT_EQ(sending.value(QStringLiteral("after")).toObject().value(QStringLiteral("ip")),
              QStringLiteral("10.0.0.6"));
    EXPECT_TRUE(sending.value(QStringLiteral("new_password")).toBool());
    EXPECT_FALSE(sending.contains(QStringLiteral("sent")));  // it is not known yet
    result.state = usecases::JobState::Failed;
    result.handedOver = false;
    const QJsonObject failed = ChangeRecorder::line(job, result, QStringLiteral("failed"));
    EXPECT_EQ(failed.value(QStringLiteral("change")), QStringLiteral("c-1"));
    EXPECT_EQ(failed.value(QStringLiteral("sent")), false);
    for (const QJsonObject& line : {sending, failed})
        EXPECT_FALSE(QJsonDocument(line).toJson().contains("n3wpass"));
}

TEST(AuditTrailTest, DefaultPathFollowsXdgStateHome) {
    qputenv("XDG_STATE_HOME", "/tmp/state-here");
    EXPECT_EQ(AuditTrail::defaultPath(), QStringLiteral("/tmp/state-here/kavren/audit.jsonl"));
    qputenv("XDG_STATE_HOME", "relative/not/allowed");
    EXPECT_TRUE(
        AuditTrail::defaultPath().endsWith(QStringLiteral("/.local/state/kavren/audit.jsonl")));
    qunsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace kavren::changes
