// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace kavren::cli {

// The file operations the audit trail needs from the platform, one file per
// platform (audittrail_posix.cpp, audittrail_win.cpp).

// What an append found out besides success.
struct TrailAppend {
    // The permission bits of a folder or file that already existed and that
    // group or others may use; 0 when private (or on a platform without them).
    unsigned widerFolderMode = 0;
    unsigned widerFileMode = 0;
};

// Appends `line` (ending in '\n') to `path` so that it survives a crash or
// power loss once this returns true: the folder and the file are created
// private to the user when missing; the line goes out in one write under
// an exclusive lock, after a '\n' of its own when a torn line ends the
// file; then the file is synced, and its folder too when the file is new.
bool appendTrailLine(const QString& path, const QByteArray& line, TrailAppend& found,
                     QString& error);

// Ends the process at once, as a crash or a kill would: no clean-up, no
// buffers flushed.
[[noreturn]] void endProcessAbruptly();

}  // namespace kavren::cli
