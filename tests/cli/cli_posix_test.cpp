// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's file modes and locking where POSIX defines them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cli/audittrail.h"
#include "cli/passwordsource.h"

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
    const AuditTrail audit(path, [&warnings](const QString& text) { warnings << text; });
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
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    QStringList warnings;
    const AuditTrail audit(path, [&warnings](const QString& text) { warnings << text; });
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
            const AuditTrail audit(path);
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
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("secret\n");
    }
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

}  // namespace
}  // namespace kavren::cli
