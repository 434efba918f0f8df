// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace kavren::cli {

// Where a secret comes from. Never a plain argument: that would show in the
// process list and the shell's history.
struct SecretSource {
    std::string file;     // first line of this file
    std::string envName;  // value of this environment variable
    bool prompt = false;  // ask on the terminal without echo
};

// The permission bits of a file that group or others may read, nullopt when
// private or unknown. One file per platform (passwordsource_posix.cpp,
// passwordsource_win.cpp: Windows has no such bits, so never a mode there).
std::optional<unsigned> modeReadableByOthers(const std::string& path);

// "password file 'F' is readable by others (mode 0644)" for such a file, as
// ssh warns about a key; empty otherwise. A warning only: the file is read.
// A plan may hold new passwords, so its file is warned about alike.
std::string passwordFileWarning(const std::string& path);
std::string planFileWarning(const std::string& path);

// Text the system hands over (a terminal line, a file's bytes, an
// environment variable) as UTF-8: on POSIX it already is; on Windows text
// that is not valid UTF-8 is read in the console's code page.
std::string systemTextAsUtf8(const std::string& bytes);

// Reads the secret as the device's bytes (protocol::latin1FromUtf8 of the
// source's text); on failure returns nothing and says why in `error` (which
// never holds the secret): an empty password file, a character beyond
// Latin-1. A prompt asks twice when `confirm` is set.
std::optional<std::string> readSecret(const SecretSource& source, const std::string& promptText,
                                      bool confirm, std::string& error);

}  // namespace kavren::cli
