// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace kavren::cli {

// Standard output takes bytes as they are (device texts already encoded);
// standard error takes text, written as UTF-8. Both are flushed at once so
// that output and messages keep their order on a shared terminal.
void writeOut(const QByteArray& bytes);
void writeErr(const QString& text);

// A line of progress on a terminal, rewritten in place; other output first
// clears it so the two never mix.
class ProgressLine final {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const QString& text);
    void clear();

private:
    bool m_enabled;
    bool m_shown = false;
};

}  // namespace kavren::cli
