// SPDX-License-Identifier: GPL-3.0-or-later
// The window read at its default size: every caption and every full-length
// device text whole in its widget or cell (in the dialogs it opens too), row numbers of long lists
// whole, columns the user can widen, and what a screen reader hears. CTest also runs these cases at
// QT_SCALE_FACTOR 1.25, 1.5 and 2.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTextCursor>
#include <cmath>

#include "app/filladdressesdlg.h"
#include "app/findbar.h"
#include "app/logolabel.h"
#include "app/pwddlg.h"
#include "app/updateresultsdlg.h"
#include "tests/support/mainwindowfixture.h"

namespace kavren::app {
namespace {

using app::DevListView;
using testsupport::MainWindowTest;
using testsupport::widget;

class ReadableTest : public MainWindowTest {
protected:
    QHeaderView* header() const {
        return widget<DevListView>(*window, "DevList")->horizontalHeader();
    }

    // The grid keeps its own widths only in a face of Arial Narrow's widths;
    // in any other it widens what would be cut.
    bool narrowFace() const {
        return QFontInfo(widget<DevListView>(*window, "DevList")->font())
            .family()
            .contains(QLatin1String("Narrow"));
    }

    std::vector<int> widths() const {
        std::vector<int> sizes;
        for (int c = 0; c < DeviceGrid::kColCount; ++c)
            sizes.push_back(header()->sectionSize(c));
        return sizes;
    }

    // Room for a cell's text: the cell less the item margins of the style.
    int cellRoom(const QModelIndex& index) const {
        DevListView* view = widget<DevListView>(*window, "DevList");
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
        return view->visualRect(index).width() - 2 * (margin + 1);
    }

    // Appends `count` device rows in one batch; row r shows the number r.
    void appendRows(int count) {
        devices::DeviceList& list = window->deviceList();
        list.beginAppendBatch();
        for (int i = 0; i < count; ++i)
            list.append({"02-00-00-00-00-00",
                         "",
                         "",
                         *protocol::Ipv4Address::parse("10.0.0.1"),
                         {},
                         {},
                         ""});
        list.endAppendBatch();
    }
};

// Room a button or check box leaves its caption, as the style lays it out.
int captionRoom(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    if (qobject_cast<QCheckBox*>(button))
        return button->style()
            ->subElementRect(QStyle::SE_CheckBoxContents, &option, button)
            .width();
    int room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    if (!button->icon().isNull())
        room -= button->iconSize().width() + 4;  // the icon and its gap beside the text
    return room;
}

TEST_F(ReadableTest, EveryTextIsWholeInItsWidgetOrCell) {
    showWindow();
    // The window and the dialogs it opens, each as it shows: the
    // confirmation offering one password for the run, Fill Addresses and
    // Update Results.
    PwdDlg->offerRunPassword(true);
    FillAddressesDlg fill(window.get());
    window->showUpdateResults();
    const QList<QWidget*> roots = {window.get(), PwdDlg, &fill,
                                   widget<UpdateResultsDlg>(*window, "UpdateResultsDlg")};
    for (QWidget* root : roots) {
        root->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(root));
        const std::string where = root->objectName().toStdString() + ": ";
        for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty() || !button->isVisible())
                continue;
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), captionRoom(button))
                << where << button->objectName().toStdString() << " "
                << button->font().family().toStdString();
        }
        for (QLabel* label : root->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisible())
                continue;
            const QRect room = label->contentsRect();
            if (label->wordWrap())
                EXPECT_LE(label->heightForWidth(room.width()), room.height()) << where;
            else
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), room.width())
                    << where << label->text().toStdString();
        }
        // The headers, inside the header's margins.
        for (QHeaderView* header : root->findChildren<QHeaderView*>()) {
            if (header->orientation() != Qt::Horizontal || !header->isVisible())
                continue;
            const int margin =
                header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            for (int c = 0; c < header->count(); ++c) {
                const QString title =
                    header->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
                EXPECT_LE(header->fontMetrics().horizontalAdvance(title),
                          header->sectionSize(c) - 2 * margin)
                    << where << title.toStdString();
            }
        }
    }
    PwdDlg->hide();
    // Where the face fits, the grid keeps its own widths.
    const int seedWidths[] = {16, 96, 80, 80, 80, 72, 72, 72, 72, 116};
    if (narrowFace()) {
        for (int c = 0; c < DeviceGrid::kColCount; ++c)
            EXPECT_EQ(header()->sectionSize(c), seedWidths[c]) << c;
    }
    // Every uniform MAC text (the widest hex digit gives the widest one) and
    // every octet value as a whole address, in every column that shows one.
    devices::DeviceList& list = window->deviceList();
    for (int value = 0; value <= 255; ++value) {
        const QString hex = QStringLiteral("%1").arg(value % 16, 0, 16).toUpper().repeated(2);
        const std::string mac = QStringList(6, hex).join(QLatin1Char('-')).toStdString();
        const std::string address =
            QStringList(4, QString::number(value)).join(QLatin1Char('.')).toStdString();
        const auto dotted = *protocol::Ipv4Address::parse(address);
        list.append({mac, "", "", dotted, dotted, dotted, ""});
    }
    const QFontMetrics cells = widget<DevListView>(*window, "DevList")->fontMetrics();
    QStringList cut;
    for (int row = 1; row <= list.size(); ++row) {
        for (const int col : {DeviceGrid::ColMac, DeviceGrid::ColDeviceIp, DeviceGrid::ColIp,
                              DeviceGrid::ColMask, DeviceGrid::ColGateway}) {
            const QModelIndex index = cellIndex(col, row);
            if (cells.horizontalAdvance(index.data().toString()) > cellRoom(index))
                cut << QStringLiteral("%1 (column %2)").arg(index.data().toString()).arg(col);
        }
    }
    EXPECT_TRUE(cut.isEmpty())
        << cut.size() << " cut in "
        << QFontInfo(widget<DevListView>(*window, "DevList")->font()).family().toStdString()
        << ", first: " << cut.mid(0, 5).join(QStringLiteral(", ")).toStdString();
}

