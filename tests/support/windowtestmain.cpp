// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QDesktopServices>
#include <QUrl>

#include "app/kavrenapplication.h"
#include "tests/support/windowsupport.h"

namespace {

// Takes the addresses QDesktopServices is asked to open, so that no test
// ever starts a browser.
class UrlCatcher final : public QObject {
    Q_OBJECT

public Q_SLOTS:
    void open(const QUrl& url) { kavren::testsupport::openedUrls().push_back(url); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Also when listed by CTest, which sets no environment for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kavren::app::KavrenApplication application(argc, argv);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    const int result = RUN_ALL_TESTS();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    return result;
}

#include "windowtestmain.moc"
