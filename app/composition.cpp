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

void createProgramWindows(MainWindowServices services) {
    if (!services.adapterQuery)
        services.adapterQuery = net::makePlatformAdapterQuery();
    MainF = new TMainF(std::move(services));
    PwdDlg = new TPwdDlg();
    CfgDlg = new TCfgDlg();

    // The update commands ask through the dialogs, so they come after them;
    // they send and report through the window.
    auto prompts = std::make_unique<DialogPrompts>(
        *PwdDlg, *CfgDlg, [](std::string_view text) { PlainMessageBox::show(text); });
    auto commands =
        std::make_unique<usecases::UpdateCommands>(MainF->deviceList(), *prompts, MainF->sender(),
                                                   MainF->updateOptions(), MainF->updateEvents());
    MainF->useUpdateCommands(std::move(prompts), std::move(commands));
}

void destroyProgramWindows() {
    // MainF closes its receiving endpoint before any of its widgets goes.
    delete CfgDlg;
    CfgDlg = nullptr;
    delete PwdDlg;
    PwdDlg = nullptr;
    delete MainF;
    MainF = nullptr;
}

}  // namespace kavren::app
