// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/windowsupport.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "app/cfgdlg.h"
#include "app/plainmessagebox.h"
#include "app/pwddlg.h"

namespace kavren::testsupport {

ModalWatcher::ModalWatcher(Answer answer) : m_answer(std::move(answer)) {
    if (!m_answer)
        m_answer = [](QWidget* window, int) { return pressOk(window); };
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    m_timer.start();
}

ModalWatcher::~ModalWatcher() = default;

std::vector<QString> ModalWatcher::texts() const {
    std::vector<QString> out;
    for (const SeenModal& s : m_seen)
        out.push_back(s.text);
    return out;
}

bool ModalWatcher::pressOk(QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        box->button(QMessageBox::Ok)->click();
        return true;
    }
    if (auto* plain = qobject_cast<app::PlainMessageBox*>(window)) {
        plain->okButton()->click();
        return true;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->accept();
        return true;
    }
    return false;
}

void ModalWatcher::poll() {
    QWidget* window = QApplication::activeModalWidget();
    if (!window || !window->isVisible())
        return;
    auto known = std::find_if(m_recorded.begin(), m_recorded.end(),
                              [window](const Visit& v) { return v.window == window; });
    if (known == m_recorded.end()) {
        m_recorded.push_back({window, 0});
        known = std::prev(m_recorded.end());
        SeenModal seen;
        seen.kind = window->objectName();
        seen.title = window->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(window)) {
            seen.text = box->text();
            seen.errorIcon = box->icon() == QMessageBox::Critical;
        } else if (auto* plain = qobject_cast<app::PlainMessageBox*>(window)) {
            seen.text = plain->textLabel()->text();
        }
        m_seen.push_back(seen);
    }
    // Visits are counted per window, so a window that comes back to the top
    // after a nested one closed goes on counting.
    m_answer(window, known->visits++);
}

std::unique_ptr<app::TMainF> openProgramWindows(app::MainWindowServices services) {
    auto window = std::make_unique<app::TMainF>(std::move(services));
    ::MainF = window.get();
    ::PwdDlg = new app::TPwdDlg();
    ::CfgDlg = new app::TCfgDlg();
    return window;
}

void closeProgramWindows(std::unique_ptr<app::TMainF>& window) {
    delete ::CfgDlg;
    ::CfgDlg = nullptr;
    delete ::PwdDlg;
    ::PwdDlg = nullptr;
    window.reset();
    ::MainF = nullptr;
}

std::vector<QUrl>& openedUrls() {
    static std::vector<QUrl> urls;
    return urls;
}

}  // namespace kavren::testsupport
