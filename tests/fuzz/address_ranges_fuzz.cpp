// Any text as the user's address ranges (it is read back from the configuration file as stored).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "discovery/address_ranges.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarrowind;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const AddressRanges before{{{0x0A000001u, 0x0A000002u}}};
    AddressRanges out = before;
    const RangeParse parse = ParseAddressRanges(text, out);
    if (parse.error != RangeError::None) {
        FuzzCheck(out == before);  // nothing changes on an error
        FuzzCheck(!DescribeRangeError(parse).empty());
        return 0;
    }
    FuzzCheck(!out.ranges.empty() && out.Count() <= kMaxRangeAddresses && AreProbeableRanges(out));
    for (std::size_t i = 0; i < out.ranges.size(); ++i) {
        const AddressRange& r = out.ranges[i];
        FuzzCheck(r.first <= r.last);
        FuzzCheck((r.first >> 24) != 0 && (r.first >> 24) != 127 && (r.last >> 24) < 224);
        FuzzCheck(!((r.first >> 24) < 127 && (r.last >> 24) > 127));
        // Sorted, disjoint and not adjacent: every address is probed once.
        FuzzCheck(i == 0 || static_cast<std::uint64_t>(out.ranges[i - 1].last) + 1 < r.first);
    }
    AddressRanges again;
    FuzzCheck(ParseAddressRanges(FormatAddressRanges(out), again).error == RangeError::None);
    FuzzCheck(again == out);
    return 0;
}
