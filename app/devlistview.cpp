// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devlistview.h"

#include <QAccessible>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <array>

#include "app/devicegrid.h"
#include "app/devicetablemodel.h"

namespace kavren::app {

DevListView::DevListView(QWidget* parent) : QTableView(parent) {
    // Fixed heights and widths: the view never measures its contents, so it
    // stays quick however many devices answer.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    // Columns keep their widths when the window grows, but the user may drag
    // a divider, or double-click it to fit the column to its texts. Nothing
    // of it is kept: the next start has the grid's own widths again.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultSectionSize(DeviceGrid::kDefaultColWidth);
    horizontalHeader()->setFixedHeight(kRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // Ranges as in a spreadsheet (Shift+click, Shift+arrows, Ctrl+click) for
    // the commands that fill many cells; the current cell alone stays what
    // editing, the buttons and Update Device go by.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
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
    // Qt's own fit measures only the rows on screen and never goes below the
    // header's size hint, which is the grid's width.
    disconnect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this, nullptr);
    connect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this,
            &DevListView::fitColumnToTexts);
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

namespace {

// The text measured once per candidate: a comparison that measured both
// sides would shape every octet hundreds of times, and shaping is most of what
// the window costs before it first paints.
QString widestOf(const QStringList& candidates, const QFontMetrics& metrics) {
    QString widest;
    int widestAdvance = -1;
    for (const QString& candidate : candidates) {
        if (const int advance = metrics.horizontalAdvance(candidate); advance > widestAdvance) {
            widestAdvance = advance;
            widest = candidate;
        }
    }
    return widest;
}

int digitCount(int value) {
    int digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

}  // namespace

const QString& DevListView::widestDeviceText(int col) const {
    // The widest text a device can put in a column: a MAC text of the face's
    // widest hex digit, a dotted address of its widest octets. Other columns
    // hold free text, for which no width is enough. Worked out again only
    // when the face changes.
    if (const QString key = font().key(); key != m_widest.fontKey) {
        const QFontMetrics metrics = fontMetrics();
        const QString digit =
            widestOf(QString::fromLatin1("0123456789ABCDEF").split(QString()), metrics);
        m_widest.mac = QStringList(6, digit + digit).join(QLatin1Char('-'));
        // Each digit is measured once; only the octets whose digits add up to
        // within two pixels of the widest (rounding, kerning) are measured whole.
        std::array<int, 10> digitAdvance{};
        for (int d = 0; d < 10; ++d)
            digitAdvance[static_cast<std::size_t>(d)] = metrics.horizontalAdvance(QChar(u'0' + d));
        const auto digitSum = [&digitAdvance](int value) {
            int sum = 0;
            for (const QChar c : QString::number(value))
                sum += digitAdvance[static_cast<std::size_t>(c.digitValue())];
            return sum;
        };
        int widestSum = 0;
        for (int value = 0; value <= 255; ++value)
            widestSum = std::max(widestSum, digitSum(value));
        QStringList octets;
        for (int value = 0; value <= 255; ++value) {
            if (digitSum(value) >= widestSum - 2)
                octets << QString::number(value);
        }
        m_widest.address = QStringList(4, widestOf(octets, metrics)).join(QLatin1Char('.'));
        m_widest.fontKey = key;
    }
    static const QString kNone;
    switch (col) {
        case DeviceGrid::ColMac:
            return m_widest.mac;
        case DeviceGrid::ColDeviceIp:
        case DeviceGrid::ColIp:
        case DeviceGrid::ColMask:
        case DeviceGrid::ColGateway:
            return m_widest.address;
        default:
            return kNone;
    }
}

int DevListView::widthFor(const QString& text) const {
    // A cell draws its text inside a margin on either side, and the grid line
    // takes a pixel of the column.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return fontMetrics().horizontalAdvance(text) + 2 * margin + (showGrid() ? 1 : 0);
}

int DevListView::headerWidthFor(const QString& title) const {
    const QHeaderView* header = horizontalHeader();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return header->fontMetrics().horizontalAdvance(title) + 2 * margin;
}

void DevListView::applyColumnWidths() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QVariant hint = m_model->headerData(c, Qt::Horizontal, Qt::SizeHintRole);
        const QString title = m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        int width = hint.toSize().width();
        if (!title.isEmpty())
            width = std::max(width, headerWidthFor(title));
        const QString widest = widestDeviceText(c);
        if (!widest.isEmpty())
            width = std::max(width, widthFor(widest));
        horizontalHeader()->resizeSection(c, width);
    }
    m_rowNumberDigits = 0;
    m_rowNumberWidth = 0;
    fitRowNumbers(m_model->rowCount());
}

void DevListView::fitColumnToTexts(int col) {
    if (!m_model || col < 0 || col >= m_model->columnCount())
        return;
    int width =
        headerWidthFor(m_model->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString());
    // Every row, not just those on screen: the longest text may be far down.
    const QFontMetrics cells = fontMetrics();
    int widest = 0;
    for (int r = 0; r < m_model->rowCount(); ++r)
        widest =
            std::max(widest, cells.horizontalAdvance(m_model->index(r, col).data().toString()));
    width = std::max(width, widthFor(QString()) + widest);
    horizontalHeader()->resizeSection(col, width);
}

void DevListView::fitRowNumbers(int modelRows) {
    // The largest number is that of the last device row, one above the
    // trailing row. The column keeps its width while that fits, and grows
    // (or, after a clear, shrinks back) when the count gains or loses a
    // digit, unless the user has set the width by hand meanwhile.
    const int digits = digitCount(std::max(1, modelRows - 1));
    if (!m_model || digits == m_rowNumberDigits)
        return;
    const QFontMetrics metrics = fontMetrics();
    QChar widestDigit = u'0';
    for (const QChar digit : QStringLiteral("123456789")) {
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widestDigit))
            widestDigit = digit;
    }
    const QString widestNumber(digits, widestDigit);
    const int current = horizontalHeader()->sectionSize(DeviceGrid::ColRow);
    const int gridWidth =
        m_model->headerData(DeviceGrid::ColRow, Qt::Horizontal, Qt::SizeHintRole).toSize().width();
    const int wanted = std::max(gridWidth, widthFor(widestNumber));
    m_rowNumberDigits = digits;
    if (m_rowNumberWidth != 0 && current != m_rowNumberWidth && current >= wanted)
        return;  // widened by hand, and wide enough
    m_rowNumberWidth = wanted;
    horizontalHeader()->resizeSection(DeviceGrid::ColRow, wanted);
}

void DevListView::onRowCountChanged(int oldCount, int newCount) {
    fitRowNumbers(newCount);
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
