// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/windowsupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

#include "app/composition.h"
#include "app/plainmessagebox.h"

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

QObject* namedChild(const QObject& root, QAnyStringView name, const QMetaObject& kind,
                    std::source_location caller) {
    const QString wanted = name.toString();
    const QList<QObject*> found = root.findChildren<QObject*>(wanted);
    if (found.size() == 1 && kind.cast(found.front()) != nullptr)
        return found.front();
    const std::string what = '"' + wanted.toStdString() + "\" below " +
                             root.objectName().toStdString() + " (" +
                             root.metaObject()->className() + ")";
    std::string problem;
    if (found.isEmpty())
        problem = std::string("no ") + kind.className() + " named " + what;
    else if (found.size() > 1)
        problem = std::to_string(found.size()) + " objects named " + what;
    else
        problem = what + " is a " + found.front()->metaObject()->className() + ", not a " +
                  kind.className();
    ADD_FAILURE_AT(caller.file_name(), static_cast<int>(caller.line())) << problem;
    // A test cannot go on with a widget it does not have; the exception ends
    // it where a fatal assertion would.
    throw std::runtime_error(problem);
}

QString testAuditTrailPath() {
    static const QTemporaryDir folder;
    return folder.filePath(QStringLiteral("audit.jsonl"));
}

std::unique_ptr<app::TMainF> openProgramWindows(app::MainWindowServices services) {
    // No test writes to the user's own audit trail.
    if (services.auditTrailPath.isEmpty())
        services.auditTrailPath = testAuditTrailPath();
    if (services.settingsPath.isEmpty())
        services.settingsPath =
            QFileInfo(testAuditTrailPath()).dir().filePath(QStringLiteral("window.ini"));
    try {
        app::createProgramWindows(std::move(services));
    } catch (...) {
        app::destroyProgramWindows();
        throw;
    }
    return std::unique_ptr<app::TMainF>(::MainF);
}

void closeProgramWindows(std::unique_ptr<app::TMainF>& window) {
    // The program's order: the dialogs go first, then the window.
    if (window.get() == ::MainF)
        static_cast<void>(window.release());
    app::destroyProgramWindows();
    window.reset();
}

std::vector<QUrl>& openedUrls() {
    static std::vector<QUrl> urls;
    return urls;
}

}  // namespace kavren::testsupport
