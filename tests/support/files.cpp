// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/files.h"

#include <QFile>

namespace kavren::testsupport {

::testing::AssertionResult writeFile(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ::testing::AssertionFailure() << "cannot write " << path.toStdString();
    if (file.write(bytes.data(), bytes.size()) != bytes.size())
        return ::testing::AssertionFailure() << "short write to " << path.toStdString();
    return ::testing::AssertionSuccess();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, QByteArrayView bytes) {
    if (!dir.isValid()) {
        ADD_FAILURE() << "no temporary folder";
        return {};
    }
    const QString path = dir.filePath(name);
    const ::testing::AssertionResult written = writeFile(path, bytes);
    EXPECT_TRUE(written);
    return written ? path : QString();
}

}  // namespace kavren::testsupport
