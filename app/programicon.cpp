// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/programicon.h"

#include <QIconEngine>
#include <QPainter>
#include <optional>
#include <utility>
#include <vector>

namespace kavren::app {

namespace {

// Stands for the icon Qt would make of the files, and reads a file only
// when its size is first drawn: Qt's own icon decodes every file it is given
// at once, where a window draws one size of each icon.
class DeferredIconEngine final : public QIconEngine {
public:
    explicit DeferredIconEngine(std::vector<std::pair<QString, QSize>> files)
        : m_files(std::move(files)), m_icons(m_files.size()) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        iconFor(rect.size(), scale).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size, 1.0).pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return iconFor(size, scale).pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size, 1.0).actualSize(size, mode, state);
    }
    // The sizes are known without reading a file: the files are drawn for
    // the normal mode and the off state, as QIcon::addFile adds them.
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        QList<QSize> sizes;
        if (mode == QIcon::Normal && state == QIcon::Off) {
            for (const auto& file : m_files)
                sizes << file.second;
        }
        return sizes;
    }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    // The file Qt would pick among them all: the smallest that covers the
    // size in device pixels, else the largest.
    const QIcon& iconFor(const QSize& size, qreal scale) {
        const QSize wanted = size * scale;
        const auto covers = [&](std::size_t i) {
            return m_files[i].second.width() >= wanted.width() &&
                   m_files[i].second.height() >= wanted.height();
        };
        const auto area = [&](std::size_t i) {
            return m_files[i].second.width() * m_files[i].second.height();
        };
        std::size_t best = 0;
        for (std::size_t i = 1; i < m_files.size(); ++i) {
            if (covers(i) != covers(best)
                    ? covers(i)
                    : (covers(i) ? area(i) < area(best) : area(i) > area(best)))
                best = i;
        }
        std::optional<QIcon>& icon = m_icons.at(best);
        if (!icon) {
            icon.emplace();
            icon->addFile(m_files[best].first, m_files[best].second);
        }
        return *icon;
    }

    std::vector<std::pair<QString, QSize>> m_files;
    std::vector<std::optional<QIcon>> m_icons;
};

}  // namespace

QIcon buttonIcon(const QString& name, int size) {
    return QIcon(new DeferredIconEngine(
        {{QStringLiteral(":/kavren/%1.png").arg(name), QSize(size, size)},
         {QStringLiteral(":/kavren/%1@2x.png").arg(name), QSize(2 * size, 2 * size)}}));
}

QIcon programIcon(std::initializer_list<int> sizes) {
    std::vector<std::pair<QString, QSize>> files;
    for (const int size : sizes)
        files.emplace_back(QStringLiteral(":/kavren/icon%1.png").arg(size), QSize(size, size));
    return QIcon(new DeferredIconEngine(std::move(files)));
}

}  // namespace kavren::app
