#include "platform/neighbour_table.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

namespace tarrowind {
namespace {

MIB_IPNETROW Row(std::uint32_t interfaceIndex, std::uint32_t address)
{
    MIB_IPNETROW row{};
    row.dwIndex = interfaceIndex;
    row.dwAddr = address;
    return row;
}

// The IP Helper ARP table. Static entries (type 4) are the configured ones a user may have made.
class IpHelperNeighbourTable final : public NeighbourTable {
public:
    NeighbourKind Lookup(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        return Find(interfaceIndex, address).kind;
    }

    NeighbourEntry Find(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        ULONG size = 0;
        std::vector<unsigned char> buffer;
        DWORD error = ERROR_INSUFFICIENT_BUFFER;
        // The table may grow between the two calls; ask again a few times.
        for (int attempt = 0; attempt < 4 && error == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
            buffer.assign(size + sizeof(MIB_IPNETTABLE), 0);
            size = static_cast<ULONG>(buffer.size());
            error = ::GetIpNetTable(reinterpret_cast<MIB_IPNETTABLE*>(buffer.data()), &size, FALSE);
        }
        if (error != NO_ERROR) {
            return {};
        }
        const auto* table = reinterpret_cast<const MIB_IPNETTABLE*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_IPNETROW& row = table->table[i];
            if (row.dwIndex != interfaceIndex || row.dwAddr != address) {
                continue;
            }
            NeighbourEntry found;
            if (row.dwPhysAddrLen == 6) {
                found.hardwareAddress.emplace();
                std::memcpy(found.hardwareAddress->data(), row.bPhysAddr, 6);
            }
            switch (row.dwType) {
            case MIB_IPNET_TYPE_STATIC:
                found.kind = NeighbourKind::Permanent;
                return found;
            case MIB_IPNET_TYPE_DYNAMIC:
            case MIB_IPNET_TYPE_OTHER:
                found.kind = NeighbourKind::Dynamic;
                return found;
            default:
                return {};  // an invalid row holds nothing
            }
        }
        return {};
    }

    bool AddPermanent(std::uint32_t interfaceIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 6>& hardwareAddress) override
    {
        MIB_IPNETROW row = Row(interfaceIndex, address);
        row.dwPhysAddrLen = static_cast<DWORD>(hardwareAddress.size());
        std::memcpy(row.bPhysAddr, hardwareAddress.data(), hardwareAddress.size());
        row.dwType = MIB_IPNET_TYPE_STATIC;
        const DWORD error = ::CreateIpNetEntry(&row);
        if (error == ERROR_OBJECT_ALREADY_EXISTS) {
            // A learnt entry is in the way: it is turned into the static one, as the Linux table replaces it.
            return ::SetIpNetEntry(&row) == NO_ERROR;
        }
        return error == NO_ERROR;
    }

    bool Remove(std::uint32_t interfaceIndex, std::uint32_t address) override
    {
        MIB_IPNETROW row = Row(interfaceIndex, address);
        return ::DeleteIpNetEntry(&row) == NO_ERROR;
    }
};

}  // namespace

NeighbourTable& NeighbourTable::System()
{
    static IpHelperNeighbourTable table;
    return table;
}

}  // namespace tarrowind
