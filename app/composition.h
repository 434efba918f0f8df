// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/mainfrom.h"

namespace kavren::app {

// The composition root: the one place where the program's windows and the
// use cases behind them are created and joined up. Start-up and the window
// tests both build through it, so a test meets the window wired as the user
// gets it.
//
// In order: the platform's adapter query when the caller gave none, the
// device session (the device list, the endpoints, the reply pacing and the
// updates' outcomes), the main window (MainF) over it, the confirmation
// dialog (PwdDlg), the device-selection dialog (CfgDlg), and last the update
// commands with the prompts that drive the two dialogs, handed to the
// session. The variables hold the windows until destroyProgramWindows;
// nothing else reads them to find a collaborator.
//
// When a step throws, the exception goes on to the caller and the windows
// made so far stay in their variables, so the caller can show the error while
// they exist and then take them down.
void createProgramWindows(MainWindowServices services = {});

// Destroys the windows in the reverse order of their creation and empties the
// variables, then the session; any of them may be empty already.
void destroyProgramWindows();

}  // namespace kavren::app
