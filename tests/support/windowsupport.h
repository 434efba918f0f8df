// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests' own support: modal windows answered so that no test
// blocks, and the addresses the program asked to open.
#pragma once

#include <QAnyStringView>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/mainfrom.h"
#include "tests/support/fakes.h"
#include "tests/support/replybuilder.h"

namespace kavren::testsupport {

// One modal window the watcher saw: what kind (its object name), caption,
// text, and whether it carried the error icon.
struct SeenModal {
    QString kind;
    QString title;
    QString text;
    bool errorIcon = false;
};

// Answers modal windows so that no test ever blocks: every few milliseconds
// it looks for the active modal window, records it once, and asks `answer`
// what to do; answer returns true when it has closed the window. The default
// answer presses OK.
class ModalWatcher final : public QObject {
public:
    using Answer = std::function<bool(QWidget* window, int visits)>;

    explicit ModalWatcher(Answer answer = {});
    ~ModalWatcher() override;

    const std::vector<SeenModal>& seen() const { return m_seen; }
    std::vector<QString> texts() const;
    // Presses OK (or accepts) on any of the program's modal windows.
    static bool pressOk(QWidget* window);

private:
    void poll();

    Answer m_answer;
    QTimer m_timer;
    std::vector<SeenModal> m_seen;
    struct Visit {
        QPointer<QWidget> window;
        int visits;
    };
    std::vector<Visit> m_recorded;
};

// The main window and the program-wide windows beside it (MainF, PwdDlg,
// CfgDlg), made and wired by the program's own composition root. Closing
// takes the dialogs down before the window, so neither outlives what it
// refers to and no later test finds a stale pointer.
// The audit trail and settings file the windows use unless a test names its
// own: files in a folder of the test program's own, never the user's.
std::unique_ptr<app::TMainF> openProgramWindows(app::MainWindowServices services = {});
QString testAuditTrailPath();
void closeProgramWindows(std::unique_ptr<app::TMainF>& window);

// A widget or menu action of the program's windows, found below `root` by
// its object name, the way a user finds it by what it is, rather than
// through the window class's members. A name that is missing, used twice,
// or that names another kind of object fails the test at the caller's line,
// naming it, and ends the test; the result is never null.
QObject* namedChild(const QObject& root, QAnyStringView name, const QMetaObject& kind,
                    std::source_location caller);

template <class W>
W* widget(const QObject& root, QAnyStringView name,
          std::source_location caller = std::source_location::current()) {
    return static_cast<W*>(namedChild(root, name, W::staticMetaObject, caller));
}

// The addresses QDesktopServices was asked to open ("http" and "https"),
// captured by the test program's own URL handler, so no browser ever starts.
std::vector<QUrl>& openedUrls();

}  // namespace kavren::testsupport
