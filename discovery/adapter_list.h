#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/adapter_table.h"

namespace tarrowind {

// One local adapter on which probes are sent.
struct AdapterRecord {
    std::uint32_t adapterIndex = 0;
    std::string description;
    std::string ipText;
    std::string maskText;
};

// The adapters of `table` that have an address, each with its first address only, in the table's
// order, then the Broadcast adapter that reaches modules on no adapter's subnet.
std::vector<AdapterRecord> BuildAdapterList(const std::vector<SystemAdapter>& table);

// The adapter's directed broadcast address (address OR NOT mask), network byte order.
std::uint32_t DirectedBroadcast(const AdapterRecord& adapter);

}  // namespace tarrowind
