// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/cfgdlg.h"
#include "app/errordisplay.h"
#include "app/kavrenapplication.h"
#include "app/mainfrom.h"
#include "app/pwddlg.h"
#include "app/startshowstate.h"

namespace kavren::app {

namespace {

void destroyWindows() {
    // Reverse order of creation; MainF closes its receiving endpoint before
    // any of its widgets goes.
    delete CfgDlg;
    CfgDlg = nullptr;
    delete PwdDlg;
    PwdDlg = nullptr;
    delete MainF;
    MainF = nullptr;
}

}  // namespace

int runProgram(int argc, char** argv) {
    try {
        KavrenApplication application(argc, argv);
        try {
            MainF = new TMainF();
            PwdDlg = new TPwdDlg();
            CfgDlg = new TCfgDlg();
        } catch (...) {
            showCurrentException();
            destroyWindows();
            return 0;
        }
        // The window comes up in the show state the program was started with.
        switch (startShowState()) {
            case StartShowState::Maximised:
                MainF->showMaximized();
                break;
            case StartShowState::Minimised:
                MainF->showMinimized();
                break;
            case StartShowState::Normal:
                MainF->show();
                break;
        }
        application.exec();
        destroyWindows();
    } catch (...) {
        // Nothing is left to show it with; the exit code is 0 regardless.
    }
    return 0;
}

}  // namespace kavren::app
