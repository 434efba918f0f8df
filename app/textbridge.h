// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace kavren {

// Device texts are 8-bit byte strings. Latin-1 maps every byte to exactly one
// character and back, so a text crosses the widget boundary unchanged; a
// character a user types beyond Latin-1 becomes '?' on its way in.
inline QString toQt(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string fromQt(const QString& text) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
}

}  // namespace kavren
