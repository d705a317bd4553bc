#include "platform/adapter_table.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

namespace tarrowind {
namespace {

// The IP Helper adapter table: every adapter with its IPv4 addresses, descriptions in the ANSI code
// page as the system gives them.
class IpHelperAdapterTable final : public AdapterTable {
public:
    std::optional<std::vector<SystemAdapter>> Read() override
    {
        // Room for one entry first; a larger table says how much it needs, and is asked once more.
        ULONG size = sizeof(IP_ADAPTER_INFO);
        std::vector<unsigned char> buffer(size);
        DWORD error = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
        if (error == ERROR_BUFFER_OVERFLOW) {
            buffer.assign(size, 0);
            error = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
        }
        // No adapter at all (ERROR_NO_DATA) is a failed read too: nothing is probed, not even the limited
        // broadcast.
        if (error != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::vector<SystemAdapter> adapters;
        for (auto* info = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); info != nullptr; info = info->Next) {
            SystemAdapter adapter;
            adapter.index = info->Index;
            adapter.description.assign(info->Description, ::strnlen(info->Description, sizeof info->Description));
            for (const IP_ADDR_STRING* a = &info->IpAddressList; a != nullptr; a = a->Next) {
                adapter.addresses.push_back(AdapterAddress{
                    std::string(a->IpAddress.String, ::strnlen(a->IpAddress.String, sizeof a->IpAddress.String)),
                    std::string(a->IpMask.String, ::strnlen(a->IpMask.String, sizeof a->IpMask.String))});
            }
            adapters.push_back(std::move(adapter));
        }
        return adapters;
    }
};

}  // namespace

AdapterTable& AdapterTable::System()
{
    static IpHelperAdapterTable table;
    return table;
}

}  // namespace tarrowind
