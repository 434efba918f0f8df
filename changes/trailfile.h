// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace kavren::changes {

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
// private to the user when missing (a symbolic link or another user's file
// is refused, see trailFileUsable); the line goes out in one write under
// an exclusive lock, after a '\n' of its own when a torn line ends the
// file; then the file is synced, and its folder too when the file is new.
bool appendTrailLine(const QString& path, const QByteArray& line, TrailAppend& found,
                     QString& error);

// Whether the trail at `path` may be used: missing, or a file of this user
// that is not a symbolic link. Another user's file or a link could make the
// trail's lines land where the link points, or feed `restore` settings that
// someone else wrote. False with the reason in `error`. The append checks
// the same again on the descriptor it opens.
bool trailFileUsable(const QString& path, QString& error);

// Ends the process at once, as a crash or a kill would: no clean-up, no
// buffers flushed.
[[noreturn]] void endProcessAbruptly();

}  // namespace kavren::changes
