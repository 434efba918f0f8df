// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/healthcheck.h"

#include <QString>

namespace kavren::cli {

std::string checkTimeoutText(std::chrono::milliseconds timeout) {
    return "timed out after " +
           QString::number(static_cast<double>(timeout.count()) / 1000.0).toStdString() + " s";
}

}  // namespace kavren::cli
