// Any bytes as the known-modules file: what the parser keeps is written back as it was read, and what
// it writes it reads again unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "operations/known_modules.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const tarrowind::KnownModuleMap read = tarrowind::ParseKnownModules(input);
    for (const auto& [mac, module] : read) {
        FuzzCheck(tarrowind::NormalisedMac(mac) == mac);
        FuzzCheck(module.firstSeen.size() == 20);
    }
    const std::string written = tarrowind::FormatKnownModules(read);
    FuzzCheck(tarrowind::ParseKnownModules(written) == read);
    tarrowind::NormalisedMac(input);
    return 0;
}
