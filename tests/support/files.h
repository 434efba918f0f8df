// SPDX-License-Identifier: GPL-3.0-or-later
// Files a test hands the program to read: a plan, a password file, a
// stand-in for a program it starts.
#pragma once

#include <gtest/gtest.h>
#include <QByteArrayView>
#include <QString>

namespace kavren::testsupport {

// Makes `bytes` the whole content of the file at `path`; a failure says which
// file could not be written, for ASSERT_TRUE.
::testing::AssertionResult writeFile(const QString& path, QByteArrayView bytes = {});

}  // namespace kavren::testsupport
