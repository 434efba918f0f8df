// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <QDir>
#include <QFileInfo>

#include "cli/trailfile.h"

namespace kavren::cli {

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

}  // namespace

// The user's profile folders are private to the user by their inherited
// access lists, so the modes of the POSIX version have no counterpart here.
bool appendTrailLine(const QString& path, const QByteArray& line, TrailAppend&, QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create ") + folder;
        return false;
    }
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const Handle file(::CreateFileW(name.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        error = systemError(QStringLiteral("open"), path);
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

}  // namespace kavren::cli
