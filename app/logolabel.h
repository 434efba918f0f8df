// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace kavren::app {

// The maker's logo: a still GIF stretched to its box, a hand cursor over it,
// and a click that runs About.
class LogoLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogoLabel)

public:
    explicit LogoLabel(QWidget* parent = nullptr);
    ~LogoLabel() override;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The picture for the screen's pixel ratio: the window's GIF as it is at
    // 1, the one drawn at twice its size above.
    void choosePicture();

    qreal m_pictureRatio = 0;
};

}  // namespace kavren::app
