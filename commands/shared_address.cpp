#include "commands/shared_address.h"

namespace tarrowind {

bool ReachableAlone(const DeviceRecord& r, bool neighbourEntries)
{
    return r.kind == ModuleKind::BinaryDactyl ||
           (neighbourEntries && !r.routed && r.adapterIndex != kBroadcastAdapterIndex);
}

int ModulesNotToldApart(const DeviceRecord& r, const std::vector<const DeviceRecord*>& listed, bool neighbourEntries)
{
    if (ReachableAlone(r, neighbourEntries)) {
        return 0;
    }
    int others = 0;
    for (const DeviceRecord* other : listed) {
        if (other != nullptr && other->ip == r.ip && other->macText != r.macText) {
            ++others;
        }
    }
    return others == 0 ? 0 : others + 1;
}

}  // namespace tarrowind
