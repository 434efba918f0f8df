// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/devicetablemodel.h"
#include "app/devlistview.h"
#include "app/mainfrom.h"
#include "tests/support/windowsupport.h"

namespace kavren::testsupport {

using app::DevListView;
using app::MainWindowServices;
using app::TMainF;

// The main window as every GUI test uses it: two adapters (three addresses),
// a recording sender, a free receiving port, and the two dialogs beside it.
class MainWindowTest : public ::testing::Test {
protected:
    // A test's own additions to what the window is built on.
    virtual void addServices(app::MainWindowServices& /*services*/) {}

    void SetUp() override {
        openedUrls().clear();
        std::vector<net::AdapterInfo> adapters = {
            {.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
             .addresses = {"192.168.0.10", "10.0.0.5"}},
            {.mac = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}, .addresses = {"172.16.1.2"}}};
        app::MainWindowServices services{std::make_unique<FakeAdapterQuery>(adapters), &sender, 0};
        addServices(services);
        window = openProgramWindows(std::move(services));
    }

    void TearDown() override { closeProgramWindows(window); }

    void showWindow() {
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // A datagram as the receiving endpoint hands it over, from `from`
    // (empty: an unknown sender).
    void receive(const std::vector<std::uint8_t>& datagram, const std::string& from = {}) {
        window->IdUDPServer.binding(0).setPeer(
            protocol::Ipv4Address::parse(from).value_or(protocol::Ipv4Address()), 62630);
        window->IdUDPServerUDPRead(window->IdUDPServer, datagram, window->IdUDPServer.binding(0));
    }

    QModelIndex cellIndex(int col, int row) const { return window->gridModel()->indexOf(col, row); }

    void clickCell(int col, int row) {
        app::DevListView* view = widget<DevListView>(*window, "DevList");
        const QRect rect = view->visualRect(cellIndex(col, row));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString cellText(int col, int row) const { return cellIndex(col, row).data().toString(); }

    bool fourButtonsEnabled(bool sel, bool mul, bool all, bool con) const {
        return widget<QPushButton>(*window, "BtnUpdSel")->isEnabled() == sel &&
               widget<QPushButton>(*window, "BtnUpdMul")->isEnabled() == mul &&
               widget<QPushButton>(*window, "BtnUpdAll")->isEnabled() == all &&
               widget<QPushButton>(*window, "BtnConDev")->isEnabled() == con;
    }

    RecordingSender sender;
    std::unique_ptr<app::TMainF> window;
};

}  // namespace kavren::testsupport