TEST_F(ReadableTest, RowNumbersStayWholeAsTheListGrows) {
    showWindow();
    // Rows appended in steps; after each, every number whole, and the column
    // at its own 16 pixels while two digits fit.
    const struct {
        int rows;
        bool seedWidth;
    } steps[] = {{9, true}, {99, true}, {10000, false}, {50000, false}};
    const std::vector<int> startWidths = widths();
    int appended = 0;
    for (const auto& step : steps) {
        appendRows(step.rows - appended);
        appended = step.rows;
        const QFontMetrics metrics = widget<DevListView>(*window, "DevList")->fontMetrics();
        int widest = 0;
        for (int row = 1; row <= step.rows; ++row)
            widest = std::max(widest, metrics.horizontalAdvance(cellText(0, row)));
        EXPECT_LE(widest, cellRoom(cellIndex(0, step.rows))) << step.rows;
        if (step.seedWidth && narrowFace()) {
            EXPECT_EQ(header()->sectionSize(0), 16) << step.rows;
        }
    }
    window->BtnRefreshClick();
    EXPECT_EQ(header()->sectionSize(0), startWidths.at(0));
}

TEST_F(ReadableTest, DividersDragAndDoubleClickAndNothingIsKept) {
    showWindow();
    window->deviceList().append({"02-C4-7E-0A-1C-0E", "a much longer device name than fits", "1.0",
                                 *protocol::Ipv4Address::parse("192.168.0.101"),
                                 *protocol::Ipv4Address::parse("255.255.255.0"),
                                 *protocol::Ipv4Address::parse("192.168.0.1"), ""});
    const std::vector<int> startWidths = widths();
    QWidget* handleArea = header()->viewport();
    const auto divider = [this](int col) {
        return QPoint(header()->sectionViewportPosition(col) + header()->sectionSize(col) - 1,
                      header()->height() / 2);
    };
    const struct {
        int col;
        int drag;
    } drags[] = {{2, 40}, {9, -30}, {5, 12}};
    for (const auto& d : drags) {
        const int before = header()->sectionSize(d.col);
        const QPoint from = divider(d.col);
        QTest::mousePress(handleArea, Qt::LeftButton, {}, from);
        QTest::mouseMove(handleArea, from + QPoint(d.drag / 2, 0));
        QTest::mouseMove(handleArea, from + QPoint(d.drag, 0));
        QTest::mouseRelease(handleArea, Qt::LeftButton, {}, from + QPoint(d.drag, 0));
        EXPECT_EQ(header()->sectionSize(d.col), before + d.drag) << d.col;
    }
    // A double click fits the column to its longest text, narrower too:
    // every text whole, and two pixels less would cut one of them.
    const int headerMargin =
        header()->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header());
    const auto whole = [&](int col, int less) {
        const QString title =
            window->gridModel()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
        const QString text = cellText(col, 1);
        return header()->fontMetrics().horizontalAdvance(title) <=
                   header()->sectionSize(col) - less - 2 * headerMargin &&
               widget<DevListView>(*window, "DevList")->fontMetrics().horizontalAdvance(text) <=
                   cellRoom(cellIndex(col, 1)) - less;
    };
    for (const int col : {2, 3, 1, 9}) {
        QTest::mouseDClick(handleArea, Qt::LeftButton, {}, divider(col));
        EXPECT_TRUE(whole(col, 0)) << col;
        EXPECT_FALSE(whole(col, 2)) << col;
    }
    // A new start has the grid's own widths again.
    testsupport::closeProgramWindows(window);
    MainWindowTest::SetUp();
    EXPECT_EQ(widths(), startWidths);
}

