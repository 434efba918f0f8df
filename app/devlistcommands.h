// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QModelIndex>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devices/devicesearch.h"

class QAction;
class QMenu;

namespace kavren::app {

// A save dialog for a CSV file; an empty text when cancelled.
QString chooseCsvFile(QWidget* parent, const QString& title);
// Writes `bytes` as the whole file at `path`; an error names the system's
// reason and reaches the general error display.
void writeExportFile(const QString& path, const std::string& bytes);

class DeviceGrid;
class DevListView;
class DeviceTableModel;
class FindBar;

// The grid's own commands beside those of the window: find, copy, export,
// and filling many cells at once.
// They live in the grid's context menu and its keyboard shortcuts only; the
// menu bar stays as it is. Finding moves the grid's current cell the way the
// keyboard does, so a found row is selected under the grid's usual rule.
class DevListCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevListCommands)

public:
    // Asks for the file to export to; an empty text cancels.
    using ChooseFile = std::function<QString()>;

    DevListCommands(DevListView& view, DeviceGrid& grid, FindBar& bar, ChooseFile chooseFile);
    ~DevListCommands() override;

    QAction* ActFind = nullptr;           // Ctrl+F
    QAction* ActFindNext = nullptr;       // F3
    QAction* ActFindPrevious = nullptr;   // Shift+F3
    QAction* ActCopy = nullptr;           // Ctrl+C
    QAction* ActCopyRow = nullptr;        // Ctrl+Shift+C
    QAction* ActExport = nullptr;         // Ctrl+E
    QAction* ActFillDown = nullptr;       // Ctrl+D
    QAction* ActFillAddresses = nullptr;  // Ctrl+Shift+A
    QAction* ActImportPlan = nullptr;     // Ctrl+I

    QMenu* contextMenu() const { return m_menu; }
    // The device row the menu was opened on, or else the current one.
    std::optional<int> targetRow() const;
    // A command of the window's own, put at the end of the menu (after a
    // separator of its own) and on `keys` while the grid has the focus.
    QAction* addWindowCommand(const QString& text, const char* name, const QKeySequence& keys,
                              std::function<void()> handler);

    void openFind();
    // Selects the matching device row from the current row on (`step` 0
    // while typing, so a longer text keeps a row that still matches), or
    // says "Not found" in the bar.
    void find(devices::DeviceSearch::Direction direction, int step);
    void copyCell();
    void copyRow();
    // Writes every device row to a chosen file; an error names the system's
    // reason and reaches the general error display.
    void exportList();
    // The top selected cell of each selectable column goes into the
    // selected cells below it.
    void fillDown();
    // `text`, as the editor of (col, row) holds it, goes into every other
    // selected cell of that column (Ctrl+Enter in the editor).
    void fillSelection(int col, int row, const QString& text);
    // Asks for a first address (and a mask and gateway) and numbers the
    // rows of the selected cells, or the current row, in row order. Nothing
    // is sent.
    void fillAddresses();
    // Reads a plan CSV as kavren does and fills the editable cells of the
    // rows whose MAC it names; an empty field keeps the cell. A plan with
    // errors fills nothing and names them by line; MACs that are not
    // listed are named afterwards. Nothing is sent.
    void importPlan();
    // Asks for the plan file to read; an empty text cancels.
    void setPlanChooser(ChooseFile choose) { m_choosePlan = std::move(choose); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* makeAction(const QString& text, const char* name, const QKeySequence& keys,
                        Qt::ShortcutContext context, void (DevListCommands::*handler)());
    QModelIndex target() const;
    void showMenu(const QModelIndex& at, const QPoint& globalPos);
    // The selected device rows of each selectable column, top to bottom.
    std::map<int, std::vector<int>> selectedRowsByColumn() const;
    // Writes `text` into the device cells of `col` in `rows`, as typing
    // would, and warns once when it is too long for the column.
    void fillCells(int col, const std::vector<int>& rows, const QString& text);
    // The device rows of the selected cells, or else the current row.
    std::vector<int> chosenRows() const;

    DevListView& m_view;
    DeviceGrid& m_grid;
    FindBar& m_bar;
    ChooseFile m_chooseFile;
    ChooseFile m_choosePlan;
    QMenu* m_menu = nullptr;
    qsizetype m_ownCommands = 0;  // the menu's entries before the window's commands
    // The cell the context menu was opened on; the commands act on it while
    // the menu is up, and on the current cell otherwise.
    QModelIndex m_menuIndex;
    // Brought up to date before each search: appended rows are added.
    devices::DeviceSearchIndex m_index;
};

}  // namespace kavren::app
