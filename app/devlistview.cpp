// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devlistview.h"

#include <QAccessible>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

#include "app/devicetablemodel.h"
#include "devices/devicegrid.h"

namespace kavren::app {

DevListView::DevListView(QWidget* parent) : QTableView(parent) {
    // Fixed heights and widths: the view never measures its contents, so it
    // stays quick however many devices answer.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultSectionSize(DeviceGrid::kDefaultColWidth);
    horizontalHeader()->setFixedHeight(kRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // Tab leaves the grid for the next control, as in the rest of the window.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    // A burst of replies appends rows hundreds of times a second, nearly
    // always below the rows on screen. Those appends change only the scroll
    // bar; Qt's own handling would repaint every visible cell each time.
    disconnect(verticalHeader(), &QHeaderView::sectionCountChanged, this, nullptr);
    connect(verticalHeader(), &QHeaderView::sectionCountChanged, this,
            [this](int oldCount, int newCount) { onRowCountChanged(oldCount, newCount); });
}

DevListView::~DevListView() = default;

void DevListView::setDeviceModel(DeviceTableModel* model) {
    m_model = model;
    setModel(model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onCurrentChanged(current); });
    connect(model, &DeviceTableModel::columnWidthsChanged, this, &DevListView::applyColumnWidths);
    applyColumnWidths();
}

void DevListView::applyColumnWidths() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QVariant hint = m_model->headerData(c, Qt::Horizontal, Qt::SizeHintRole);
        horizontalHeader()->resizeSection(c, hint.toSize().width());
    }
}

void DevListView::onRowCountChanged(int oldCount, int newCount) {
    // Every row is kRowHeight high and none is hidden, so the place of the
    // first new row is worked out here, and so is the scroll range: a view
    // scrolled by whole rows can be scrolled one step further per new row
    // once its scroll bar is shown. Asking the header instead would make it
    // recount the places of all rows after every append.
    QScrollBar* bar = verticalScrollBar();
    if (newCount > oldCount && oldCount > 0 && bar->maximum() > 0 &&
        verticalScrollMode() == ScrollPerItem &&
        oldCount * kRowHeight - verticalOffset() >= viewport()->height()) {
        bar->setMaximum(bar->maximum() + (newCount - oldCount));
        return;
    }
    rowCountChanged(oldCount, newCount);
}

void DevListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QList<int>& roles) {
    // Each append also fills the former trailing row, nearly always off
    // screen: then there is nothing to repaint, and Qt's own handling would
    // make the header recount the places of all rows. An open editor or an
    // accessibility client still hears of every change.
    if (topLeft.isValid() && bottomRight.isValid() && state() != EditingState &&
        !QAccessible::isActive()) {
        const int top = topLeft.row() * kRowHeight - verticalOffset();
        const int bottom = (bottomRight.row() + 1) * kRowHeight - verticalOffset();
        if (top >= viewport()->height() || bottom <= 0)
            return;
    }
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void DevListView::setCurrentCellQuietly(int col, int gridRow) {
    if (!m_model)
        return;
    m_quiet = true;
    selectionModel()->setCurrentIndex(m_model->indexOf(col, gridRow),
                                      QItemSelectionModel::ClearAndSelect);
    m_quiet = false;
}

void DevListView::onCurrentChanged(const QModelIndex& current) {
    if (m_quiet || !current.isValid() || current.column() < DeviceGrid::kFixedCols)
        return;
    Q_EMIT cellSelected(current.column(), DeviceTableModel::gridRow(current));
}

QModelIndex DevListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex target = QTableView::moveCursor(cursorAction, modifiers);
    // The keyboard never lands on a fixed column: Home goes to the first
    // selectable one, Left from it stays put.
    if (target.isValid() && target.column() < DeviceGrid::kFixedCols) {
        return model()->index(target.row(), DeviceGrid::kFixedCols);
    }
    return target;
}

bool DevListView::isFixedAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    return index.isValid() && index.column() < DeviceGrid::kFixedCols;
}

void DevListView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (isFixedAt(pos))
        return;  // fixed cells are never selected
    const QModelIndex before = currentIndex();
    const QModelIndex clicked = indexAt(pos);
    const bool editable = clicked.isValid() && (clicked.flags() & Qt::ItemIsEditable);
    QTableView::mousePressEvent(event);
    // A click on the current cell is a selection too, unless editing is on:
    // then it only opens the editor.
    if (clicked.isValid() && clicked == before && currentIndex() == before && !editable &&
        event->button() == Qt::LeftButton) {
        Q_EMIT cellSelected(clicked.column(), DeviceTableModel::gridRow(clicked));
    }
}

void DevListView::mouseMoveEvent(QMouseEvent* event) {
    if (isFixedAt(event->position().toPoint()))
        return;
    QTableView::mouseMoveEvent(event);
}

void DevListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (isFixedAt(event->position().toPoint()))
        return;
    QTableView::mouseDoubleClickEvent(event);
}

}  // namespace kavren::app
