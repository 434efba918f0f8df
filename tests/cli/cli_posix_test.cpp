// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's file modes and locking where POSIX defines them.
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "changes/audittrail.h"
#include "cli/diagnosis.h"
#include "cli/healthcheck.h"
#include "cli/passwordsource.h"
#include "cli/terminal.h"
#include "tests/support/files.h"

namespace kavren::cli {
namespace {

QString filler(int writer) {
    return QString(20000, QChar(u'a' + writer));
}

unsigned modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

// Restores the process's umask when a test ends.
class Umask final {
public:
    explicit Umask(mode_t mask) : m_saved(::umask(mask)) {}
    ~Umask() { ::umask(m_saved); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t m_saved;
};

TEST(AuditTrailModesTest, CreatedPrivateWhateverTheUmask) {
    const Umask open(0);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/state/kavren/audit.jsonl");
    QStringList warnings;
    const changes::AuditTrail audit(path, [&warnings](const QString& text) { warnings << text; });
    QString error;
    ASSERT_TRUE(audit.append({{QStringLiteral("mac"), QStringLiteral("x")}}, error));
    EXPECT_EQ(modeOf(path), 0600U);
    EXPECT_EQ(modeOf(dir.path() + QStringLiteral("/state/kavren")), 0700U);
    EXPECT_EQ(modeOf(dir.path() + QStringLiteral("/state")), 0700U);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST(AuditTrailModesTest, WiderExistingModesAreKeptAndWarnedAboutOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + QStringLiteral("/kavren");
    const QString path = folder + QStringLiteral("/audit.jsonl");
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0755), 0);
    ASSERT_TRUE(testsupport::writeFile(path));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    QStringList warnings;
    const changes::AuditTrail audit(path, [&warnings](const QString& text) { warnings << text; });
    QString error;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(audit.append({{QStringLiteral("mac"), QStringLiteral("x")}}, error));
    EXPECT_EQ(
        warnings,
        (QStringList{
            QStringLiteral("audit trail folder '%1' is open to others (mode 0755)").arg(folder),
            QStringLiteral("audit trail '%1' is open to others (mode 0644)").arg(path)}));
    EXPECT_EQ(modeOf(folder), 0755U);
    EXPECT_EQ(modeOf(path), 0644U);
}

// Processes appending at once: every line arrives whole. The lines are
// long, so a writer that split them into pieces would interleave.
TEST(AuditTrailLockTest, ConcurrentProcessesNeverMixLines) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/audit.jsonl");
    constexpr int kWriters = 4;
    constexpr int kLines = 100;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const changes::AuditTrail audit(path);
            QString error;
            bool ok = true;
            for (int i = 0; i < kLines && ok; ++i) {
                ok = audit.append({{QStringLiteral("writer"), w},
                                   {QStringLiteral("line"), i},
                                   {QStringLiteral("filler"), filler(w)}},
                                  error);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<int> next(kWriters, 0);
    int lines = 0;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        ASSERT_FALSE(line.isEmpty()) << "line " << lines + 1 << " is mixed";
        const int writer = line.value(QStringLiteral("writer")).toInt();
        ASSERT_TRUE(writer >= 0 && writer < kWriters);
        EXPECT_EQ(line.value(QStringLiteral("line")).toInt(),
                  next[static_cast<std::size_t>(writer)]++);
        EXPECT_EQ(line.value(QStringLiteral("filler")).toString(), filler(writer));
        ++lines;
    }
    EXPECT_EQ(lines, kWriters * kLines);
}

TEST(PasswordFileTest, WarnsWhenGroupOrOthersMayRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = (dir.path() + QStringLiteral("/pw")).toStdString();
    ASSERT_TRUE(testsupport::writeFile(QString::fromStdString(path), "secret\n"));
    for (const mode_t mode : {0600, 0400, 0620, 0602}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        EXPECT_EQ(passwordFileWarning(path), "") << std::oct << mode;
    }
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(passwordFileWarning(path),
              "password file '" + path + "' is readable by others (mode 0644)");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(passwordFileWarning(path),
              "password file '" + path + "' is readable by others (mode 0640)");
    EXPECT_EQ(passwordFileWarning(path + ".missing"), "");  // reading it says what is wrong
}

// Someone else's link or file in the trail's place would take the lines
// elsewhere or feed restore settings nobody recorded.
TEST(AuditTrailPlantedFileTest, SymbolicLinksAndForeignFilesAreRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QString link = dir.filePath(QStringLiteral("link.jsonl"));
    const QString foreign = dir.filePath(QStringLiteral("foreign.jsonl"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
              0);
    for (const QString& path : {target, foreign}) {
        ASSERT_TRUE(testsupport::writeFile(
            path, "{\"mac\":\"02-AA-00-00-00-01\",\"result\":\"sending\",\"change\":\"a\"}\n"));
    }
    const bool canChown = ::geteuid() == 0;
    if (canChown) {
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    }
    const struct {
        QString path;
        const char* reason;
    } cases[] = {{link, "is a symbolic link"}, {foreign, "belongs to another user"}};
    for (const auto& c : cases) {
        if (c.path == foreign && !canChown)
            continue;  // only root can give a file away
        const changes::AuditTrail audit(c.path);
        QString error;
        EXPECT_FALSE(audit.append({{QStringLiteral("mac"), QStringLiteral("x")}}, error));
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        error.clear();
        EXPECT_FALSE(audit.lastChange("02-AA-00-00-00-01", error));
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
    QFile untouched(target);
    ASSERT_TRUE(untouched.open(QIODevice::ReadOnly));
    EXPECT_EQ(untouched.readAll().count('\n'), 1) << "appended through the link";
}

// The hidden prompt on a pty of its own, as a shell gives a program: the
// child reads the password as kavren does and writes the bytes it got to
// `result`; `type` is what the user types once the prompt shows.
struct PromptRun {
    int status = 0;
    std::string bytes;    // what readSecret returned
    bool echoOn = false;  // the terminal's echo afterwards
};

PromptRun promptOnPty(const char* type) {
    PromptRun run;
    int master = -1;
    int slave = -1;
    int result[2] = {-1, -1};
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || ::pipe(result) != 0) {
        ADD_FAILURE() << "no pty";
        return run;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(master);
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        std::string error;
        const auto secret =
            readSecret({.file = {}, .envName = {}, .prompt = true}, "Pw: ", false, error);
        const std::string text = secret ? *secret : "error: " + error;
        [[maybe_unused]] const ssize_t written = ::write(result[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(result[1]);
    std::string shown;
    char buffer[64];
    while (shown.find("Pw: ") == std::string::npos) {
        pollfd ready{master, POLLIN, 0};
        const ssize_t got =
            ::poll(&ready, 1, 5000) == 1 ? ::read(master, buffer, sizeof buffer) : 0;
        if (got <= 0) {
            ADD_FAILURE() << "no prompt; shown: " << shown;
            break;
        }
        shown.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(::write(master, type, std::strlen(type)), static_cast<ssize_t>(std::strlen(type)));
    ::waitpid(child, &run.status, 0);
    for (ssize_t got = 0; (got = ::read(result[0], buffer, sizeof buffer)) > 0;)
        run.bytes.append(buffer, static_cast<std::size_t>(got));
    termios after{};
    run.echoOn = ::tcgetattr(slave, &after) == 0 && (after.c_lflag & ECHO) != 0;
    for (const int fd : {master, slave, result[0]})
        ::close(fd);
    return run;
}

TEST(HiddenPromptTest, TypedPasswordBecomesTheDevicesBytes) {
    const PromptRun run = promptOnPty("p\xC3\xA4ss\xC3\xBF\n");
    EXPECT_EQ(run.bytes, "p\xE4ss\xFF");  // what the window and the files give
    EXPECT_TRUE(run.echoOn);
}

// Ctrl+C at the prompt ends the program; the terminal must not stay without
// echo.
TEST(HiddenPromptTest, InterruptRestoresTheEcho) {
    const PromptRun run = promptOnPty("\x03");
    EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT) << run.status;
    EXPECT_TRUE(run.echoOn) << "echo left off";
}

// The diagnosis runs nft; a password in kavren's environment stays there.
TEST(DiagnosisTest, ProgramsStartedDoNotInheritPasswordVariables) {
    QTemporaryDir dir;
    const QString nft = testsupport::writeFile(dir, QStringLiteral("nft"),
                                               "#!/bin/sh\necho \"drop udp dport 62631 "
                                               "pw=${KAVREN_UNIT_PW-withheld} "
                                               "other=${KAVREN_UNIT_OTHER-withheld}\"\n");
    ASSERT_FALSE(nft.isEmpty());
    ASSERT_EQ(::chmod(QFile::encodeName(nft).constData(), 0700), 0);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()));
    qputenv("KAVREN_UNIT_PW", "s3cret");
    qputenv("KAVREN_UNIT_OTHER", "kept");
    bool readable = false;
    const auto rules = firewallRulesFor({62631}, readable, {"KAVREN_UNIT_PW"});
    qputenv("PATH", path);
    qunsetenv("KAVREN_UNIT_PW");
    qunsetenv("KAVREN_UNIT_OTHER");
    EXPECT_TRUE(readable);
    EXPECT_EQ(rules, std::vector<std::string>{"drop udp dport 62631 pw=withheld other=kept"});
}

// A check sees the device's variables but no password, tells its exit status,
// and one that hangs is ended with everything it started.
TEST(HealthCheckTest, StatusVariablesAndTimeOut) {
    qputenv("KAVREN_UNIT_PW", "s3cret");
    QTemporaryDir dir;
    const std::string mark = dir.filePath(QStringLiteral("late")).toStdString();
    HealthCheck check{"test \"$KAVREN_MAC,${KAVREN_UNIT_PW-none}\" = M,none || exit 3",
                      std::chrono::milliseconds(5000),
                      {"KAVREN_UNIT_PW"}};
    EXPECT_EQ(runHealthCheck(check, {{"KAVREN_MAC", "M"}}), "");
    EXPECT_EQ(runHealthCheck(check, {{"KAVREN_MAC", "N"}}), "exited with status 3");
    check = {"(sleep 0.3; touch " + mark + ") & sleep 30", std::chrono::milliseconds(100), {}};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runHealthCheck(check, {}), "timed out after 0.1 s");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ::usleep(600000);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(mark))) << "a child outlived the check";
    qunsetenv("KAVREN_UNIT_PW");
}

}  // namespace
}  // namespace kavren::cli
