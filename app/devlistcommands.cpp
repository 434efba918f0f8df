// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devlistcommands.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <set>
#include <stdexcept>

#include "app/celleditdelegate.h"
#include "app/devicegrid.h"
#include "app/devicetablemodel.h"
#include "app/devlistview.h"
#include "app/dialogprompts.h"
#include "app/errordisplay.h"
#include "app/filladdressesdlg.h"
#include "app/findbar.h"
#include "app/plainmessagebox.h"
#include "app/textbridge.h"
#include "changes/plan.h"
#include "protocol/ipv4.h"
#include "protocol/textcodecs.h"
#include "usecases/devicecsv.h"
#include "usecases/updatecommands.h"

namespace kavren::app {

DevListCommands::DevListCommands(DevListView& view, DeviceGrid& grid, FindBar& bar,
                                 ChooseFile chooseFile)
    : QObject(&view), m_view(view), m_grid(grid), m_bar(bar), m_chooseFile(std::move(chooseFile)) {
    // Find works from anywhere in the window, since the bar is not inside
    // the grid; copying and exporting only while the grid has the focus, so
    // that the adapter box and the cell editor keep their own Ctrl+C.
    ActFind = makeAction(QStringLiteral("Find…"), "ActFind", QKeySequence::Find, Qt::WindowShortcut,
                         &DevListCommands::openFind);
    ActFindNext = makeAction(QStringLiteral("Find Next"), "ActFindNext", QKeySequence(Qt::Key_F3),
                             Qt::WindowShortcut, nullptr);
    ActFindPrevious = makeAction(QStringLiteral("Find Previous"), "ActFindPrevious",
                                 QKeySequence(Qt::SHIFT | Qt::Key_F3), Qt::WindowShortcut, nullptr);
    ActCopy = makeAction(QStringLiteral("Copy"), "ActCopy", QKeySequence::Copy,
                         Qt::WidgetWithChildrenShortcut, &DevListCommands::copyCell);
    ActCopyRow = makeAction(QStringLiteral("Copy Row"), "ActCopyRow",
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                            Qt::WidgetWithChildrenShortcut, &DevListCommands::copyRow);
    ActExport =
        makeAction(QStringLiteral("Export List…"), "ActExport", QKeySequence(Qt::CTRL | Qt::Key_E),
                   Qt::WidgetWithChildrenShortcut, &DevListCommands::exportList);
    ActFillDown =
        makeAction(QStringLiteral("Fill Down"), "ActFillDown", QKeySequence(Qt::CTRL | Qt::Key_D),
                   Qt::WidgetWithChildrenShortcut, &DevListCommands::fillDown);
    ActFillAddresses = makeAction(QStringLiteral("Fill Addresses…"), "ActFillAddresses",
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                                  Qt::WidgetWithChildrenShortcut, &DevListCommands::fillAddresses);
    ActImportPlan = makeAction(QStringLiteral("Import Plan…"), "ActImportPlan",
                               QKeySequence(Qt::CTRL | Qt::Key_I), Qt::WidgetWithChildrenShortcut,
                               &DevListCommands::importPlan);
    if (auto* editors = qobject_cast<CellEditDelegate*>(m_view.itemDelegate())) {
        connect(editors, &CellEditDelegate::textForSelection, this,
                guarded([this](int col, int row, const QString& text) {
                    fillSelection(col, row, text);
                }));
    }
    connect(ActFindNext, &QAction::triggered, this,
            guarded([this] { find(devices::DeviceSearch::Direction::Forward, 1); }));
    connect(ActFindPrevious, &QAction::triggered, this,
            guarded([this] { find(devices::DeviceSearch::Direction::Backward, 1); }));

    m_menu = new QMenu(&m_view);
    m_menu->setObjectName(QStringLiteral("DevListMenu"));
    m_menu->setAccessibleName(QStringLiteral("Device list commands"));
    m_menu->addAction(ActFind);
    m_menu->addAction(ActFindNext);
    m_menu->addAction(ActFindPrevious);
    m_menu->addSeparator();
    m_menu->addAction(ActCopy);
    m_menu->addAction(ActCopyRow);
    m_menu->addSeparator();
    m_menu->addAction(ActExport);
    m_menu->addSeparator();
    m_menu->addAction(ActFillDown);
    m_menu->addAction(ActFillAddresses);
    m_menu->addAction(ActImportPlan);
    // The actions run after the menu has gone: the cell it was opened on is
    // forgotten one turn of the event loop later.
    m_ownCommands = m_menu->actions().size();
    connect(m_menu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { m_menuIndex = {}; }); });

    // A mouse opens the menu on the viewport, the keyboard's menu key on the
    // view itself.
    m_view.setContextMenuPolicy(Qt::DefaultContextMenu);
    m_view.installEventFilter(this);
    m_view.viewport()->installEventFilter(this);

    connect(&m_bar, &FindBar::textEdited, this, guarded([this](const QString&) {
        find(devices::DeviceSearch::Direction::Forward, 0);
    }));
    connect(&m_bar, &FindBar::findNext, this,
            guarded([this] { find(devices::DeviceSearch::Direction::Forward, 1); }));
    connect(&m_bar, &FindBar::findPrevious, this,
            guarded([this] { find(devices::DeviceSearch::Direction::Backward, 1); }));
    connect(&m_bar, &FindBar::closed, this, [this] { m_view.setFocus(Qt::OtherFocusReason); });
    // While the bar is open, rows that arrive join the search index at once,
    // so that no keystroke waits for a burst's worth of them.
    connect(m_view.model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_bar.isVisible())
            m_index.update(m_grid.list());
    });
}

