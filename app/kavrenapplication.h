// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace kavren::app {

// The application object. It works out the application title from the
// executable's file name when it is made, and is the last line of defence
// for errors: one that escapes any event handler, the loops of modal
// dialogs and message boxes included, is shown by the general error display
// and event handling goes on with the next event. (The window's own handlers
// catch their errors before they reach Qt; this catches the rest.)
class KavrenApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KavrenApplication)

public:
    KavrenApplication(int& argc, char** argv);
    ~KavrenApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kavren::app
