// Any datagram, of any length, through the reply parser and the address readers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "discovery/address_text.h"
#include "discovery/reply_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarrowind::DeviceRecord record;
    // The first byte picks a reply length so every layout is reached; the rest is the datagram.
    static constexpr std::int32_t kLengths[] = {84, 172, 252, 256, 282};
    if (size > 0) {
        const std::int32_t wanted = kLengths[data[0] % 5];
        if (size - 1 >= static_cast<std::size_t>(wanted)) {
            tarrowind::ParseReply(record, data + 1, wanted, 1, "fuzz");
        }
    }
    tarrowind::ParseReply(record, data, static_cast<std::int32_t>(size), 2, "fuzz");
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tarrowind::ParseIpText(text);
    tarrowind::ParseMacText(text);
    return 0;
}
