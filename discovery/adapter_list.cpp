#include "discovery/adapter_list.h"

#include "discovery/address_text.h"
#include "discovery/device_record.h"
#include "platform/code_page.h"

namespace tarrowind {

std::vector<AdapterRecord> BuildAdapterList(const std::vector<SystemAdapter>& table)
{
    static constexpr std::string_view kSchedulerSuffix = " - Packet Scheduler Miniport";
    std::vector<AdapterRecord> list;
    for (const SystemAdapter& adapter : table) {
        if (adapter.addresses.empty() || adapter.addresses.front().ipText == "0.0.0.0") {
            continue;
        }
        AdapterRecord record;
        record.adapterIndex = adapter.index;
        record.description = AnsiToUtf8(adapter.description);
        if (const auto cut = record.description.find(kSchedulerSuffix); cut != std::string::npos) {
            record.description.resize(cut);
        }
        record.ipText = adapter.addresses.front().ipText;
        record.maskText = adapter.addresses.front().maskText;
        list.push_back(std::move(record));
    }
    list.push_back(AdapterRecord{kBroadcastAdapterIndex, "Broadcast", "255.255.255.255", "255.255.255.255"});
    return list;
}

std::uint32_t DirectedBroadcast(const AdapterRecord& adapter)
{
    return InetAddr(adapter.ipText) | ~InetAddr(adapter.maskText);
}

}  // namespace tarrowind
