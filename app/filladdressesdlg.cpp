// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/filladdressesdlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavren::app {

namespace {

QLineEdit* addressBox(QWidget* parent, const char* name, const QString& label) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(label);
    return box;
}

}  // namespace

FillAddressesDlg::FillAddressesDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FillAddressesDlg"));
    setWindowTitle(QStringLiteral("Fill Addresses"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    First = addressBox(this, "FillFirst", QStringLiteral("First address"));
    Mask = addressBox(this, "FillMask", QStringLiteral("NetMask"));
    Gateway = addressBox(this, "FillGateway", QStringLiteral("Gateway"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("First address:"), First);
    form->addRow(QStringLiteral("NetMask (optional):"), Mask);
    form->addRow(QStringLiteral("Gateway (optional):"), Gateway);
    for (QLineEdit* box : {First, Mask, Gateway}) {
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(box)))
            label->setBuddy(box);
    }
    auto* note = new QLabel(
        QStringLiteral("The selected rows get consecutive addresses in row order, passing over "
                       "addresses other listed devices use. Nothing is sent."),
        this);
    note->setObjectName(QStringLiteral("FillNote"));
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The first address is what is asked for above all.
    First->setFocus(Qt::OtherFocusReason);
}

FillAddressesDlg::~FillAddressesDlg() = default;

}  // namespace kavren::app
