// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console.h"

#include <cstdio>

#include "cli/terminal.h"

namespace kavren::cli {

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeErr(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

ProgressLine::ProgressLine() : m_enabled(standardErrorIsTerminal()) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::show(const QString& text) {
    if (!m_enabled)
        return;
    writeErr(QStringLiteral("\r\033[K") + text);
    m_shown = true;
}

void ProgressLine::clear() {
    if (m_shown)
        writeErr(QStringLiteral("\r\033[K"));
    m_shown = false;
}

}  // namespace kavren::cli
