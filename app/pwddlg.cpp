// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pwddlg.h"

#include <algorithm>
#include <string_view>

#include <QCheckBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/dialogframe.h"
#include "app/faces.h"
#include "devices/devicelist.h"

namespace kavren::app {

namespace {

constexpr int kClientWidth = 233;
constexpr int kClientHeight = 260;

}  // namespace

TPwdDlg::TPwdDlg(QWidget* parent) : QDialog(parent) {
    setUpDialogFrame(*this, QStringLiteral("PwdDlg"), QStringLiteral("Confirm"), kClientWidth,
                     kClientHeight);

    // Created in the order of the tab chain: the password box first, so it
    // has the focus whenever the dialog opens, and the memo last.
    Label1 = new QLabel(QStringLiteral("Enter password:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->move(8, 177);
    Label1->adjustSize();

    Password = new QLineEdit(this);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setGeometry(8, 195, 217, 21);
    Label1->setBuddy(Password);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(70, 227, 75, 25);
    OKBtn->setDefault(true);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(150, 227, 75, 25);
    CancelBtn->setAutoDefault(false);

    CfgList = new QPlainTextEdit(this);
    CfgList->setObjectName(QStringLiteral("CfgList"));
    CfgList->setGeometry(8, 8, 217, 161);
    CfgList->setReadOnly(true);
    CfgList->setFrameShape(QFrame::NoFrame);
    CfgList->setTabChangesFocus(true);
    // Long values wrap, as in a memo, rather than scroll out of sight.
    CfgList->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    CfgList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = CfgList->palette();
    memoPalette.setColor(QPalette::Base, palette().color(QPalette::Button));
    CfgList->setPalette(memoPalette);
    // The form's face; a pixel below the design's 12 keeps a MAC text or a
    // net mask on one line beside its header in the faces of Arial's widths.
    CfgList->setFont(formFont(11));
    CfgList->setPlainText(QStringLiteral("CfgList"));

    RunPassword =
        new QCheckBox(QStringLiteral("Use this password for the remaining devices"), this);
    RunPassword->setObjectName(QStringLiteral("RunPassword"));
    RunPassword->setAccessibleName(RunPassword->text());
    RunPassword->hide();

    setTabOrder(Password, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, RunPassword);
    setTabOrder(RunPassword, CfgList);
    // Out of the tab chain unless offered. Only now: Qt ignores a tab order
    // given for a widget that takes no focus, which would leave the box
    // last, behind the memo.
    RunPassword->setFocusPolicy(Qt::NoFocus);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TPwdDlg::CancelBtnClick);
}

TPwdDlg::~TPwdDlg() = default;

void TPwdDlg::CancelBtnClick() {
    Password->clear();
    QDialog::reject();
}

// Esc and the close control end here as well as Cancel: every way out but
// OK empties the box, so only a deliberate OK can confirm.
void TPwdDlg::reject() {
    CancelBtnClick();
}

void TPwdDlg::offerRunPassword(bool offer) {
    RunPassword->setChecked(false);
    RunPassword->setVisible(offer);
    RunPassword->setFocusPolicy(offer ? Qt::StrongFocus : Qt::NoFocus);
    if (!offer) {
        setFixedSize(kClientWidth, kClientHeight);
        return;
    }
    // Below the buttons, so the rest stays where it always is.
    const QSize hint = RunPassword->sizeHint();
    RunPassword->setGeometry(8, kClientHeight, hint.width(), hint.height());
    setFixedSize(std::max(kClientWidth, 8 + hint.width() + 8), kClientHeight + hint.height() + 8);
}

void TPwdDlg::fitTabStop() {
    // Each line is a header padded to fifteen characters, a blank and a tab.
    // In a proportional face the padded headers differ in width, so the
    // first tab stop goes just past the widest of them: every colon then
    // stands in one column and the values keep as much room as they can.
    const QFontMetricsF metrics(CfgList->font());
    qreal widest = 0;
    for (int f = 0; f < devices::kDeviceFieldCount; ++f) {
        const std::string_view header =
            devices::DeviceList::fieldName(static_cast<devices::DeviceField>(f));
        QString padded = QString::fromLatin1(header.data(), static_cast<qsizetype>(header.size()));
        padded = padded.leftJustified(15) + QLatin1Char(' ');
        widest = std::max(widest, metrics.horizontalAdvance(padded));
    }
    CfgList->setTabStopDistance(widest + 2);
}

void TPwdDlg::showEvent(QShowEvent* event) {
    // Measured when the dialog first opens, not when the program starts: the
    // memo's face is loaded only then.
    if (!m_tabStopFitted) {
        fitTabStop();
        m_tabStopFitted = true;
    }
    QDialog::showEvent(event);
    centreOnScreen(*this);
    CfgList->moveCursor(QTextCursor::Start);
    CfgList->ensureCursorVisible();
    Password->setFocus(Qt::OtherFocusReason);
}

}  // namespace kavren::app
