// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/passwordsource.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cli/terminal.h"
#include "protocol/textcodecs.h"
#include "usecases/configuration.h"
#include "usecases/secretwipe.h"
#include "wording/wording.h"

namespace kavren::cli {

namespace {

void stripLineEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
}

}  // namespace

namespace {

std::string readableWarning(const char* what, const std::string& path) {
    const auto mode = modeReadableByOthers(path);
    if (!mode)
        return {};
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", *mode);
    return std::string(what) + " '" + path + "' is readable by others (mode " + octal + ")";
}

// The source's text as it came, before it is turned into device bytes.
std::optional<std::string> readRawSecret(const SecretSource& source, const std::string& promptText,
                                         bool confirm, std::string& error) {
    if (!source.file.empty()) {
        std::ifstream in(source.file, std::ios::binary);
        if (!in) {
            error = "cannot read the password file " + source.file;
            return std::nullopt;
        }
        std::string line;
        std::getline(in, line);
        stripLineEnd(line);
        // An empty first line would give no password, which reads as a
        // cancelled prompt far from the cause.
        if (line.empty()) {
            error = "the password file " + source.file + " is empty";
            return std::nullopt;
        }
        return line;
    }
    if (!source.envName.empty()) {
        const char* value = std::getenv(source.envName.c_str());
        if (value == nullptr) {
            error = "the environment variable " + source.envName + " is not set";
            return std::nullopt;
        }
        return std::string(value);
    }
    if (!source.prompt) {
        error = "no password source";
        return std::nullopt;
    }
    auto first = readHiddenLine(promptText, error);
    if (!first || !confirm)
        return first;
    auto second = readHiddenLine("Again: ", error);
    if (!second) {
        usecases::wipeString(*first);
        return std::nullopt;
    }
    const bool same = *first == *second;
    usecases::wipeString(*second);
    if (!same) {
        usecases::wipeString(*first);
        error = "the two entries differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace

std::string passwordFileWarning(const std::string& path) {
    return readableWarning("password file", path);
}

std::string planFileWarning(const std::string& path) {
    return readableWarning("plan file", path);
}

std::optional<std::string> readSecret(const SecretSource& source, const std::string& promptText,
                                      bool confirm, std::string& error) {
    std::optional<std::string> raw = readRawSecret(source, promptText, confirm, error);
    if (!raw)
        return std::nullopt;
    std::string utf8 = systemTextAsUtf8(*raw);
    usecases::wipeString(*raw);
    std::optional<std::string> bytes = protocol::latin1FromUtf8(utf8);
    usecases::wipeString(utf8);
    if (!bytes) {
        const std::string from = !source.file.empty() ? "the password file " + source.file
                                 : !source.envName.empty()
                                     ? "the environment variable " + source.envName
                                     : "the typed password";
        error = from + ": " + std::string(wording::kPasswordCharsetError);
    }
    return bytes;
}

}  // namespace kavren::cli
