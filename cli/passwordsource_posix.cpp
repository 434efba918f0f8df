// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include "cli/passwordsource.h"

namespace kavren::cli {

std::optional<unsigned> modeReadableByOthers(const std::string& path) {
    // The file's own mode, not a link's: that is what decides who reads it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || (info.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return std::nullopt;
    return static_cast<unsigned>(info.st_mode & 07777);
}

// Terminals, files and the environment hold UTF-8 on the systems this runs
// on; what is not valid UTF-8 is refused by the conversion after this.
std::string systemTextAsUtf8(const std::string& bytes) {
    return bytes;
}

}  // namespace kavren::cli
