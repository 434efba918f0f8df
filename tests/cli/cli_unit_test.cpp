// SPDX-License-Identifier: GPL-3.0-or-later
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <optional>

#include <gtest/gtest.h>

#include "app/textbridge.h"
#include "changes/plan.h"
#include "cli/deviceoutput.h"
#include "cli/passwordsource.h"
#include "tests/support/fakes.h"
#include "tests/support/files.h"
#include "usecases/configuration.h"
#include "usecases/updatecommands.h"

namespace kavren::cli {
namespace {

using testsupport::foundDevices;
using testsupport::foundRecord;

// A non-ASCII password set one way must be typeable another way: every
// source gives the device the same Latin-1 bytes, or refuses.
std::vector<std::uint8_t> requestBytes(const std::string& newPassword,
                                       const std::string& currentPassword) {
    const auto settings = usecases::checkSettings(
        {.mac = "02-AA-00-00-00-01",
         .deviceIp = testsupport::ipv4("10.0.0.1"),
         .target = {testsupport::ipv4("10.0.0.1"), testsupport::ipv4("255.0.0.0"),
                    testsupport::ipv4("10.0.0.254"), "desc"},
         .newPassword = newPassword},
        false);
    testsupport::RecordingSender sender;
    usecases::sendConfiguration(*settings, currentPassword, sender, protocol::Ipv4Address());
    return sender.sent.at(0).bytes;
}

// The window: the grid cell and the confirmation's Password box.
std::optional<std::vector<std::uint8_t>> windowRequest(const QString& typed,
                                                       std::vector<std::string>& events) {
    devices::DeviceList list(16);
    list.append(testsupport::deviceRow("02-AA-00-00-00-01"));
    if (const auto cell = app::passwordFromQt(typed))
        list.setField(devices::DeviceField::NewPassword, 1, *cell);
    testsupport::FakePrompts prompts;
    prompts.passwords = {typed.toUtf8().toStdString()};
    testsupport::RecordingSender sender;
    testsupport::FakeUpdateFrontEnd frontEnd;
    usecases::UpdateCommands(list, prompts, sender, frontEnd, frontEnd).updateRow(1);
    events = prompts.events;
    if (sender.sent.empty())
        return std::nullopt;
    return sender.sent[0].bytes;
}

std::optional<std::string> fromFile(const QTemporaryDir& dir, const QByteArray& content,
                                    std::string& error) {
    const QString path = testsupport::writeFile(dir, QStringLiteral("pw"), content);
    return readSecret({.file = path.toStdString(), .envName = {}, .prompt = false}, "", false,
                      error);
}

std::optional<std::string> fromEnv(const QByteArray& value, std::string& error) {
    qputenv("KAVREN_UNIT_PW", value);
    auto secret =
        readSecret({.file = {}, .envName = "KAVREN_UNIT_PW", .prompt = false}, "", false, error);
    qunsetenv("KAVREN_UNIT_PW");
    return secret;
}

std::optional<std::string> fromPlan(const QByteArray& password, std::string& error) {
    const changes::PlanFile plan =
        changes::parsePlan("mac,new_password\n02-AA-00-00-00-01," + password + "\n");
    error = plan.errors.empty() ? "" : plan.errors[0];
    return plan.rows.empty() ? std::nullopt : std::optional(plan.rows[0].newPassword);
}

TEST(PasswordBytesTest, EverySourceGivesTheWindowsRequestBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString typed = QStringLiteral(u"p\u00e4ss\u00ff");
    const QByteArray utf8 = typed.toUtf8();
    std::vector<std::string> events;
    const auto window = windowRequest(typed, events);
    ASSERT_TRUE(window);
    EXPECT_EQ(*window, requestBytes("p\xE4ss\xFF", "p\xE4ss\xFF"));

    std::string error;
    const struct {
        const char* source;
        std::optional<std::string> bytes;
    } sources[] = {
        {"password file", fromFile(dir, utf8 + "\r\n", error)},
        {"environment", fromEnv(utf8, error)},
        {"plan in UTF-8", fromPlan(utf8, error)},
        {"plan in Latin-1", fromPlan(typed.toLatin1(), error)},
    };
    for (const auto& s : sources) {
        ASSERT_TRUE(s.bytes) << s.source;
        EXPECT_EQ(requestBytes(*s.bytes, *s.bytes), *window) << s.source;
    }
}

TEST(PasswordBytesTest, WhatDoesNotFitIsRefusedEverywhere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString euro = QStringLiteral(u"pw\u20ac");
    std::vector<std::string> events;
    EXPECT_FALSE(windowRequest(euro, events));
    EXPECT_EQ(events.back(), "stopped:charset");

    std::string error;
    EXPECT_FALSE(fromFile(dir, euro.toUtf8(), error));
    EXPECT_NE(error.find("outside Latin-1"), std::string::npos) << error;
    EXPECT_FALSE(fromEnv(euro.toUtf8(), error));
    EXPECT_NE(error.find("outside Latin-1"), std::string::npos) << error;
    EXPECT_FALSE(fromPlan(euro.toUtf8(), error));
    EXPECT_NE(error.find("outside Latin-1"), std::string::npos) << error;

    EXPECT_FALSE(fromFile(dir, "\n", error));
    EXPECT_EQ(error, "the password file " + dir.filePath(QStringLiteral("pw")).toStdString() +
                         " is empty");
}

TEST(OutputTest, DeviceBytesBecomeOneCharacterEach) {
    devices::DeviceRecord record = foundRecord("02-AA-00-00-00-01", "10.0.0.5");
    record.name = "Caf\xE9\x80";
    const usecases::FoundDevices d = foundDevices({record});
    const QByteArray json = devicesJson(d);
    const QJsonObject object = QJsonDocument::fromJson(json).array().at(0).toObject();
    EXPECT_EQ(object.value(QStringLiteral("name")).toString().toLatin1(),
              QByteArray("Caf\xE9\x80"));
    EXPECT_TRUE(devicesCsv(d).contains("Caf\xC3\xA9\xC2\x80"));
}

TEST(OutputTest, TableShowsControlCharactersEscapedAndAligns) {
    const QByteArray table = formatTable({QStringLiteral("A"), QStringLiteral("B")},
                                         {{QStringLiteral("x\x1b[2J"), QStringLiteral("y")}});
    EXPECT_EQ(table, QByteArray("A         B\nx\\x1b[2J  y\n"));
}

}  // namespace
}  // namespace kavren::cli