DevListCommands::~DevListCommands() = default;

QAction* DevListCommands::makeAction(const QString& text, const char* name,
                                     const QKeySequence& keys, Qt::ShortcutContext context,
                                     void (DevListCommands::*handler)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    action->setShortcutContext(context);
    m_view.addAction(action);
    if (handler) {
        connect(action, &QAction::triggered, this,
                guarded([this, handler] { (this->*handler)(); }));
    }
    return action;
}

bool DevListCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        if (watched == m_view.viewport() && menuEvent->reason() != QContextMenuEvent::Keyboard) {
            showMenu(m_view.indexAt(menuEvent->pos()), menuEvent->globalPos());
            return true;
        }
        if (watched == &m_view) {
            const QModelIndex current = m_view.currentIndex();
            const QRect cell = m_view.visualRect(current);
            const QPoint at = cell.isValid() ? cell.center() : QPoint(0, 0);
            showMenu(current, m_view.viewport()->mapToGlobal(at));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void DevListCommands::showMenu(const QModelIndex& at, const QPoint& globalPos) {
    m_menuIndex = at;
    m_menu->popup(globalPos);
}

QModelIndex DevListCommands::target() const {
    return m_menuIndex.isValid() ? m_menuIndex : m_view.currentIndex();
}

std::optional<int> DevListCommands::targetRow() const {
    const QModelIndex cell = target();
    if (!cell.isValid() || !m_grid.isDeviceRow(DeviceTableModel::gridRow(cell)))
        return std::nullopt;
    return DeviceTableModel::gridRow(cell);
}

void DevListCommands::openFind() {
    // The index is built as the bar opens, not at the first keystroke.
    m_index.update(m_grid.list());
    m_bar.open();
    // Reopening the bar on an earlier text shows its match again.
    if (!m_bar.text().isEmpty())
        find(devices::DeviceSearch::Direction::Forward, 0);
}

void DevListCommands::find(devices::DeviceSearch::Direction direction, int step) {
    if (m_bar.isHidden())
        m_bar.open();
    const devices::DeviceSearch search(fromQt(m_bar.text()));
    if (search.empty()) {
        m_bar.setResult({});
        return;
    }
    const QModelIndex current = m_view.currentIndex();
    const int currentRow = current.isValid() ? DeviceTableModel::gridRow(current) : 0;
    const bool forward = direction == devices::DeviceSearch::Direction::Forward;
    m_index.update(m_grid.list());
    const auto hit =
        search.find(m_index, forward ? currentRow + step : currentRow - step, direction);
    if (!hit) {
        m_bar.setResult(QStringLiteral("Not found"));
        return;
    }
    m_bar.setResult(hit->wrapped
                        ? QStringLiteral("Continued from the %1")
                              .arg(forward ? QStringLiteral("top") : QStringLiteral("bottom"))
                        : QString());
    // The column stays where it was (a selectable one), as when the user
    // moves up or down with the keyboard.
    const int col = current.isValid() && current.column() >= DeviceGrid::kFixedCols
                        ? current.column()
                        : DeviceGrid::kFixedCols;
    auto* model = static_cast<DeviceTableModel*>(m_view.model());
    const QModelIndex found = model->indexOf(col, hit->row);
    m_view.scrollTo(found);
    if (found == current) {
        // As a click on the current cell: a selection while editing is off
        // (the starting cell, or a row that a reply filled), else nothing.
        if (!m_grid.editing())
            Q_EMIT m_view.cellSelected(col, hit->row);
        return;
    }
    m_view.setCurrentIndex(found);
}

void DevListCommands::copyCell() {
    const QModelIndex cell = target();
    if (!cell.isValid())
        return;
    QGuiApplication::clipboard()->setText(cell.data(Qt::DisplayRole).toString());
}

void DevListCommands::copyRow() {
    const QModelIndex cell = target();
    if (!cell.isValid())
        return;
    const int row = DeviceTableModel::gridRow(cell);
    QString text;
    for (int col = 0; col < DeviceGrid::kColCount; ++col) {
        if (col > 0)
            text += QLatin1Char('\t');
        text += toQt(m_grid.cell(col, row));
    }
    QGuiApplication::clipboard()->setText(text);
}

QString chooseCsvFile(QWidget* parent, const QString& title) {
    return QFileDialog::getSaveFileName(parent, title, QString(),
                                        QStringLiteral("CSV files (*.csv);;All files (*)"));
}

void writeExportFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                       static_cast<qint64>(bytes.size());
    // The last bytes may fail only as the file is closed (a full disk).
    if (file.isOpen()) {
        file.close();
        written = written && file.error() == QFileDevice::NoError;
    }
    if (!written) {
        throw std::runtime_error("Cannot write " + fromQt(path) + ": " +
                                 fromQt(file.errorString()));
    }
}