TEST_F(ReadableTest, NothingOverlapsAndPicturesAreSharpAtThisScale) {
    showWindow();
    const qreal ratio = window->devicePixelRatioF();
    const QList<QWidget*> texts{
        widget<QLabel>(*window, "Label1"),         widget<QPushButton>(*window, "BtnRefresh"),
        widget<QPushButton>(*window, "BtnExit"),   widget<QPushButton>(*window, "BtnUpdSel"),
        widget<QPushButton>(*window, "BtnUpdMul"), widget<QPushButton>(*window, "BtnUpdAll"),
        widget<QPushButton>(*window, "BtnConDev"), widget<QCheckBox>(*window, "ChkBcast"),
        widget<QComboBox>(*window, "EthList"),     widget<DevListView>(*window, "DevList")};
    for (QWidget* a : texts) {
        for (QWidget* b : texts) {
            if (a != b) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " " << b->objectName().toStdString();
            }
        }
    }
    // Each picture has a source of at least its size on screen in device
    // pixels, so nothing is drawn enlarged.
    const int needed = static_cast<int>(std::ceil(16 * ratio));
    for (QPushButton* button :
         {widget<QPushButton>(*window, "BtnRefresh"), widget<QPushButton>(*window, "BtnExit")}) {
        int largest = 0;
        for (const QSize& size : button->icon().availableSizes())
            largest = std::max(largest, size.width());
        EXPECT_GE(largest, needed) << button->objectName().toStdString() << " at " << ratio;
    }
    const QPixmap logo = widget<QLabel>(*window, "Logo")->pixmap();
    EXPECT_GE(logo.width(), std::ceil(118 * ratio)) << ratio;
    EXPECT_GE(logo.height(), std::ceil(82 * ratio)) << ratio;
}

