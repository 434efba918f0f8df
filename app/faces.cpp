// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/faces.h"

#include <QDir>
#include <QFontDatabase>
#include <QStringList>

namespace kavren::app {

namespace {

// One pixel below the form's 11: the cell margins leave a 72-pixel column 65
// for its text, and a dotted address takes 61 at this size.
constexpr int kGridPixelSize = 10;

// Qt tries a font's families in turn, but each one that is not installed
// costs a search of the system's fallbacks of its own, and a font that names
// more than one family has the system's fallbacks searched once more when
// its face is loaded: milliseconds of the start-up for every face the window
// uses. The font names the first installed family alone, the one Qt would
// have found first; a character that face lacks is still drawn from the
// system's fallbacks, which are then looked up once.
//
// A bitmap face counts as missing: Windows' "MS Sans Serif" is one, drawn
// in a few sizes only and not reliably by Qt, where "Microsoft Sans Serif"
// is the same design in outlines.
QStringList installedFamilies(const QStringList& wanted) {
    // Not QFontDatabase::hasFamily: it asks the system to resolve each name as
    // an alias, which costs more than the search it would save.
    const QStringList families = QFontDatabase::families();
    for (const QString& family : wanted) {
        if (families.contains(family, Qt::CaseInsensitive) &&
            QFontDatabase::isSmoothlyScalable(family))
            return {family};
    }
    return wanted;
}

}  // namespace

void registerEmbeddedFaces() {
    // Qt's resources are global; the list below is empty where the build
    // embeds nothing.
    const QDir faces(QStringLiteral(":/kavren/faces"));
    for (const QString& file : faces.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(faces.filePath(file));
}

QFont formFont(int pixelSize) {
    QFont font;
    // The form's own face on Windows; elsewhere faces of its widths (Arial's
    // metrics, which Liberation Sans shares): the captions were measured for
    // it, and wider faces would cut them. Last a condensed face, which fits
    // too, before the desktop's default.
    font.setFamilies(installedFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
         QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
         QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans Condensed")}));
    font.setPixelSize(pixelSize);
    // Advances as the face designs them, not rounded to whole pixels glyph by
    // glyph: fully hinted, a dotted address in the narrow face outgrows its
    // 72-pixel column. Linux's desktops draw this way already; the Windows
    // build and its offscreen tests would otherwise not.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

// The grid's columns hold a 17-character MAC text in 96 pixels and a full
// dotted address in 72, which only a narrow face draws whole; where none is
// installed the grid widens the columns that need it (DevListView).
QFont gridFont() {
    QFont font = formFont(kGridPixelSize);
    font.setFamilies(installedFamilies(
        {QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
         QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("MS Sans Serif"),
         QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
         QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed")}));
    return font;
}

}  // namespace kavren::app
