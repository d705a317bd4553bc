// Any bytes as a string table and brand file, through the language choice, the lookups, the unescaping
// and the formatter.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "localisation/safe_format.h"
#include "localisation/string_table.h"
#include "localisation/text_escapes.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The table is read from a path: one file, kept open and rewritten for every input. It lives in shared
// memory where there is some, so that the table's check for edits costs a plain stat.
struct InputFile {
    std::string path = [] {
        std::string name = access("/dev/shm", W_OK) == 0 ? "/dev/shm/string_table_fuzz.XXXXXX"
                                                         : "/tmp/string_table_fuzz.XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            std::abort();
        }
        close(fd);
        return name;
    }();
    int fd = open(path.c_str(), O_RDWR);

    ~InputFile()
    {
        close(fd);
        unlink(path.c_str());
    }

    void Fill(const std::uint8_t* data, std::size_t size) const
    {
        if (fd < 0 || ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const InputFile file;
    // Two bytes of language identifier, a byte of flags (the argument count, whether the file is also
    // the brand file) and three int arguments come first; the rest is the file.
    constexpr std::size_t kHeader = 2 + 1 + 3 * 4;
    if (size < kHeader) {
        return 0;
    }
    const auto languageId = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const std::size_t argCount = data[2] % 4;
    const bool alsoBrandFile = (data[2] & 0x80) != 0;
    std::array<int, 3> args{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::uint8_t* p = data + 3 + 4 * i;
        args[i] = static_cast<int>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    }
    const std::span<const int> used(args.data(), argCount);
    const std::string_view body(reinterpret_cast<const char*>(data + kHeader), size - kHeader);

    // The raw bytes as a text: unescaping never grows it, formatting stays bounded.
    const std::string unescaped = tarrowind::UnescapeText(body);
    FuzzCheck(unescaped.size() <= body.size());
    const auto conversions = tarrowind::FormatConversions(unescaped);
    const auto formatted = tarrowind::FormatInts(unescaped, used);
    if (formatted) {
        FuzzCheck(conversions.has_value() && conversions->size() <= argCount);
        FuzzCheck(formatted->size() <= unescaped.size() + argCount * (tarrowind::kMaxFormatField + 16));
    }
    FuzzCheck(tarrowind::FormatIntsOrVerbatim(unescaped, used) == (formatted ? *formatted : unescaped));

    // The same bytes as the table, and for some inputs as the brand file too.
    file.Fill(data + kHeader, size - kHeader);
    const tarrowind::StringTable table(
        tarrowind::StringTable::Options{file.path, alsoBrandFile ? file.path : std::string(), languageId});
    // Every lookup checks the file for edits; three keys (a short one the fuzzer finds at once, a real
    // one with a format, none) reach every branch.
    for (const char* key : {"K", "ORB_IDS_SEARCHING_SEC", ""}) {
        const std::string label = table.LabelWithArguments(key, used);
        FuzzCheck(label.empty() || label.back() == ':');
    }
    return 0;
}
