// SPDX-License-Identifier: GPL-3.0-or-later
#include "wording/wording.h"

#include "devices/devicerecord.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"

namespace kavren::wording {

namespace {

// "ip is A instead of B, mask is ...": the settings a device reports that
// are not the ones it was sent.
std::string differences(const devices::DeviceRecord& found, const devices::DeviceSettings& target) {
    std::string text;
    auto compare = [&text](const char* what, const std::string& now, const std::string& wanted) {
        if (now == wanted)
            return;
        if (!text.empty())
            text += ", ";
        text += std::string(what) + " is " + now + " instead of " + wanted;
    };
    // A target the run sent has every address; "0.0.0.0" stands for one
    // that is not known.
    auto dotted = [](const std::optional<protocol::Ipv4Address>& address) {
        return address.value_or(protocol::Ipv4Address()).text();
    };
    compare("ip", devices::addressText(found.deviceIp), dotted(target.ip));
    compare("mask", devices::addressText(found.mask), dotted(target.mask));
    compare("gateway", devices::addressText(found.gateway), dotted(target.gateway));
    if (found.description != target.description.substr(0, protocol::kConfigDescriptionWidth))
        compare("description", found.description, target.description);
    return text;
}

constexpr std::string_view kSettingInfo = "Setting info :";
constexpr std::string_view kNoChange = "No Change";
constexpr std::size_t kHeaderPad = 15;

// "%-15s \t: %s", built without a format string: device texts may hold '%'.
std::string settingLine(std::string_view header, std::string_view value) {
    std::string line(header);
    if (line.size() < kHeaderPad)
        line.append(kHeaderPad - line.size(), ' ');
    line += " \t: ";
    line += value;
    return line;
}

}  // namespace

std::string confirmationCaption(const devices::DeviceList& list, int row) {
    std::string caption = list.field(devices::DeviceField::Name, row);
    caption += " (";
    caption += list.field(devices::DeviceField::Mac, row);
    caption += ')';
    return caption;
}

std::vector<std::string> confirmationLines(const devices::DeviceList& list, int row) {
    std::vector<std::string> lines;
    lines.reserve(1 + devices::kDeviceFieldCount);
    lines.emplace_back(kSettingInfo);
    for (int f = 0; f < devices::kDeviceFieldCount; ++f) {
        const auto field = static_cast<devices::DeviceField>(f);
        const std::string text = list.field(field, row);
        const std::string_view value =
            field == devices::DeviceField::NewPassword && text.empty() ? kNoChange : text;
        lines.push_back(settingLine(devices::DeviceList::fieldName(field), value));
    }
    return lines;
}

std::string selectionItem(const devices::DeviceList& list, int row) {
    std::string item = protocol::formatRowNumber(row);
    item += " - ";
    item += list.field(devices::DeviceField::Name, row);
    item += " (";
    item += list.field(devices::DeviceField::Mac, row);
    item += ") ";
    return item;
}

std::string claimantsText(const usecases::FoundDevice& device) {
    std::string text = device.sender.text();
    for (std::size_t i = 0; i < device.rivals.size(); ++i) {
        text += i + 1 == device.rivals.size() ? " and " : ", ";
        text += device.rivals[i].sender.text();
    }
    return text;
}

std::string newPasswordText(usecases::NewPasswordProblem problem) {
    switch (problem) {
        case usecases::NewPasswordProblem::None:
            return {};
        case usecases::NewPasswordProblem::TooLong:
            return "new password longer than " + std::to_string(protocol::kPasswordWidth) +
                   " bytes; the device would keep only part of it";
        case usecases::NewPasswordProblem::ControlCharacter:
            return "new password holds a control character";
    }
    return {};
}

std::string csvErrorText(const usecases::CsvError& error) {
    std::string text = "line " + std::to_string(error.line) + ": ";
    switch (error.kind) {
        case usecases::CsvError::Kind::TextAfterClosingQuote:
            return text + "text after a closing quote";
        case usecases::CsvError::Kind::QuoteInUnquotedField:
            return text + "a quote inside a field that is not quoted";
        case usecases::CsvError::Kind::QuoteNeverClosed:
            return text + "the quote opened here is never closed";
    }
    return text;
}

std::string reasonText(const usecases::FoundDevice& device, const devices::DeviceSettings& target,
                       const usecases::JobResult& result) {
    using usecases::JobWhy;
    if (!result.reason.empty())
        return result.reason;
    switch (result.why) {
        case JobWhy::None:
            return {};
        case JobWhy::OutsideSubnet:
            return "its address " + devices::addressText(device->deviceIp) +
                   " lies outside the subnet of adapter " + device.foundVia.text() +
                   ", so only a broadcast reaches it, and a broadcast hands the request and its "
                   "password to every host on the segment; add --broadcast to send it so";
        case JobWhy::AddressError:
            return std::string(kAddressError);
        case JobWhy::NoPassword:
            return std::string(kCancelled);
        case JobWhy::Withheld:
            return result.detail.empty() ? "not sent" : result.detail;
        case JobWhy::SendFailed:
            return "send failed: " + result.detail;
        case JobWhy::DeviceRefused:
            return "device answered \"" + result.message + "\"";
        case JobWhy::NotFoundAgain:
            return "not found again";
        case JobWhy::Silent:
            return "no result message and not found again";
        case JobWhy::ReportsOtherwise:
            return "found again, but " +
                   differences(result.reported.value_or(devices::DeviceRecord{}), target);
    }
    return {};
}

}  // namespace kavren::wording
