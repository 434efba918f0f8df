// SPDX-License-Identifier: GPL-3.0-or-later
#include "changes/plan.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "devices/addressindex.h"
#include "devices/devicelist.h"
#include "protocol/ipv4.h"
#include "protocol/textcodecs.h"
#include "usecases/configuration.h"
#include "usecases/devicecsv.h"
#include "wording/wording.h"

namespace kavren::changes {

namespace {

constexpr std::array<const char*, 6> kColumns{"mac",     "ip",          "mask",
                                              "gateway", "description", "new_password"};

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

devices::DeviceSettings currentSettings(const usecases::FoundDevice& device) {
    return devices::settingsOf(*device.record);
}

PlanFile parsePlan(const QByteArray& content) {
    PlanFile plan;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(content);
    if (utf8.hasError())
        text = QString::fromLatin1(content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    const QByteArray unified = text.toUtf8();
    usecases::CsvRecords read = usecases::readCsvRecords(
        std::string_view(unified.constData(), static_cast<std::size_t>(unified.size())));
    if (!read.errors.empty()) {
        for (const usecases::CsvError& error : read.errors)
            plan.errors.push_back(wording::csvErrorText(error));
        return plan;
    }
    auto& records = read.records;
    auto trimmed = [](const std::string& field) {
        return QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size())).trimmed();
    };
    std::array<qsizetype, kColumns.size()> columnOf{0, 1, 2, 3, 4, 5};
    // A first line that names the mac column is a header, wherever it
    // puts that column.
    const bool hasHeader = !records.empty() &&
                           std::any_of(records.front().fields.begin(), records.front().fields.end(),
                                       [&trimmed](const std::string& field) {
                                           return trimmed(field).compare(QLatin1String("mac"),
                                                                         Qt::CaseInsensitive) == 0;
                                       });
    if (hasHeader) {
        const std::vector<std::string> header = records.front().fields;
        columnOf.fill(-1);
        for (std::size_t i = 0; i < header.size(); ++i) {
            const QString name = trimmed(header[i]).toLower();
            bool known = false;
            for (std::size_t c = 0; c < kColumns.size(); ++c) {
                if (name == QLatin1String(kColumns[c])) {
                    columnOf[c] = static_cast<qsizetype>(i);
                    known = true;
                }
            }
            if (!known)
                plan.errors.push_back("line 1: unknown column " + quoted(header[i]));
        }
        records.erase(records.begin());
    }

    for (const auto& [line, fields] : records) {
        PlanRow row;
        row.line = line;
        std::array<std::string*, kColumns.size()> targets{
            &row.mac, &row.ip, &row.mask, &row.gateway, &row.description, &row.newPassword};
        if (fields.size() > kColumns.size()) {
            plan.errors.push_back("line " + std::to_string(line) + ": more than " +
                                  std::to_string(kColumns.size()) + " columns");
            continue;
        }
        bool readable = true;
        for (std::size_t c = 0; c < kColumns.size(); ++c) {
            const auto at = static_cast<std::size_t>(columnOf[c]);
            if (columnOf[c] < 0 || at >= fields.size())
                continue;
            // Blanks around addresses are typing noise; description and
            // password are taken exactly as written.
            const std::string value = c < 4 ? trimmed(fields[at]).toStdString() : fields[at];
            auto bytes = protocol::latin1FromUtf8(value);
            if (!bytes) {
                plan.errors.push_back("line " + std::to_string(line) + ": column " + kColumns[c] +
                                      " holds a character outside Latin-1");
                readable = false;
                break;
            }
            *targets[c] = std::move(*bytes);
        }
        if (readable)
            plan.rows.push_back(std::move(row));
    }
    return plan;
}

std::optional<std::string> normaliseMac(const std::string& text) {
    if (text.size() != 17)
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (i % 3 == 2) {
            if (ch != '-' && ch != ':')
                return std::nullopt;
        } else if (!std::isxdigit(static_cast<unsigned char>(ch))) {
            return std::nullopt;
        }
    }
    return protocol::formatMac(protocol::parseMac(text));
}

