// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace kavren::app {

// Keeps a form's widgets at their stored places and lets chosen ones follow
// the edges when the form grows: a widget anchored left and right widens, one
// anchored right only moves, and likewise for top and bottom. At the stored
// size every widget is exactly where it was placed. It watches the form for
// resizes; the form's minimum size is its stored size.
class AnchoredPlacement final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AnchoredPlacement)

public:
    enum Anchor : int { Left = 1, Top = 2, Right = 4, Bottom = 8 };

    AnchoredPlacement(QWidget* form, QSize storedSize);
    ~AnchoredPlacement() override;

    // The widget's stored place in the form; it is put there at once.
    void place(QWidget* widget, const QRect& stored, int anchors = Left | Top);
    // While `bar` is visible it takes the bottom of `host`'s place, as high
    // as its size hint, and `host` gives that height up.
    void dockAtBottom(QWidget* bar, QWidget* host);
    // Puts every widget where the form's present size wants it.
    void apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placed {
        QPointer<QWidget> widget;
        QRect stored;
        int anchors;
    };

    QWidget* m_form;
    QSize m_stored;
    std::vector<Placed> m_placed;
    QPointer<QWidget> m_bar;
    QPointer<QWidget> m_barHost;
};

}  // namespace kavren::app
