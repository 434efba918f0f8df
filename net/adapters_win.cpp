// SPDX-License-Identifier: GPL-3.0-or-later
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <vector>

#include "net/adapters.h"

namespace kavren::net {

namespace {

// The adapter records from the IP Helper, in the order the system gives
// them. The first call uses a buffer of 4096 bytes; when it reports the
// buffer too small it also reports the size it needs, and a second call
// with that size gets the whole list (a host with many adapters would
// otherwise list none). A list that grew between the two calls gets one
// more try with the new size.
std::optional<std::vector<unsigned char>> adapterRecords() {
    ULONG size = 4096;
    std::vector<unsigned char> buffer;
    for (int attempt = 0; attempt < 3; ++attempt) {
        buffer.assign(size, 0);
        const DWORD result =
            ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS)
            return buffer;
        if (result != ERROR_BUFFER_OVERFLOW)
            return std::nullopt;
    }
    return std::nullopt;
}

// The text of an address record, zero-terminated within its 16 bytes.
std::string recordText(const IP_ADDRESS_STRING& text) {
    const char* begin = text.String;
    return std::string(begin, strnlen(begin, sizeof text.String));
}

class WindowsAdapterQuery final : public AdapterQuery {
public:
    std::optional<std::vector<AdapterInfo>> query() override {
        const auto records = adapterRecords();
        if (!records)
            return std::nullopt;
        std::vector<AdapterInfo> adapters;
        for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(records->data());
             adapter != nullptr; adapter = adapter->Next) {
            AdapterInfo info;
            // The first six bytes, whatever AddressLength says.
            std::copy_n(adapter->Address, info.mac.size(), info.mac.begin());
            // The first address record lives inside the adapter record and
            // is always listed, "0.0.0.0" for an adapter without IPv4.
            for (const IP_ADDR_STRING* address = &adapter->IpAddressList; address != nullptr;
                 address = address->Next) {
                info.addresses.push_back(recordText(address->IpAddress));
                info.netmasks.push_back(recordText(address->IpMask));
            }
            adapters.push_back(std::move(info));
        }
        return adapters;
    }
};

}  // namespace

int interfaceIndexOf(const std::string& address) {
    const auto records = adapterRecords();
    if (!records)
        return 0;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(records->data());
         adapter != nullptr; adapter = adapter->Next) {
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry != nullptr;
             entry = entry->Next) {
            if (recordText(entry->IpAddress) == address)
                return static_cast<int>(adapter->Index);
        }
    }
    return 0;
}

std::unique_ptr<AdapterQuery> makePlatformAdapterQuery() {
    return std::make_unique<WindowsAdapterQuery>();
}

}  // namespace kavren::net
