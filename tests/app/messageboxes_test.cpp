// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <stdexcept>

#include "app/errordisplay.h"
#include "app/plainmessagebox.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using testsupport::ModalWatcher;

TEST(PlainMessageBox, HasNoIconOneOkAndTheApplicationTitle) {
    PlainMessageBox box("Version 1.0 Build 120425");
    EXPECT_EQ(box.windowTitle(), QApplication::applicationDisplayName());
    EXPECT_EQ(box.textLabel()->text(), QStringLiteral("Version 1.0 Build 120425"));
    const auto buttons = box.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("OK"));
    EXPECT_TRUE(buttons[0]->isDefault());
    // No icon: the only label is the text.
    EXPECT_EQ(box.findChildren<QLabel*>().size(), 1);
}

TEST(PlainMessageBox, ShowsDeviceTextsLiterallyAndWrapsAtHalfTheScreen) {
    PlainMessageBox box("<b>x</b> <img src=x>");
    EXPECT_EQ(box.textLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(box.textLabel()->text(), QStringLiteral("<b>x</b> <img src=x>"));
    EXPECT_TRUE(box.textLabel()->wordWrap());
    const int half = QGuiApplication::primaryScreen()->availableGeometry().width() / 2;
    EXPECT_EQ(box.textLabel()->maximumWidth(), half);
}

TEST(PlainMessageBox, EnterAndEscBothCloseIt) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        PlainMessageBox box("Cancel Configuration");
        QTimer::singleShot(20, &box, [&box, key] { QTest::keyClick(&box, key); });
        QTimer::singleShot(2000, &box, [&box] { box.done(99); });  // never hang
        const int result = box.exec();
        EXPECT_NE(result, 99) << "key " << key << " did not close the box";
    }
}

TEST(PlainMessageBox, ExpandsTabsToStopsOfEight) {
    EXPECT_EQ(PlainMessageBox::expandTabs(QStringLiteral("a\tb")), QStringLiteral("a       b"));
    EXPECT_EQ(PlainMessageBox::expandTabs(QStringLiteral("12345678\tx")),
              QStringLiteral("12345678        x"));
    EXPECT_EQ(PlainMessageBox::expandTabs(QStringLiteral("ab\n\tc")),
              QStringLiteral("ab\n        c"));
}

TEST(ErrorDisplay, ShowsTheMessageWithTheStopRuleTheTitleAndTheErrorIcon) {
    ModalWatcher watcher;
    showErrorDisplay("Socket Error # 10049\r\nCannot assign requested address.");
    showErrorDisplay("Address in use");
    showErrorDisplay("");
    ASSERT_EQ(watcher.seen().size(), 3u);
    EXPECT_EQ(watcher.seen()[0].text,
              QStringLiteral("Socket Error # 10049\r\nCannot assign requested address."));
    EXPECT_EQ(watcher.seen()[1].text, QStringLiteral("Address in use."));
    EXPECT_EQ(watcher.seen()[2].text, QString());
    for (const auto& seen : watcher.seen()) {
        EXPECT_TRUE(seen.errorIcon);
        EXPECT_EQ(seen.title, QApplication::applicationDisplayName());
    }
}

TEST(ErrorDisplay, GuardedHandlersShowWhatTheyThrowAndReturn) {
    ModalWatcher watcher;
    bool after = false;
    guarded([] { throw std::runtime_error("Could not bind socket"); })();
    guarded([] { throw 42; })();  // no message at all: an empty box
    guarded([&after](int v) { after = v == 7; })(7);
    ASSERT_EQ(watcher.seen().size(), 2u);
    EXPECT_EQ(watcher.seen()[0].text, QStringLiteral("Could not bind socket."));
    EXPECT_EQ(watcher.seen()[1].text, QString());
    EXPECT_TRUE(after);
}

// An object whose event handler throws, as a stand-in for any handler the
// window's own guards do not cover.
class ThrowingObject final : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Thrown from an event");
        return QObject::event(e);
    }
};

TEST(ErrorDisplay, ErrorsEscapingAnEventInsideAModalLoopAreShown) {
    ThrowingObject thrower;
    ModalWatcher watcher([&thrower](QWidget* window, int visits) {
        // While the plain box is up, an event handler throws inside its loop.
        if (qobject_cast<PlainMessageBox*>(window) && visits == 0) {
            QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
            return false;
        }
        if (qobject_cast<PlainMessageBox*>(window) && visits < 20)
            return false;
        return ModalWatcher::pressOk(window);
    });
    PlainMessageBox::show("Version 1.0 Build 120425");
    ASSERT_EQ(watcher.seen().size(), 2u);
    EXPECT_EQ(watcher.seen()[1].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[1].text, QStringLiteral("Thrown from an event."));
}

}  // namespace
}  // namespace kavren::app
