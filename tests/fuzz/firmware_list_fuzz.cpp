// Any bytes as the firmware folder's list file and as a module's version, through the INI reader and
// the version comparison that decide which firmware a module is offered.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "localisation/ini_reader.h"
#include "operations/firmware_folder.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// A private folder for the list file, made once per run and removed at exit.
const std::string& Folder()
{
    static const std::string folder = [] {
        char name[] = "/tmp/firmware_list_fuzz.XXXXXX";
        if (mkdtemp(name) == nullptr) {
            std::abort();
        }
        return std::string(name) + "/";
    }();
    static const bool cleanup = [] {
        std::atexit([] {
            std::remove((folder + tarrowind::kFirmwareListFile).c_str());
            rmdir(folder.c_str());
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

void WriteList(std::string_view bytes)
{
    const std::string path = Folder() + tarrowind::kFirmwareListFile;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::abort();
    }
}

}  // namespace

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
    tarrowind::DecodeTextFile(list);

    WriteList(list);
    std::string file, file2;
    for (const char* model : {"QT-DC410", "QT-KS7730", "QT-TEXT GRABBER V7K"}) {
        const std::int32_t result = tarrowind::CheckLatestFirmware(Folder(), model, version, &file, &file2);
        FuzzCheck(result >= -1 && result <= 1);
        tarrowind::CanConfigure(model, version);
        tarrowind::CanUpdateFirmware(model, version);
    }
    return 0;
}