std::vector<PlanEntry> checkPlan(const std::vector<PlanRow>& rows,
                                 const usecases::FoundDevices& found,
                                 const std::vector<protocol::Ipv4Address>& trustedSenders) {
    std::vector<PlanEntry> entries;
    std::map<std::string, int> macLines;
    for (const PlanRow& row : rows) {
        PlanEntry entry;
        entry.line = row.line;
        entry.newPassword = row.newPassword;
        const auto mac = normaliseMac(row.mac);
        entry.mac = mac ? *mac : row.mac;
        if (!mac) {
            entry.errors.push_back("MAC address " + quoted(row.mac) + " not readable");
        } else if (const auto [it, fresh] = macLines.emplace(*mac, row.line); !fresh) {
            entry.errors.push_back("MAC address also listed on line " + std::to_string(it->second));
        } else if (const auto device = found.byMac(*mac); !device) {
            entry.errors.push_back("MAC address not found");
        } else if (device->rivals.empty()) {
            entry.device = device;
        } else {
            // Whoever gets the request also gets the device's password, so a
            // MAC that two hosts answer for waits for the user to pick one.
            for (const protocol::Ipv4Address sender : trustedSenders) {
                if (!entry.device)
                    entry.device = usecases::trustedClaim(*device, sender);
            }
            if (!entry.device) {
                entry.errors.push_back("MAC address claimed by " + wording::claimantsText(*device) +
                                       ": another host may be answering in its place; add "
                                       "--sender ADDRESS to name the one to trust");
            }
        }

        // Each address is read here, once: a blank keeps what the device
        // reports, a text that names no address is an error.
        const devices::DeviceSettings current =
            entry.device ? currentSettings(*entry.device) : devices::DeviceSettings{};
        auto take = [&entry](const char* what, const std::string& given,
                             const std::optional<protocol::Ipv4Address>& kept) {
            if (given.empty())
                return kept;
            const auto parsed = protocol::Ipv4Address::parse(given);
            if (!parsed)
                entry.errors.push_back(std::string(what) + " " + quoted(given) + " not readable");
            return parsed;
        };
        entry.target.ip = take("IP address", row.ip, current.ip);
        entry.target.mask = take("net mask", row.mask, current.mask);
        entry.target.gateway = take("gateway", row.gateway, current.gateway);
        entry.target.description = row.description.empty() ? current.description : row.description;

        if (const auto warning = devices::DeviceList::lengthWarning(
                devices::DeviceField::Description, row.description)) {
            entry.warnings.emplace_back(*warning);
        }
        // A password the device would cut, or one nobody can type again,
        // would lock the device out: refused, not merely warned about.
        if (const auto problem = usecases::newPasswordProblem(row.newPassword);
            problem != usecases::NewPasswordProblem::None)
            entry.errors.push_back(wording::newPasswordText(problem));
        entries.push_back(std::move(entry));
    }

    // Checks between devices use the settings each will have afterwards.
    std::map<protocol::Ipv4Address, const PlanEntry*> targets;
    std::map<std::string, std::optional<protocol::Ipv4Address>> targetOfMac;
    for (const PlanEntry& entry : entries) {
        if (entry.device)
            targetOfMac[entry.mac] = entry.target.ip;
    }
    for (PlanEntry& entry : entries) {
        const auto& [ip, mask, gateway, description] = entry.target;
        if (!entry.device || !ip || !mask || !gateway)
            continue;
        if (const auto [it, fresh] = targets.emplace(*ip, &entry); !fresh) {
            entry.errors.push_back("address " + ip->text() + " also given to line " +
                                   std::to_string(it->second->line));
        }
        for (const usecases::FoundDevice other : found) {
            if (other->mac == entry.mac || other->deviceIp != ip)
                continue;
            const auto moved = targetOfMac.find(other->mac);
            const bool keepsIt = moved == targetOfMac.end() || moved->second == other->deviceIp;
            if (keepsIt)
                entry.errors.push_back("address " + ip->text() + " is used by " + other->mac);
        }
        if (!gateway->isAny() && !devices::sameSubnet(*gateway, *ip, *mask)) {
            entry.errors.push_back("gateway " + gateway->text() + " outside the subnet of " +
                                   ip->text() + "/" + mask->text());
        }
    }
    return entries;
}

std::optional<std::vector<std::string>> consecutiveAddresses(const std::string& first,
                                                             std::size_t count,
                                                             const std::set<std::uint32_t>& taken) {
    const auto start = protocol::Ipv4Address::parse(first);
    if (!start)
        return std::nullopt;
    std::vector<std::string> addresses;
    std::uint64_t next = start->value();
    while (addresses.size() < count) {
        if (next > 0xFFFFFFFFULL)
            return std::nullopt;
        const auto address = static_cast<std::uint32_t>(next++);
        if (!taken.contains(address))
            addresses.push_back(protocol::Ipv4Address(address).text());
    }
    return addresses;
}

std::optional<std::vector<PlanRow>> sequentialPlan(const usecases::FoundDevices& found,
                                                   const std::string& first) {
    std::vector<usecases::FoundDevice> sorted(found.begin(), found.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const usecases::FoundDevice& a, const usecases::FoundDevice& b) {
                  return a->mac < b->mac;
              });
    const auto addresses = consecutiveAddresses(first, sorted.size(), {});
    if (!addresses)
        return std::nullopt;
    std::vector<PlanRow> rows;
    int line = 0;
    for (const usecases::FoundDevice& device : sorted) {
        PlanRow row;
        row.line = line + 1;
        row.mac = device->mac;
        row.ip = (*addresses)[static_cast<std::size_t>(line++)];
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace kavren::changes
