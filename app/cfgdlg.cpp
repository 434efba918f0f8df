// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cfgdlg.h"

#include "app/dialogframe.h"

#include <QFrame>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>

namespace kavren::app {

namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 179;

}  // namespace

TCfgDlg::TCfgDlg(QWidget* parent) : QDialog(parent) {
    setUpDialogFrame(*this, QStringLiteral("CfgDlg"), QStringLiteral("Select Device"), kClientWidth,
                     kClientHeight);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(300, 8, 75, 25);
    OKBtn->setDefault(true);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(300, 38, 75, 25);
    CancelBtn->setAutoDefault(false);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 281, 161);

    DevSelList = new QListWidget(this);
    DevSelList->setObjectName(QStringLiteral("DevSelList"));
    DevSelList->setGeometry(16, 16, 265, 145);
    DevSelList->setSelectionMode(QAbstractItemView::SingleSelection);
    DevSelList->setUniformItemSizes(true);
    // The frame is the bevel's; the list is raised above it.
    DevSelList->raise();

    connect(OKBtn, &QPushButton::clicked, this, &TCfgDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TCfgDlg::CancelBtnClick);
}

TCfgDlg::~TCfgDlg() = default;

void TCfgDlg::OKBtnClick() {
    accept();
}

void TCfgDlg::CancelBtnClick() {
    reject();
}

void TCfgDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
}

}  // namespace kavren::app
