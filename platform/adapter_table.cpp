#include "platform/adapter_table.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace tarrowind {
namespace {

std::string Dotted(const sockaddr* address)
{
    char text[INET_ADDRSTRLEN] = {};
    if (address != nullptr && address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
        return text;
    }
    return "0.0.0.0";
}

class IfaddrsAdapterTable final : public AdapterTable {
public:
    std::optional<std::vector<SystemAdapter>> Read() override
    {
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) {
            return std::nullopt;
        }
        std::vector<SystemAdapter> adapters;
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) {
                continue;
            }
            // Address labels ("eth0:1") name the same interface; the index belongs to the device.
            std::string device = entry->ifa_name;
            device = device.substr(0, device.find(':'));
            const unsigned index = ::if_nametoindex(device.c_str());
            if (index == 0) {
                continue;
            }
            auto it = std::find_if(adapters.begin(), adapters.end(),
                                   [&](const SystemAdapter& a) { return a.index == index; });
            if (it == adapters.end()) {
                adapters.push_back(SystemAdapter{index, device, {}});
                it = std::prev(adapters.end());
            }
            it->addresses.push_back(AdapterAddress{Dotted(entry->ifa_addr), Dotted(entry->ifa_netmask)});
        }
        ::freeifaddrs(list);
        return adapters;
    }
};

}  // namespace

AdapterTable& AdapterTable::System()
{
    static IfaddrsAdapterTable table;
    return table;
}

}  // namespace tarrowind
