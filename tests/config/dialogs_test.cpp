// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/cfgdlg.h"
#include "app/dialogprompts.h"
#include "app/pwddlg.h"

namespace kavren::app {
namespace {

// Runs `step` once the modal dialog is up. A watchdog closes the dialog if
// the step fails to, so a broken test fails instead of hanging the suite.
void whenShown(QDialog& dialog, std::function<void()> step) {
    QTimer::singleShot(0, &dialog, [&dialog, step = std::move(step)] {
        ASSERT_TRUE(dialog.isVisible());
        step();
    });
    QTimer::singleShot(5000, &dialog, [&dialog] {
        if (dialog.isVisible()) {
            ADD_FAILURE() << "dialog left open";
            dialog.done(QDialog::Rejected);
        }
    });
}

class DialogTest : public ::testing::Test {
protected:
    std::string confirmWith(std::function<void()> step) {
        whenShown(pwd, std::move(step));
        return prompts.confirm("AB (00-1A-2B-3C-4D-5E)", {"Setting info :", "line two"});
    }

    TPwdDlg pwd;
    TCfgDlg cfg;
    std::vector<std::string> messages;
    DialogPrompts prompts{pwd, cfg, [this](std::string_view t) { messages.emplace_back(t); }};
};

// --- confirmation dialog -----------------------------------------------------

TEST_F(DialogTest, EnterConfirmsWithTheTypedPasswordAndShowsTheTexts) {
    const std::string password = confirmWith([this] {
        EXPECT_EQ(pwd.focusWidget(), pwd.Password);
        EXPECT_EQ(pwd.windowTitle(), QStringLiteral("AB (00-1A-2B-3C-4D-5E)"));
        EXPECT_EQ(pwd.CfgList->toPlainText(), QStringLiteral("Setting info :\nline two"));
        QTest::keyClicks(pwd.Password, QStringLiteral("secret"));
        QTest::keyClick(pwd.Password, Qt::Key_Return);
    });
    EXPECT_EQ(password, "secret");
    EXPECT_EQ(pwd.result(), QDialog::Accepted);
}

TEST_F(DialogTest, OkWithAnEmptyBoxGivesAnEmptyPassword) {
    EXPECT_EQ(confirmWith([this] { pwd.OKBtn->click(); }), "");
}

TEST_F(DialogTest, EscCancelsAndEmptiesTheBox) {
    const std::string password = confirmWith([this] {
        QTest::keyClicks(pwd.Password, QStringLiteral("secret"));
        QTest::keyClick(pwd.Password, Qt::Key_Escape);
    });
    EXPECT_EQ(password, "");
    EXPECT_TRUE(pwd.Password->text().isEmpty());
}

TEST_F(DialogTest, CancelButtonEmptiesTheBox) {
    const std::string password = confirmWith([this] {
        QTest::keyClicks(pwd.Password, QStringLiteral("secret"));
        pwd.CancelBtn->click();
    });
    EXPECT_EQ(password, "");
}

TEST_F(DialogTest, CloseControlCountsAsCancel) {
    const std::string password = confirmWith([this] {
        QTest::keyClicks(pwd.Password, QStringLiteral("secret"));
        pwd.close();
    });
    EXPECT_EQ(password, "");
    EXPECT_TRUE(pwd.Password->text().isEmpty());
}

TEST_F(DialogTest, TwentyCharacterPasswordIsTakenWhole) {
    // The box has no limit of its own; the packet cuts it to 16.
    const std::string password = confirmWith([this] {
        QTest::keyClicks(pwd.Password, QStringLiteral("abcdefghijklmnopqrst"));
        pwd.OKBtn->click();
    });
    EXPECT_EQ(password, "abcdefghijklmnopqrst");
}

TEST_F(DialogTest, SecondShowingStartsEmptyAfterAConfirmedFirst) {
    EXPECT_EQ(confirmWith([this] {
                  QTest::keyClicks(pwd.Password, QStringLiteral("first"));
                  pwd.OKBtn->click();
              }),
              "first");
    prompts.clearPassword();
    bool wasEmpty = false;
    confirmWith([&] {
        wasEmpty = pwd.Password->text().isEmpty();
        pwd.CancelBtn->click();
    });
    EXPECT_TRUE(wasEmpty);
}

TEST_F(DialogTest, MemoReplacesTheLinesOfTheLastUseAndKeepsDeviceBytes) {
    confirmWith([this] { pwd.CancelBtn->click(); });
    whenShown(pwd, [this] { pwd.CancelBtn->click(); });
    prompts.confirm("%s \xE9 (00-00-00-00-00-01)", {"Description     \t: <b>%n</b>"});
    EXPECT_EQ(pwd.windowTitle(), QStringLiteral("%s \u00E9 (00-00-00-00-00-01)"));
    EXPECT_EQ(pwd.CfgList->toPlainText(), QStringLiteral("Description     \t: <b>%n</b>"));
}

TEST_F(DialogTest, TabOrderRunsFromThePasswordBoxToTheMemo) {
    confirmWith([this] {
        QWidget* w = pwd.Password;
        std::vector<QWidget*> chain;
        for (int i = 0; i < 4; ++i) {
            chain.push_back(w);
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
        }
        EXPECT_EQ(chain, (std::vector<QWidget*>{pwd.Password, pwd.OKBtn, pwd.CancelBtn,
                                                static_cast<QWidget*>(pwd.CfgList)}));
        pwd.CancelBtn->click();
    });
}

// --- selection dialog --------------------------------------------------------

const std::vector<std::string> kItems = {
    "1 - AB (00-1A-2B-3C-4D-5E) ", "2 - CD (00-1A-2B-3C-4D-5F) ", "3 - EF (00-1A-2B-3C-4D-60) "};

TEST_F(DialogTest, SelectionListsUntickedItemsAndReturnsTheTickedOnOk) {
    EXPECT_EQ(cfg.size(), QSize(384, 179));
    whenShown(cfg, [this] {
        ASSERT_EQ(cfg.DevSelList->count(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(cfg.DevSelList->item(i)->checkState(), Qt::Unchecked);
            EXPECT_TRUE(cfg.DevSelList->item(i)->flags() & Qt::ItemIsUserCheckable);
        }
        EXPECT_EQ(cfg.DevSelList->item(0)->text(), QStringLiteral("1 - AB (00-1A-2B-3C-4D-5E) "));
        cfg.DevSelList->item(2)->setCheckState(Qt::Checked);
        cfg.DevSelList->item(0)->setCheckState(Qt::Checked);
        cfg.OKBtn->click();
    });
    const auto ticked = prompts.selectDevices(kItems);
    ASSERT_TRUE(ticked.has_value());
    EXPECT_EQ(*ticked, (std::vector<int>{0, 2}));
    EXPECT_EQ(cfg.DevSelList->count(), 0);
}

TEST_F(DialogTest, SelectionCancelEscAndCloseUpdateNothingAndEmptyTheList) {
    const std::vector<std::function<void()>> ways = {
        [this] { cfg.CancelBtn->click(); },
        [this] { QTest::keyClick(cfg.DevSelList, Qt::Key_Escape); },
        [this] { cfg.close(); },
    };
    for (std::size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        whenShown(cfg, [&] {
            EXPECT_EQ(cfg.DevSelList->count(), 3);  // once each, fresh every time
            cfg.DevSelList->item(1)->setCheckState(Qt::Checked);
            ways[i]();
        });
        EXPECT_FALSE(prompts.selectDevices(kItems).has_value());
        EXPECT_EQ(cfg.DevSelList->count(), 0);
    }
}

TEST_F(DialogTest, SelectionEnterIsOk) {
    whenShown(cfg, [this] { QTest::keyClick(&cfg, Qt::Key_Return); });
    const auto ticked = prompts.selectDevices(kItems);
    ASSERT_TRUE(ticked.has_value());
    EXPECT_TRUE(ticked->empty());
}

}  // namespace
}  // namespace kavren::app
