// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <algorithm>
#include <string>

#include "cli/passwordsource.h"

namespace kavren::cli {

// Access to a file on Windows is its access list, which has no mode bits to
// name; the files under the user's profile are private by inheritance.
std::optional<unsigned> modeReadableByOthers(const std::string&) {
    return std::nullopt;
}

// A console line comes in the console's code page, and so does a file saved
// by a console tool; text that already is valid UTF-8 (a file saved by a
// current editor) is kept as it is.
std::string systemTextAsUtf8(const std::string& bytes) {
    if (bytes.empty())
        return bytes;
    const int size = static_cast<int>(bytes.size());
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0) > 0)
        return bytes;
    UINT codePage = ::GetConsoleCP();
    if (codePage == 0)
        codePage = CP_ACP;
    const int wide = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), wide);
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), length, nullptr, nullptr);
    std::fill(text.begin(), text.end(), L'\0');
    return utf8;
}

}  // namespace kavren::cli
