// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/updateresultsdlg.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/devlistcommands.h"
#include "app/errordisplay.h"
#include "app/textbridge.h"
#include "usecases/devicecsv.h"

namespace kavren::app {

QString answerText(const UpdateResult& result) {
    if (result.answer)
        return toQt(*result.answer);
    return result.noAnswer ? QStringLiteral("no answer within the wait") : QString();
}

QString verificationText(const UpdateResult& result) {
    if (!result.verified)
        return {};
    return *result.verified ? QStringLiteral("verified") : QStringLiteral("not verified");
}

std::string updateResultsCsv(const std::vector<UpdateResult>& results) {
    std::string csv = "mac,destination,answer,verification\r\n";
    for (const UpdateResult& result : results) {
        // The answer is the device's bytes; the window's own words are ASCII,
        // so both go through the writer as bytes alike.
        const std::string fields[] = {result.mac, result.destination, fromQt(answerText(result)),
                                      fromQt(verificationText(result))};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                csv += ',';
            usecases::appendCsvField(csv, fields[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

UpdateResultsDlg::UpdateResultsDlg(const std::vector<UpdateResult>& results, ChooseFile chooseFile,
                                   QWidget* parent)
    : QDialog(parent), m_results(results), m_chooseFile(std::move(chooseFile)) {
    setObjectName(QStringLiteral("UpdateResultsDlg"));
    setWindowTitle(QStringLiteral("Update Results"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);

    ResultList = new QTableWidget(0, 4, this);
    ResultList->setObjectName(QStringLiteral("ResultList"));
    ResultList->setAccessibleName(QStringLiteral("Update results"));
    ResultList->setAccessibleDescription(
        QStringLiteral("Every update since the window opened, newest last"));
    ResultList->setHorizontalHeaderLabels({QStringLiteral("MAC"), QStringLiteral("Sent to"),
                                           QStringLiteral("Answer"),
                                           QStringLiteral("Verification")});
    ResultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultList->verticalHeader()->setVisible(false);
    ResultList->horizontalHeader()->setStretchLastSection(true);
    ResultList->setMinimumSize(560, 220);

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(caption);
        b->setAutoDefault(false);
        return b;
    };
    CopyBtn = button("CopyBtn", QStringLiteral("Copy"));
    ExportBtn = button("ExportBtn", QStringLiteral("Export as CSV…"));
    CloseBtn = button("CloseBtn", QStringLiteral("Close"));
    connect(CopyBtn, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(updateResultsCsv(m_results)));
    });
    connect(ExportBtn, &QPushButton::clicked, this, guarded([this] { exportCsv(); }));
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CopyBtn);
    buttons->addWidget(ExportBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ResultList);
    layout->addLayout(buttons);
    refresh();
}

UpdateResultsDlg::~UpdateResultsDlg() = default;

void UpdateResultsDlg::refresh() {
    ResultList->setRowCount(static_cast<int>(m_results.size()));
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        const UpdateResult& result = m_results[i];
        // Item texts are drawn as plain text: a device's answer is shown as
        // it came, markup and all.
        const QString texts[] = {toQt(result.mac), toQt(result.destination), answerText(result),
                                 verificationText(result)};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(texts[col]);
            item->setData(Qt::AccessibleTextRole, texts[col]);
            ResultList->setItem(static_cast<int>(i), col, item);
        }
    }
    ResultList->resizeColumnsToContents();
    if (!m_results.empty())
        ResultList->scrollToBottom();
}

void UpdateResultsDlg::exportCsv() {
    const QString path =
        m_chooseFile ? m_chooseFile() : chooseCsvFile(this, QStringLiteral("Export Results"));
    if (!path.isEmpty())
        writeExportFile(path, updateResultsCsv(m_results));
}

}  // namespace kavren::app