void DevListCommands::exportList() {
    const QString path = m_chooseFile
                             ? m_chooseFile()
                             : chooseCsvFile(m_view.window(), QStringLiteral("Export List"));
    if (path.isEmpty())
        return;
    writeExportFile(path, usecases::listedDevicesCsv(m_grid.list()));
}

QAction* DevListCommands::addWindowCommand(const QString& text, const char* name,
                                           const QKeySequence& keys,
                                           std::function<void()> handler) {
    if (m_menu->actions().size() == m_ownCommands)
        m_menu->addSeparator();
    QAction* action = makeAction(text, name, keys, Qt::WidgetWithChildrenShortcut, nullptr);
    if (handler)
        connect(action, &QAction::triggered, this, guarded(std::move(handler)));
    m_menu->addAction(action);
    return action;
}

std::map<int, std::vector<int>> DevListCommands::selectedRowsByColumn() const {
    std::map<int, std::vector<int>> rows;
    for (const QModelIndex& index : m_view.selectionModel()->selectedIndexes()) {
        const int row = DeviceTableModel::gridRow(index);
        if (index.column() >= DeviceGrid::kFixedCols && m_grid.isDeviceRow(row))
            rows[index.column()].push_back(row);
    }
    for (auto& [col, list] : rows)
        std::sort(list.begin(), list.end());
    return rows;
}

void DevListCommands::fillCells(int col, const std::vector<int>& rows, const QString& text) {
    auto* model = static_cast<DeviceTableModel*>(m_view.model());
    int written = 0;
    for (const int row : rows) {
        if (model->setData(model->indexOf(col, row), text, Qt::EditRole))
            ++written;
    }
    // Every cell gets the same text under the same column's rule: one
    // warning says it for all of them.
    if (written > 0)
        m_grid.setEditText(col, rows.front(), m_grid.cell(col, rows.front()));
}

void DevListCommands::fillDown() {
    for (const auto& [col, rows] : selectedRowsByColumn()) {
        if (rows.size() > 1)
            fillCells(col, {rows.begin() + 1, rows.end()}, toQt(m_grid.cell(col, rows.front())));
    }
}

void DevListCommands::fillSelection(int col, int row, const QString& text) {
    const auto selected = selectedRowsByColumn();
    const auto rows = selected.find(col);
    if (rows == selected.end())
        return;
    std::vector<int> others;
    std::copy_if(rows->second.begin(), rows->second.end(), std::back_inserter(others),
                 [row](int r) { return r != row; });
    // The edited cell itself takes its text, and its warning, as usual when
    // the editor closes.
    if (!others.empty())
        fillCells(col, others, text);
}

