// SPDX-License-Identifier: GPL-3.0-or-later
// The text parsers on arbitrary input: whatever the IPv4 parser accepts must
// print as a dotted text that parses back to the same values, and a MAC text
// always round-trips through its bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/textcodecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavren::codec;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const Ipv4Parse ip = parseIpv4(text);
    if (ip.valid) {
        for (const int v : ip.values) {
            if (v < 0 || v > 255)
                std::abort();
        }
        const std::string dotted = formatDotted(ip.values);
        if (dotted.size() < 7 || dotted.size() > 15)
            std::abort();
        const Ipv4Parse again = parseIpv4(dotted);
        if (!again.valid || again.values != ip.values)
            std::abort();
        if (formatDotted(again.bytes()) != dotted)
            std::abort();
    }

    const kavren::MacBytes mac = parseMac(text);
    const std::string macText = formatMac(mac);
    if (macText.size() != 17 || parseMac(macText) != mac)
        std::abort();
    return 0;
}
