// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/programicon.h"

#include <QIconEngine>
#include <QPainter>
#include <optional>
#include <utility>
#include <vector>

namespace kavren::app {

namespace {

// Stands for the icon Qt would make of the files, and makes it on first use.
class DeferredIconEngine final : public QIconEngine {
public:
    explicit DeferredIconEngine(std::vector<std::pair<QString, QSize>> files)
        : m_files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
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
    const QIcon& icon() {
        if (!m_icon) {
            m_icon.emplace();
            for (const auto& [file, size] : m_files)
                m_icon->addFile(file, size);
        }
        return *m_icon;
    }

    std::vector<std::pair<QString, QSize>> m_files;
    std::optional<QIcon> m_icon;
};

}  // namespace

QIcon programIcon(std::initializer_list<int> sizes) {
    std::vector<std::pair<QString, QSize>> files;
    for (const int size : sizes)
        files.emplace_back(QStringLiteral(":/kavren/icon%1.png").arg(size), QSize(size, size));
    return QIcon(new DeferredIconEngine(std::move(files)));
}

}  // namespace kavren::app
