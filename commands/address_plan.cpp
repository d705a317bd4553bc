#include "commands/address_plan.h"

#include <unordered_map>
#include <unordered_set>

#include "discovery/address_text.h"
#include "operations/firmware_folder.h"

namespace tarrowind {
std::string_view TrimmedField(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<Ipv4Address> ParseDottedAddress(std::string_view text)
{
    return Ipv4Address::FromText(TrimmedField(text), Ipv4Address::LeadingZeros::Decimal);
}

bool IsSubnetMask(std::uint32_t mask)
{
    // Ones then zeros: the inverse plus one is a power of two.
    return mask != 0 && ((~mask + 1) & ~mask) == 0;
}

bool IsHostAddress(std::uint32_t address, std::uint32_t mask)
{
    const std::uint32_t first = address >> 24;
    if (first == 0 || first == 127 || first >= 224) {
        return false;
    }
    if (IsSubnetMask(mask) && ~mask > 1) {
        const std::uint32_t host = address & ~mask;
        return host != 0 && host != ~mask;
    }
    return true;
}

std::optional<SkipReason> SettingNotOfferedReason(const DeviceRecord& r)
{
    // A reader whose last setting failed is offered a new login, not another setting.
    if (r.action != kActionNone || r.status < kStatusLoginSuccessfully ||
        (r.kind == ModuleKind::BinaryDactyl && r.status == kStatusSettingFailed)) {
        return SkipReason::NotEligible;
    }
    if (r.kind == ModuleKind::LongReply) {
        return SkipReason::KindNotOffered;
    }
    if (!CanConfigure(r.model, r.version)) {
        return SkipReason::NotOffered;
    }
    return std::nullopt;
}

std::string DescribeAddressPlanError(AddressPlanError error)
{
    switch (error) {
    case AddressPlanError::None:
        return "no error";
    case AddressPlanError::StartNotAddress:
        return "the start address is not a dotted IPv4 address such as 192.168.1.20";
    case AddressPlanError::MaskNotMask:
        return "the subnet mask is not a mask (ones followed by zeros, such as 255.255.255.0)";
    case AddressPlanError::MasksDiffer:
        return "the modules have different subnet masks: give the mask";
    case AddressPlanError::StartNotHost:
        return "the start address is not a host address of its subnet";
    case AddressPlanError::PastSubnet:
        return "the modules need more addresses than the subnet has from the start address on";
    case AddressPlanError::GatewayNotAddress:
        return "the gateway is not a dotted IPv4 address";
    case AddressPlanError::GatewayNotOnSubnet:
        return "the gateway is not a host address of the modules' subnet";
    case AddressPlanError::GatewayAssigned:
        return "the gateway is one of the addresses given to the modules";
    case AddressPlanError::GatewayIsModule:
        return "the gateway is the address of a listed module";
    }
    return "unknown error";
}

std::vector<std::pair<DeviceRecord*, SettingsChange>> AddressPlan::Changes() const
{
    std::vector<std::pair<DeviceRecord*, SettingsChange>> changes;
    for (const AddressPlanRow& row : rows) {
        if (row.note == AddressNote::Assigned) {
            changes.emplace_back(row.record, row.change);
        }
    }
    return changes;
}

AddressPlan PlanAddresses(const std::vector<DeviceRecord*>& selected, const std::vector<const DeviceRecord*>& listed,
                          std::string_view start, std::string_view mask, std::string_view gateway,
                          bool neighbourEntries)
{
    AddressPlan plan;
    const auto fail = [&plan](AddressPlanError error) {
        plan.error = error;
        plan.rows.clear();
        return plan;
    };
    const std::optional<Ipv4Address> first = ParseDottedAddress(start);
    if (!first) {
        return fail(AddressPlanError::StartNotAddress);
    }
    for (DeviceRecord* r : selected) {
        if (r == nullptr) {
            continue;
        }
        AddressPlanRow row;
        row.record = r;
        row.oldIp = r->ip;
        if (const auto reason = SettingNotOfferedReason(*r)) {
            row.note = AddressNote::NotOffered;
            row.skip = *reason;
        }
        plan.rows.push_back(std::move(row));
    }

    std::optional<Ipv4Address> givenMask;
    std::uint32_t maskValue = 0;
    if (!TrimmedField(mask).empty()) {
        givenMask = ParseDottedAddress(mask);
        if (!givenMask || !IsSubnetMask(givenMask->HostOrder())) {
            return fail(AddressPlanError::MaskNotMask);
        }
        maskValue = givenMask->HostOrder();
    } else {
        // Kept: the modules' one mask decides the subnet.
        std::optional<std::uint32_t> common;
        for (const AddressPlanRow& row : plan.rows) {
            if (row.note != AddressNote::NotOffered) {
                const std::uint32_t m = NetworkToHostOrder(ParseIpText(row.record->maskText));
                if (common && *common != m) {
                    return fail(AddressPlanError::MasksDiffer);
                }
                common = m;
            }
        }
        maskValue = common.value_or(0xFFFFFF00u);
        if (!IsSubnetMask(maskValue)) {
            return fail(AddressPlanError::MaskNotMask);
        }
    }
    // A /31 or /32 has no room for a run of modules behind a gateway.
    if (~maskValue < 3) {
        return fail(AddressPlanError::MaskNotMask);
    }
    const std::uint32_t startHost = first->HostOrder();
    if (!IsHostAddress(startHost, maskValue)) {
        return fail(AddressPlanError::StartNotHost);
    }
    const std::uint64_t lastHost = (startHost | ~maskValue) - 1ull;

    std::unordered_multimap<std::uint32_t, const DeviceRecord*> used;
    for (const DeviceRecord* r : listed) {
        if (r != nullptr) {
            used.emplace(r->ip, r);
        }
    }
    std::uint64_t next = startHost;
    for (AddressPlanRow& row : plan.rows) {
        if (row.note == AddressNote::NotOffered) {
            continue;
        }
        if (next > lastHost) {
            return fail(AddressPlanError::PastSubnet);
        }
        row.newIp = HostToNetworkOrder(static_cast<std::uint32_t>(next++));
        // Any other listed module on the address, also one this plan moves: they would meet there while
        // the queue runs both.
        const auto [from, to] = used.equal_range(row.newIp);
        for (auto it = from; it != to; ++it) {
            if (it->second != row.record) {
                row.note = AddressNote::InUse;
                row.usedBy = it->second;
                break;
            }
        }
    }

    std::optional<Ipv4Address> gatewayValue;
    if (!TrimmedField(gateway).empty()) {
        gatewayValue = ParseDottedAddress(gateway);
        if (!gatewayValue) {
            return fail(AddressPlanError::GatewayNotAddress);
        }
        const std::uint32_t g = gatewayValue->HostOrder();
        if ((g & maskValue) != (startHost & maskValue) || !IsHostAddress(g, maskValue)) {
            return fail(AddressPlanError::GatewayNotOnSubnet);
        }
        if (g >= startHost && g < next) {
            return fail(AddressPlanError::GatewayAssigned);
        }
        if (used.count(gatewayValue->NetworkOrder()) != 0) {
            return fail(AddressPlanError::GatewayIsModule);
        }
    }
    std::unordered_set<std::uint32_t> given;
    for (const AddressPlanRow& row : plan.rows) {
        if (row.note != AddressNote::NotOffered) {
            given.insert(row.newIp);
        }
    }
    for (AddressPlanRow& row : plan.rows) {
        row.sharing = static_cast<int>(used.count(row.oldIp));
        if (row.note != AddressNote::Assigned) {
            continue;
        }
        row.change.ip = row.newIp;
        if (givenMask) {
            row.change.mask = givenMask->NetworkOrder();
        }
        row.change.gateway =
            gatewayValue ? std::optional<std::uint32_t>(gatewayValue->NetworkOrder()) : std::nullopt;
        if (row.record->dhcp != 0) {
            row.change.dhcp = false;  // a fixed address needs the DHCP client off
        }
        // A kept gateway is checked as well: the new address may be it, or on another subnet than it.
        SettingsChange fixed = row.change;
        fixed.dhcp = false;
        row.addressing = AddressingAfter(*row.record, fixed);
        const DeviceRecord* self = row.record;
        row.rule = CheckAddressing(row.addressing, [&](std::uint32_t address) {
            const auto [from, to] = used.equal_range(address);
            for (auto it = from; it != to; ++it) {
                if (it->second != self) {
                    return true;
                }
            }
            return address != row.newIp && given.count(address) != 0;
        });
        if (row.rule != AddressRule::Usable) {
            row.note = AddressNote::Unusable;
            row.change = {};
        } else if (row.sharing > 1 && !ReachableAlone(*row.record, neighbourEntries)) {
            row.note = AddressNote::CannotTellApart;
            row.change = {};
        }
    }
    return plan;
}

}  // namespace tarrowind
