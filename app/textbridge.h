// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/textcodecs.h"

namespace kavren::app {

// Device texts are 8-bit byte strings. Latin-1 maps every byte to exactly one
// character and back, so a text crosses the widget boundary unchanged; a
// character a user types beyond Latin-1 becomes '?' on its way in, except in
// a password (passwordFromQt), where it is refused.
inline QString toQt(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string fromQt(const QString& text) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
}

// A password typed into a widget as the device's bytes, by the rule every
// password source shares; nothing when a character does not fit, which the
// window refuses instead of sending a '?' nobody typed.
inline std::optional<std::string> passwordFromQt(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    auto bytes = protocol::latin1FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    utf8.fill('\0');
    return bytes;
}

}  // namespace kavren::app
