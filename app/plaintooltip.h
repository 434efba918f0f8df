// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTextDocument>

namespace kavren::app {

// QToolTip shows a text as rich text when Qt::mightBeRichText says it looks
// like markup: a tag or "&lt;" anywhere in its first line is enough. A
// tooltip that names device texts must show them literally, so such a text
// is handed over already escaped (its line breaks kept); any other text goes
// as it is and keeps the plain tooltip's look.
inline QString plainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

}  // namespace kavren::app
