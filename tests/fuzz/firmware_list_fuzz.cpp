// Any bytes as the firmware folder's list file and as a module's version, through the INI reader and
// the version comparison that decide which firmware a module is offered.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "localisation/ini_reader.h"
#include "operations/firmware_folder.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first line is the module's version, the rest the list file.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string version(input.substr(0, newline == std::string_view::npos ? input.size() : newline));
    const std::string_view list = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    const tarrowind::IniReader ini = tarrowind::IniReader::FromBytes(list);
    const std::string text = ini.GetString("QT-DC410", "Version", {}, 259);
    FuzzCheck(tarrowind::CutToUtf16Units(text, 259) == text);

    // The list as the program reads it from the folder, without a file per input.
    std::string file, file2;
    for (const char* model : {"QT-DC410", "QT-KS7730", "QT-TEXT GRABBER V7K"}) {
        const std::int32_t result = tarrowind::CheckLatestFirmware(ini, "/firmware/", model, version, &file, &file2);
        FuzzCheck(result >= -1 && result <= 1);
        FuzzCheck(result != 1 || file.empty() || file.starts_with("/firmware/"));
        tarrowind::CanConfigure(model, version);
        tarrowind::CanUpdateFirmware(model, version);
    }
    return 0;
}
