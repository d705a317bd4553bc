#pragma once

#include <cstdint>
#include <ostream>

namespace tarrowind {

struct SearchOptions {
    bool json = false;
    std::uint32_t searchMs = 5000;
};

// One search in the calling process's network; prints each module as it is heard, then the count.
// Returns the process exit code.
int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tarrowind
