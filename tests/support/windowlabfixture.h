// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/mainfrom.h"
#include "tests/lab/emulatorprocess.h"
#include "tests/support/windowsupport.h"

namespace kavren::testsupport {

// The real main window against the emulator, inside the lab: what every
// window lab test starts from. Tear-down closes the program's windows before
// anything else and removes the device file; the emulator stops when the
// fixture goes.
class WindowLabTest : public ::testing::Test {
protected:
    void TearDown() override {
        closeProgramWindows(window);
        if (!deviceFile.empty())
            std::remove(deviceFile.c_str());
    }

    // Starts the emulator with these options; false (with a failure) when it
    // does not come up.
    bool startEmulator(std::vector<std::string> options) {
        emulator = std::make_unique<lab::EmulatorProcess>(std::move(options));
        std::string error;
        if (!emulator->start(&error)) {
            ADD_FAILURE() << error;
            return false;
        }
        return true;
    }

    std::string deviceFile;
    std::unique_ptr<lab::EmulatorProcess> emulator;
    std::unique_ptr<app::TMainF> window;
};

}  // namespace kavren::testsupport
