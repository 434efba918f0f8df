// SPDX-License-Identifier: GPL-3.0-or-later
// Files a test hands the program to read: a plan, a password file, a
// stand-in for a program it starts.
#pragma once

#include <gtest/gtest.h>
#include <QByteArrayView>
#include <QString>
#include <QTemporaryDir>

namespace kavren::testsupport {

// Makes `bytes` the whole content of the file at `path`; a failure says which
// file could not be written, for ASSERT_TRUE.
::testing::AssertionResult writeFile(const QString& path, QByteArrayView bytes = {});
// Writes the file `name` in `dir` likewise and gives its path; empty (with the
// test failed) when the folder or the file could not be made.
QString writeFile(const QTemporaryDir& dir, const QString& name, QByteArrayView bytes);

}  // namespace kavren::testsupport
