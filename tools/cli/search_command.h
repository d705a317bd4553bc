#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/address_ranges.h"

namespace tarrowind {

struct SearchOptions {
    bool json = false;
    bool csv = false;
    std::uint32_t searchMs = 5000;
    std::vector<std::string> ranges;  // --range items, each "a.b.c.d/n", "first-last" or an address
    std::uint32_t rate = kDefaultProbeRate;
    std::string filter;  // only modules whose texts contain it, as the window's filter keeps rows
    std::optional<std::string> firmwareFolder;  // unset: the management software's
};

// The --range items as one set of ranges; false, with the reason on `err`, for an item that is none.
bool ParseRangeOptions(const std::vector<std::string>& items, AddressRanges& ranges, std::ostream& err);

// One search in the calling process's network; prints each module as it is heard, then the count (with
// --csv: the list as a CSV file once the search ends, the count on `err`). Returns the exit code.
int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tarrowind
