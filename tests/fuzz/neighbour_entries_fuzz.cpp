// Any text as the file of neighbour entries made (it is shared by the user's processes and read back).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/neighbour_registry.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarrowind;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<MadeNeighbourEntry> entries = ParseNeighbourEntries(text);
    FuzzCheck(entries.size() <= text.size() / 20);  // each entry takes a line of at least 20 bytes
    // What is read is written as it was read.
    FuzzCheck(ParseNeighbourEntries(FormatNeighbourEntries(entries)) == entries);
    return 0;
}
