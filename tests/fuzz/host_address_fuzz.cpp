// Any text as the host a request goes to (it comes from a module's reply).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ipv4_address.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string Written(std::uint32_t networkOrder)
{
    unsigned char b[4];
    std::memcpy(b, &networkOrder, sizeof b);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarrowind;
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Only the one plain way of writing an address is taken, so that no later reader takes it otherwise.
    if (const auto address = Ipv4Address::FromText(text)) {
        FuzzCheck(Written(address->NetworkOrder()) == text);
        FuzzCheck(address->ToText() == text);
    }
    // And every address written so is taken.
    if (size >= 4) {
        std::uint32_t address = 0;
        std::memcpy(&address, data, sizeof address);
        FuzzCheck(Ipv4Address::FromText(Written(address)) == Ipv4Address::FromNetworkOrder(address));
    }
    return 0;
}
