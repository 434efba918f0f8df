// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <QDir>
#include <QFileInfo>

#include "changes/trailfile.h"

namespace kavren::changes {

namespace {

QString systemError(const QString& what, const QString& path) {
    return QStringLiteral("cannot %1 %2: Windows error %3")
        .arg(what, path)
        .arg(static_cast<unsigned long>(::GetLastError()));
}

// Closes a handle on every way out.
class Handle final {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// A reparse point (a symbolic link or a junction) would send the trail's
// lines where it points.
bool isReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

QString linkError(const QString& path) {
    return QStringLiteral("audit trail %1 is a symbolic link; it is not followed").arg(path);
}

}  // namespace

// The file's owner is not compared: under the user's profile the inherited
// access list already keeps other users out.
bool trailFileUsable(const QString& path, QString& error) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (isReparsePoint(::GetFileAttributesW(name.c_str()))) {
        error = linkError(path);
        return false;
    }
    return true;
}

// The user's profile folders are private to the user by their inherited
// access lists, so the modes of the POSIX version have no counterpart here.
bool appendTrailLine(const QString& path, const QByteArray& line, TrailAppend&, QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create ") + folder;
        return false;
    }
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its
    // target, the counterpart of O_NOFOLLOW; the handle's attributes then
    // show whether it is one.
    const Handle file(::CreateFileW(name.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        error = systemError(QStringLiteral("open"), path);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION opened{};
    if (!::GetFileInformationByHandle(file.get(), &opened)) {
        error = systemError(QStringLiteral("examine"), path);
        return false;
    }
    if (isReparsePoint(opened.dwFileAttributes)) {
        error = linkError(path);
        return false;
    }
    // One lock over the whole possible range: runs appending at once take
    // turns; released when the handle closes.
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        error = systemError(QStringLiteral("lock"), path);
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        error = systemError(QStringLiteral("examine"), path);
        return false;
    }
    QByteArray bytes = line;
    if (size.QuadPart > 0) {
        OVERLAPPED at{};
        const auto offset = static_cast<unsigned long long>(size.QuadPart - 1);
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFULL);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        char last = '\n';
        DWORD read = 0;
        if (::ReadFile(file.get(), &last, 1, &read, &at) && read == 1 && last != '\n')
            bytes.prepend('\n');
    }
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.constData(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != static_cast<DWORD>(bytes.size()) || !::FlushFileBuffers(file.get())) {
        error = systemError(QStringLiteral("write"), path);
        return false;
    }
    ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    return true;
}

void endProcessAbruptly() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    ::ExitProcess(137);
}

}  // namespace kavren::changes