std::vector<int> DevListCommands::chosenRows() const {
    std::set<int> rows;
    for (const auto& [col, list] : selectedRowsByColumn())
        rows.insert(list.begin(), list.end());
    if (rows.empty()) {
        const QModelIndex current = m_view.currentIndex();
        if (current.isValid() && m_grid.isDeviceRow(DeviceTableModel::gridRow(current)))
            rows.insert(DeviceTableModel::gridRow(current));
    }
    return {rows.begin(), rows.end()};
}

void DevListCommands::fillAddresses() {
    const std::vector<int> rows = chosenRows();
    if (rows.empty())
        return;
    FillAddressesDlg dialog(m_view.window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string first = fromQt(dialog.First->text().trimmed());
    const QString mask = dialog.Mask->text().trimmed();
    const QString gateway = dialog.Gateway->text().trimmed();
    const auto readable = [](const QString& text) {
        return text.isEmpty() || protocol::Ipv4Address::parse(fromQt(text)).has_value();
    };
    if (!protocol::Ipv4Address::parse(first) || !readable(mask) || !readable(gateway)) {
        PlainMessageBox::show(updateStopText(usecases::UpdateStop::AddressError));
        return;
    }
    // Addresses that listed devices outside the fill report, or are about
    // to take, are passed over: two devices on one address answer neither.
    std::set<std::uint32_t> taken;
    const std::set<int> filled(rows.begin(), rows.end());
    for (int row = 1; m_grid.isDeviceRow(row); ++row) {
        if (filled.contains(row))
            continue;
        const devices::DeviceList& list = m_grid.list();
        for (const auto value : {list.device(row).deviceIp, list.addressToTake(row)}) {
            if (value)
                taken.insert(value->value());
        }
    }
    const auto addresses = changes::consecutiveAddresses(first, rows.size(), taken);
    if (!addresses) {
        PlainMessageBox::show("The addresses would run past 255.255.255.255.");
        return;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        m_grid.setCell(DeviceGrid::ColIp, rows[i], (*addresses)[i]);
        if (!mask.isEmpty())
            m_grid.setCell(DeviceGrid::ColMask, rows[i], fromQt(mask));
        if (!gateway.isEmpty())
            m_grid.setCell(DeviceGrid::ColGateway, rows[i], fromQt(gateway));
    }
}

void DevListCommands::importPlan() {
    const QString path = m_choosePlan
                             ? m_choosePlan()
                             : QFileDialog::getOpenFileName(
                                   m_view.window(), QStringLiteral("Import Plan"), QString(),
                                   QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("Cannot read " + fromQt(path) + ": " + fromQt(file.errorString()));
    }
    const changes::PlanFile plan = changes::parsePlan(file.readAll());
    std::vector<std::string> problems = plan.errors;
    std::vector<std::pair<int, const changes::PlanRow*>> listed;
    std::string unlisted;
    for (const changes::PlanRow& row : plan.rows) {
        const auto mac = changes::normaliseMac(row.mac);
        if (!mac) {
            problems.push_back("line " + std::to_string(row.line) + ": MAC address \"" + row.mac +
                               "\" not readable");
        } else if (const auto device = m_grid.list().findByMac(*mac)) {
            listed.emplace_back(*device, &row);
        } else {
            unlisted += (unlisted.empty() ? "" : ", ") + *mac;
        }
    }
    if (!problems.empty()) {
        std::string text = "The plan cannot be used:";
        for (const std::string& problem : problems)
            text += "\n" + problem;
        PlainMessageBox::show(text);
        return;
    }
    for (const auto& [row, planned] : listed) {
        const std::pair<int, const std::string*> given[] = {
            {DeviceGrid::ColNewPassword, &planned->newPassword},
            {DeviceGrid::ColIp, &planned->ip},
            {DeviceGrid::ColMask, &planned->mask},
            {DeviceGrid::ColGateway, &planned->gateway},
            {DeviceGrid::ColDescription, &planned->description}};
        for (const auto& [col, text] : given) {
            if (!text->empty())
                m_grid.setCell(col, row, *text);
        }
    }
    if (!unlisted.empty())
        PlainMessageBox::show("Not in the list, so not filled: " + unlisted);
}

}  // namespace kavren::app
