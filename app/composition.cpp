// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/composition.h"

#include <memory>
#include <string_view>
#include <utility>

#include "app/cfgdlg.h"
#include "app/dialogprompts.h"
#include "app/plainmessagebox.h"
#include "app/pwddlg.h"

namespace kavren::app {

namespace {

// The window's work with the devices, made before the window and taken down
// after it.
std::unique_ptr<DeviceSession> session;

}  // namespace

void createProgramWindows(MainWindowServices services) {
    if (!services.adapterQuery)
        services.adapterQuery = net::makePlatformAdapterQuery();
    std::function<QString()> chooseExportFile = std::move(services.chooseExportFile);
    session = std::make_unique<DeviceSession>(std::move(services));
    MainF = new TMainF(*session, std::move(chooseExportFile));
    PwdDlg = new TPwdDlg();
    CfgDlg = new TCfgDlg();

    // The update commands ask through the dialogs, so they come after them;
    // they send and report through the session.
    auto prompts = std::make_unique<DialogPrompts>(
        *PwdDlg, *CfgDlg, [](std::string_view text) { PlainMessageBox::show(text); });
    auto commands = std::make_unique<usecases::UpdateCommands>(
        session->deviceList(), *prompts, session->sender(), session->updateOptions(),
        session->updateEvents());
    session->useUpdateCommands(std::move(prompts), std::move(commands));
}

void destroyProgramWindows() {
    // MainF closes its receiving endpoint before any of its widgets goes;
    // the session it showed goes after it.
    delete CfgDlg;
    CfgDlg = nullptr;
    delete PwdDlg;
    PwdDlg = nullptr;
    delete MainF;
    MainF = nullptr;
    session.reset();
}

}  // namespace kavren::app
