// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher and the commands' option checks. Every case here ends
// before a command opens a socket or even asks for the adapters, so nothing
// is sent and no lab is needed.
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "kavren/version.h"
#include "tests/support/files.h"

namespace kavren::cli {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome run(const QStringList& words) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Outcome outcome;
    outcome.status = runCommand(QStringList{QStringLiteral("kavren")} + words);
    outcome.out = testing::internal::GetCapturedStdout();
    outcome.err = testing::internal::GetCapturedStderr();
    return outcome;
}

const std::string kOverview =
    "Usage: kavren COMMAND [options]\n"
    "\n"
    "Finds and configures the maker's network devices from the command line.\n"
    "\n"
    "Commands:\n"
    "  adapters    list the adapter entries\n"
    "  discover    find the devices on every adapter (or --adapter)\n"
    "  configure   give one device (--mac), a plan (--plan) or every found device\n"
    "              (--sequential-from) new settings, with a preview first\n"
    "  restore     send a device its settings from before its last change\n"
    "  diff        compare two lists that discover --json wrote\n"
    "\n"
    "\"kavren COMMAND --help\" describes a command's options.\n";

const std::string kExitStatuses =
    "\nExit status:\n"
    "  0  success (discover: at least one device answered)\n"
    "  1  nothing found, a device failed or was not verified, the plan has errors,\n"
    "     or the port 62631 could not be opened\n"
    "  2  usage error\n";

TEST(DispatcherTest, OverviewVersionAndUnknownCommands) {
    for (const char* help : {"--help", "-h", "help"}) {
        const Outcome outcome = run({QLatin1String(help)});
        EXPECT_EQ(outcome.status, ExitOk) << help;
        EXPECT_EQ(outcome.out, kOverview + kExitStatuses) << help;
    }
    const Outcome version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.status, ExitOk);
    EXPECT_EQ(version.out, "kavren " + std::string(kVersion) + "\n");

    const Outcome none = run({});
    EXPECT_EQ(none.status, ExitUsage);
    EXPECT_EQ(none.err, "kavren: no command given\n" + kOverview);
    const Outcome unknown = run({QStringLiteral("%s<b>")});
    EXPECT_EQ(unknown.status, ExitUsage);
    EXPECT_EQ(unknown.err, "kavren: unknown command %s<b>\n" + kOverview);
    EXPECT_TRUE(unknown.out.empty());
}

TEST(CommandHelpTest, EveryCommandDescribesItselfAndItsExitStatuses) {
    for (const char* name : {"adapters", "discover", "configure", "restore"}) {
        const Outcome outcome = run({QLatin1String(name), QStringLiteral("--help")});
        EXPECT_EQ(outcome.status, ExitOk) << name;
        EXPECT_NE(outcome.out.find("Usage: "), std::string::npos) << name;
        EXPECT_NE(outcome.out.find(name), std::string::npos) << name;
        EXPECT_TRUE(outcome.out.ends_with(kExitStatuses)) << name;
    }
    const Outcome configure = run({QStringLiteral("configure"), QStringLiteral("--help")});
    for (const char* option : {"--mac", "--plan", "--sequential-from", "--password-file",
                               "--attempts", "--audit-file", "--adapter", "--retries"}) {
        EXPECT_NE(configure.out.find(option), std::string::npos) << option;
    }
}

