// SPDX-License-Identifier: GPL-3.0-or-later
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <QFileInfo>
#include <QString>
#include <set>
#include <vector>

#include "cli/diagnosis.h"

// The holders of a UDP port from the IP Helper's table of UDP endpoints with
// their owning processes.
namespace kavren::cli {

namespace {

std::string processName(DWORD pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return "?";
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    std::string name = "?";
    if (::QueryFullProcessImageNameW(process, 0, path, &length) != 0) {
        name = QFileInfo(QString::fromWCharArray(path, static_cast<qsizetype>(length)))
                   .fileName()
                   .toStdString();
    }
    ::CloseHandle(process);
    return name;
}

}  // namespace

std::vector<std::string> udpPortHolders(std::uint16_t port) {
    std::vector<std::string> holders;
    ULONG size = 0;
    std::vector<unsigned char> table;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    // The table may grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        table.resize(size);
        result = ::GetExtendedUdpTable(table.empty() ? nullptr : table.data(), &size, FALSE,
                                       AF_INET, UDP_TABLE_OWNER_PID, 0);
    }
    if (result != NO_ERROR)
        return holders;
    const auto* rows = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(table.data());
    std::set<DWORD> pids;
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        if (ntohs(static_cast<u_short>(rows->table[i].dwLocalPort)) == port)
            pids.insert(rows->table[i].dwOwningPid);
    }
    for (const DWORD pid : pids)
        holders.push_back("pid " + std::to_string(pid) + " (" + processName(pid) + ")");
    return holders;
}

}  // namespace kavren::cli
