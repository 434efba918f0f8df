// SPDX-License-Identifier: GPL-3.0-or-later
// The text parsers on arbitrary input: whatever the IPv4 parser accepts must
// print as a dotted text that parses back to the same values, a MAC text
// always round-trips through its bytes, and any device text survives a CSV
// field (quoting and formula rule) and the way back to Latin-1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/ipv4.h"
#include "protocol/textcodecs.h"
#include "usecases/devicecsv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace protocol = kavren::protocol;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto ip = protocol::Ipv4Address::parse(text)) {
        const std::string dotted = ip->text();
        if (dotted.size() < 7 || dotted.size() > 15)
            std::abort();
        const auto again = protocol::Ipv4Address::parse(dotted);
        if (!again || *again != *ip || protocol::Ipv4Address(again->bytes()).text() != dotted)
            std::abort();
    }

    const kavren::protocol::MacBytes mac = protocol::parseMac(text);
    const std::string macText = protocol::formatMac(mac);
    if (macText.size() != 17 || protocol::parseMac(macText) != mac)
        std::abort();

    std::string line;
    kavren::usecases::appendCsvField(line, text);
    line += ",\r\n";
    const kavren::usecases::CsvRecords read = kavren::usecases::readCsvRecords(line);
    if (!read.errors.empty() || read.records.size() != 1 || read.records[0].fields.size() != 2 ||
        protocol::latin1FromUtf8(read.records[0].fields[0]) != std::string(text))
        std::abort();
    return 0;
}
