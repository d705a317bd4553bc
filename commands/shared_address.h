#pragma once

#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// Whether this process can reach `record` alone among the modules on its address: a reader always (by
// broadcast with its MAC), another module only through a static neighbour entry on a local adapter.
bool ReachableAlone(const DeviceRecord& record, bool neighbourEntries);

// The listed modules on `record`'s address, `record` included, when nothing tells it apart from the
// others there (another MAC on the address and `record` not ReachableAlone); 0 when it can be reached
// alone. A request to such an address reaches whichever module answers the address resolution first.
int ModulesNotToldApart(const DeviceRecord& record, const std::vector<const DeviceRecord*>& listed,
                        bool neighbourEntries);

}  // namespace tarrowind
