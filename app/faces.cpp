// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/faces.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace kavren::app {

namespace {

// One pixel below the form's 11: the cell margins leave a 72-pixel column 65
// for its text, and a dotted address takes 61 at this size.
constexpr int kGridPixelSize = 10;

// Qt tries a font's families in turn, but each one that is not installed
// costs a search of the system's fallbacks of its own, milliseconds of the
// start-up for every face the window uses. The list is cut to the installed
// families, in the same order. It is not cut to the first of them: a family
// the system lists can still fail to load (under Wine, names it lists without
// the face behind them), and then the next one is what draws, not the
// system's fallback, which is a serif there.
//
// A bitmap face counts as missing: Windows' "MS Sans Serif" is one, drawn
// in a few sizes only and not reliably by Qt, where "Microsoft Sans Serif"
// is the same design in outlines.
QStringList installedFamilies(const QStringList& wanted) {
    // Not QFontDatabase::hasFamily: it asks the system to resolve each name as
    // an alias, which costs more than the search it would save.
    const QStringList families = QFontDatabase::families();
    QStringList installed;
    for (const QString& family : wanted) {
        if (families.contains(family, Qt::CaseInsensitive) &&
            QFontDatabase::isSmoothlyScalable(family))
            installed << family;
    }
#ifndef Q_OS_WIN
    // Under fontconfig a family it lists is a face on disk, which loads, so
    // the first installed one is what draws. Every further family would cost
    // a fontconfig fallback search at the face's first use (the list is then
    // given to Qt as the face's fallbacks), a few milliseconds of start-up
    // for each face; a glyph the face lacks is still found through the
    // system's own fallbacks.
    if (installed.size() > 1)
        installed.resize(1);
#endif
    return installed.isEmpty() ? wanted : installed;
}

}  // namespace

void registerEmbeddedFaces() {
    // Qt's resources are global; the list below is empty where the build
    // embeds nothing.
    const QDir faces(QStringLiteral(":/kavren/faces"));
    QStringList files;
    for (const QString& file : faces.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        files << faces.filePath(file);
    if (files.isEmpty())
        return;
    // The narrow face comes under a licence of its own (GPL 2 with a font
    // exception) and so travels as a file beside the executable, not inside
    // it. By its exact name only: a folder the program is run from may hold
    // any fonts at all.
    const QString narrow = QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral("LiberationSansNarrow-Regular.ttf"));
    if (QFileInfo::exists(narrow))
        files << narrow;
    for (const QString& file : files)
        QFontDatabase::addApplicationFont(file);

    // The dialogs draw in the toolkit's own face, the system's message face.
    // A machine without it (Wine without Windows' fonts, which may still list
    // its name) would draw them in whatever its fallback finds, a serif as
    // often as not: the carried face comes next, as for the faces the window
    // names.
    // The system gives menus, message boxes, tooltips and item views faces of
    // their own, each missing in the same way.
    const auto carriedNext = [](QFont font) {
        font.setFamilies({font.family(), QStringLiteral("Liberation Sans")});
        return font;
    };
    QApplication::setFont(carriedNext(QApplication::font()));
    for (const char* widgetClass :
         {"QMenu", "QMenuBar", "QMessageBox", "QTipLabel", "QStatusBar", "QAbstractItemView"})
        QApplication::setFont(carriedNext(QApplication::font(widgetClass)), widgetClass);
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
    // 72-pixel column. On Windows vertical hinting keeps those advances and
    // crisp stems. Under fontconfig that light hinting runs FreeType's
    // autohinter, whose analysis of each face and each glyph was a twentieth
    // of the window's start (4.7 million of 87 million instructions) for a
    // difference a 2x magnification barely shows, so the faces are drawn
    // unhinted there, with the same advances.
#ifdef Q_OS_WIN
    font.setHintingPreference(QFont::PreferVerticalHinting);
#else
    font.setHintingPreference(QFont::PreferNoHinting);
#endif
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