TEST(CommandOptionsTest, UnusableCommandLinesGiveTheUsageStatusAndSayWhy) {
    const struct {
        QStringList words;
        std::string message;
    } cases[] = {
        {{QStringLiteral("discover"), QStringLiteral("--no-such-option")},
         "Unknown option 'no-such-option'.\n"},
        {{QStringLiteral("discover"), QStringLiteral("--json"), QStringLiteral("--csv")},
         "kavren: --json and --csv exclude each other\n"},
        {{QStringLiteral("discover"), QStringLiteral("--timeout"), QStringLiteral("0")},
         "kavren: --timeout wants seconds above 0 and at most 60\n"},
        {{QStringLiteral("discover"), QStringLiteral("--timeout=61")},
         "kavren: --timeout wants seconds above 0 and at most 60\n"},
        {{QStringLiteral("discover"), QStringLiteral("--retries"), QStringLiteral("11")},
         "kavren: --retries wants a number from 0 to 10\n"},
        {{QStringLiteral("configure")},
         "kavren: give exactly one of --mac, --plan, --sequential-from\n"},
        {{QStringLiteral("configure"), QStringLiteral("--mac=02-AA-00-00-00-01"),
          QStringLiteral("--plan=p.csv")},
         "kavren: give exactly one of --mac, --plan, --sequential-from\n"},
        {{QStringLiteral("configure"), QStringLiteral("--plan=p.csv"),
          QStringLiteral("--description=x")},
         "kavren: --description goes with --mac only\n"},
        {{QStringLiteral("configure"), QStringLiteral("--sequential-from=10.0.0")},
         "kavren: --sequential-from wants an IPv4 address\n"},
        {{QStringLiteral("configure"), QStringLiteral("--mac=02-AA-00-00-00-01"),
          QStringLiteral("--timeout=x")},
         "kavren: --timeout wants seconds above 0 and at most 60\n"},
        {{QStringLiteral("restore"), QStringLiteral("--mac=02-AA")},
         "kavren: --mac wants a MAC address like 00-1A-2B-3C-4D-5E\n"},
        {{QStringLiteral("restore"), QStringLiteral("--mac=02-AA-00-00-00-01"),
          QStringLiteral("--retries=-1")},
         "kavren: --retries wants a number from 0 to 10\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.words);
        const QString line = c.words.join(QLatin1Char(' '));
        EXPECT_EQ(outcome.status, ExitUsage) << line.toStdString();
        EXPECT_EQ(outcome.err, c.message) << line.toStdString();
        EXPECT_TRUE(outcome.out.empty()) << line.toStdString();
    }
}

// Option values and the plan are judged before any discovery or prompt:
// the adapter named here does not exist, which would be the first thing
// said if the command got that far.
TEST(CommandOptionsTest, ValuesAndThePlanAreCheckedBeforeAnythingIsDiscovered) {
    QTemporaryDir dir;
    const QString plan =
        testsupport::writeFile(dir, QStringLiteral("plan.csv"),
                               "mac,ip\n02-AA-00-00-00-01,10.0.0.5\n02-AA-00-00-00-02,"
                               "\"10.0.0.6\n02-AA-00-00-00-03,10.0.0.7\n");
    ASSERT_FALSE(plan.isEmpty());
    ASSERT_TRUE(QFile::setPermissions(
        plan, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString mac = QStringLiteral("--mac=02-AA-00-00-00-01");
    const QString nowhere = QStringLiteral("--adapter=192.0.2.77");
    const struct {
        QStringList words;
        int status;
        std::string message;
    } cases[] = {
        {{QStringLiteral("configure"), mac, nowhere, QStringLiteral("--attempts=0")},
         ExitUsage,
         "kavren: --attempts wants a number from 1 to 10\n"},
        {{QStringLiteral("configure"), mac, nowhere, QStringLiteral("--result-timeout=x")},
         ExitUsage,
         "kavren: --result-timeout wants seconds above 0 and at most 60\n"},
        {{QStringLiteral("restore"), mac, nowhere, QStringLiteral("--attempts=11")},
         ExitUsage,
         "kavren: --attempts wants a number from 1 to 10\n"},
        {{QStringLiteral("configure"), QStringLiteral("--plan=") + plan, nowhere},
         ExitFailed,
         "kavren: warning: plan file '" + plan.toStdString() +
             "' is readable by others (mode 0644)\n"
             "kavren: " +
             plan.toStdString() + ": line 3: the quote opened here is never closed\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.words);
        const std::string line = c.words.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(outcome.status, c.status) << line;
        EXPECT_EQ(outcome.err, c.message) << line;
        EXPECT_TRUE(outcome.out.empty()) << line;
    }
}

}  // namespace
}  // namespace kavren::cli
