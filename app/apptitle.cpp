// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/apptitle.h"

namespace kavren::app {

std::string applicationTitle(std::string_view executablePath) {
    std::string_view name = executablePath;
    if (const auto slash = name.find_last_of("/\\"); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (const auto dot = name.find('.'); dot != std::string_view::npos) {
        name = name.substr(0, dot);
    }
    std::string title(name);
    // Byte-wise ASCII lower-casing: a file name's other bytes stay as they are,
    // whatever the locale says.
    for (std::size_t i = 1; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z')
            title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    return title;
}

}  // namespace kavren::app