TEST_F(ReadableTest, AScreenReaderHearsEachLabelsTextAndPurpose) {
    showWindow();
    receive(testsupport::infoReply({.mac = {0x02, 0x4B, 0x56, 0, 0, 1},
                                    .name = "Lobby",
                                    .version = "1.0",
                                    .ip = {192, 168, 0, 101},
                                    .mask = {255, 255, 255, 0},
                                    .gateway = {192, 168, 0, 1}}));
    window->findBar()->setResult(QStringLiteral("2 of 5"));
    widget<QStatusBar>(*window, "StatusMsg")->showMessage(QStringLiteral("Setting OK"));
    // Every label with a text is heard by that text.
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), label->text())
            << label->objectName().toStdString();
    }
    const struct {
        QWidget* widget;
        QString name;
        QString description;
    } expected[] = {
        {widget<QLabel>(*window, "StatusPanel0"), widget<QLabel>(*window, "StatusPanel0")->text(),
         QStringLiteral("Device status")},
        {widget<QLabel>(*window, "StatusPanel1"), widget<QLabel>(*window, "StatusPanel1")->text(),
         QStringLiteral("Message status")},
        {widget<QStatusBar>(*window, "StatusMsg"), QStringLiteral("Setting OK"),
         QStringLiteral("Status")},
        {window->findBar()->findChild<QLabel*>(QStringLiteral("FindResult")),
         QStringLiteral("2 of 5"), QStringLiteral("Find result")},
    };
    for (const auto& e : expected) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(e.widget);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), e.name) << e.description.toStdString();
        EXPECT_EQ(face->text(QAccessible::Description), e.description);
    }
    EXPECT_TRUE(widget<QLabel>(*window, "StatusPanel0")
                    ->text()
                    .startsWith(QLatin1String("Device : Lobby")));
    // The row-number header: named for a screen reader, blank on screen.
    QAccessibleInterface* table =
        QAccessible::queryAccessibleInterface(widget<DevListView>(*window, "DevList"));
    ASSERT_NE(table, nullptr);
    QStringList headers;
    for (int i = 0; i < table->childCount(); ++i) {
        QAccessibleInterface* child = table->child(i);
        if (child && child->role() == QAccessible::ColumnHeader)
            headers << child->text(QAccessible::Name);
    }
    ASSERT_EQ(headers.size(), DeviceGrid::kColCount);
    EXPECT_EQ(headers.at(0), QStringLiteral("Row number"));
    EXPECT_EQ(headers.at(1), QStringLiteral("MAC Address"));
    EXPECT_TRUE(
        window->gridModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString().isEmpty());
}

// Whether `box` of `widget`, as drawn, holds ink: a pixel clearly darker
// than the lightest one in the box, which is the paper beside the glyph.
bool leavesInk(QWidget& widget, const QRectF& box) {
    const QImage image = widget.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels =
        QRectF(box.topLeft() * ratio, box.size() * ratio).toAlignedRect() & image.rect();
    int paper = 0;
    int ink = 255;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            paper = std::max(paper, qGray(image.pixel(x, y)));
            ink = std::min(ink, qGray(image.pixel(x, y)));
        }
    }
    return paper - ink > 80;
}

// Under Wine the capital I once drew as blank space, in the status bar and
// the confirmation; each I's own advance must hold ink.
TEST_F(ReadableTest, EveryCapitalILeavesInk) {
    showWindow();
    auto* status = widget<QLabel>(*window, "StatusPanel1");
    status->setText(QStringLiteral("Get Device Information done."));
    auto* memo = widget<QPlainTextEdit>(*PwdDlg, "CfgList");
    memo->setPlainText(QStringLiteral("DeviceIP       : 10.0.0.5\nIP Address     : 10.0.0.5"));
    PwdDlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(PwdDlg));
    QStringList blank;
    // The panel's text starts at its indent, half an "x" beside the frame.
    const QFontMetricsF metrics(status->font());
    const QRect room = status->contentsRect();
    const qreal start = room.left() + metrics.horizontalAdvance(QLatin1Char('x')) / 2;
    for (qsizetype i = status->text().indexOf(QLatin1Char('I')); i >= 0;
         i = status->text().indexOf(QLatin1Char('I'), i + 1)) {
        const qreal left = start + metrics.horizontalAdvance(status->text().left(i));
        if (!leavesInk(*status, {left, qreal(room.top()), metrics.horizontalAdvance(u'I'),
                                 qreal(room.height())}))
            blank << QStringLiteral("status bar, character %1").arg(i);
    }
    // The memo's I between the cursor places before and after it.
    const QString text = memo->toPlainText();
    for (qsizetype i = text.indexOf(QLatin1Char('I')); i >= 0;
         i = text.indexOf(QLatin1Char('I'), i + 1)) {
        QTextCursor cursor(memo->document());
        cursor.setPosition(static_cast<int>(i));
        const QRect before = memo->cursorRect(cursor);
        cursor.setPosition(static_cast<int>(i + 1));
        const QRect after = memo->cursorRect(cursor);
        if (!leavesInk(*memo->viewport(), QRectF(before.left(), before.top(),
                                                 after.left() - before.left(), before.height())))
            blank << QStringLiteral("confirmation, character %1").arg(i);
    }
    PwdDlg->hide();
    EXPECT_TRUE(blank.isEmpty()) << blank.join(QStringLiteral(", ")).toStdString() << " in "
                                 << QFontInfo(status->font()).family().toStdString();
}

}  // namespace
}  // namespace kavren::app
