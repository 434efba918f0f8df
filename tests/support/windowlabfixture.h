// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/devicetablemodel.h"
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

    // The emulator with these devices (its JSON) and options, then the real
    // window; false (with a failure) when either cannot be had.
    bool startWindow(const std::string& devices, std::vector<std::string> options = {}) {
        deviceFile = lab::writeDeviceFile(devices);
        if (deviceFile.empty()) {
            ADD_FAILURE() << "no device file";
            return false;
        }
        options.insert(options.begin(), {"--devices", deviceFile});
        if (!startEmulator(std::move(options)))
            return false;
        window = openProgramWindows();
        if (!window->IdUDPServer.active()) {
            ADD_FAILURE() << "receiving endpoint not open";
            return false;
        }
        return true;
    }

    bool waitForRows(int deviceRows, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return QTest::qWaitFor([&] { return window->grid().deviceRowCount() >= deviceRows; },
                               static_cast<int>(timeout.count()));
    }

    QString cell(int col, int row) const {
        return window->gridModel()->indexOf(col, row).data().toString();
    }

    std::optional<int> rowOf(const char* mac) const { return window->deviceList().findByMac(mac); }

    std::string deviceFile;
    std::unique_ptr<lab::EmulatorProcess> emulator;
    std::unique_ptr<app::TMainF> window;
};

}  // namespace kavren::testsupport
