// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QTableWidget;

namespace kavren::app {

// One update as the window saw it: the device, where its request went, and
// its answer as it came (none yet: empty; none within the wait: noAnswer),
// and whether the device was found again with the requested settings when
// that was checked.
struct UpdateResult {
    std::string mac;
    std::string destination;
    std::optional<std::string> answer;
    bool noAnswer = false;
    std::optional<bool> verified;
};

// The words of a result's answer and verification, as the window shows,
// copies and exports them.
QString answerText(const UpdateResult& result);
QString verificationText(const UpdateResult& result);
// Every result as CSV, header first, through the writer (and formula rule)
// the device list is exported with.
std::string updateResultsCsv(const std::vector<UpdateResult>& results);

// "Update Results…": every update since the window opened, newest last. It
// is not modal and follows new results while it is open; it never opens by
// itself.
class UpdateResultsDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateResultsDlg)

public:
    using ChooseFile = std::function<QString()>;

    UpdateResultsDlg(const std::vector<UpdateResult>& results, ChooseFile chooseFile,
                     QWidget* parent = nullptr);
    ~UpdateResultsDlg() override;

    // Shows the results again after a change of them.
    void refresh();

    QTableWidget* ResultList = nullptr;
    QPushButton* CopyBtn = nullptr;
    QPushButton* ExportBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

private:
    void exportCsv();

    const std::vector<UpdateResult>& m_results;
    ChooseFile m_chooseFile;
};

}  // namespace kavren::app
