// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>
#include <initializer_list>

namespace kavren::app {

// The program's icon in the given square sizes, from ":/kavren/icon<size>.png".
// Qt decodes every file added to an icon at once; this one reads a file only
// when its size is first drawn or asked for, so start-up decodes none of the
// sizes a platform never shows (the offscreen and minimal ones none).
QIcon programIcon(std::initializer_list<int> sizes);

// A button's icon of the given square size, from ":/kavren/<name>.png" and
// its double-size "<name>@2x.png", read as lazily.
QIcon buttonIcon(const QString& name, int size);

}  // namespace kavren::app
