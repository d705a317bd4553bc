#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarrowind {

// Inclusive, host byte order (first dotted number in the most significant byte).
struct AddressRange {
    std::uint32_t first = 0, last = 0;
    bool operator==(const AddressRange&) const = default;
};

// Disjoint ranges in ascending order: the addresses a range search probes.
struct AddressRanges {
    std::vector<AddressRange> ranges;
    std::uint64_t Count() const;
    bool Empty() const { return ranges.empty(); }
    bool operator==(const AddressRanges&) const = default;
};

constexpr std::uint64_t kMaxRangeAddresses = 65536;
constexpr std::uint32_t kDefaultProbeRate = 2000;  // probes (datagrams) per second
constexpr std::uint32_t kMinProbeRate = 1;
constexpr std::uint32_t kMaxProbeRate = 100000;

enum class RangeError { None, Empty, NotARange, Reversed, NotUnicast, TooMany };

struct RangeParse {
    RangeError error = RangeError::None;
    std::string item;  // the offending item
};

// Items separated by commas, semicolons, white space or new lines: "a.b.c.d/n", "a.b.c.d-e.f.g.h", or
// one address. A CIDR block of prefix 30 or shorter leaves out its network and broadcast addresses; a
// first-last range is taken as given. Items that overlap are merged, so an address is probed once and
// counted once. Nothing is changed in `out` on an error.
RangeParse ParseAddressRanges(std::string_view text, AddressRanges& out);
std::string DescribeRangeError(const RangeParse& parse);  // English, for the command line
std::string FormatAddressRanges(const AddressRanges& ranges);  // canonical text, parses back

// True when every range is in order and unicast and there are at most kMaxRangeAddresses addresses
// in all: what ParseAddressRanges gives, also for ranges made otherwise.
bool AreProbeableRanges(const AddressRanges& ranges);

// True for a probe rate the search accepts.
constexpr bool IsValidProbeRate(std::uint32_t probesPerSecond)
{
    return probesPerSecond >= kMinProbeRate && probesPerSecond <= kMaxProbeRate;
}

}  // namespace tarrowind
