// Any text through the encoders that put module texts in front of a terminal or a spreadsheet.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/module_csv.h"
#include "commands/terminal_text.h"
#include "platform/utf8_sequence.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// One CSV field as a spreadsheet reads it: quoted with doubled quotes, or as it stands. False when the
// text is not exactly one field.
bool ReadCsvField(std::string_view text, std::string& field)
{
    field.clear();
    if (text.empty() || text.front() != '"') {
        if (text.find_first_of(",;\t\"\r\n") != std::string_view::npos) {
            return false;
        }
        field = text;
        return true;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            field += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else {
            return i + 1 == text.size();
        }
    }
    return false;
}

bool StartsAFormula(std::string_view cell)
{
    if (!cell.empty() && std::string_view("=+-@\t\r\n").find(cell.front()) != std::string_view::npos) {
        return true;
    }
    cell.remove_prefix(std::min(cell.find_first_not_of(' '), cell.size()));
    if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos) {
        return true;
    }
    // The full-width = + - @ that an input method types.
    const std::string_view start = cell.substr(0, 3);
    return start == "\xEF\xBC\x9D" || start == "\xEF\xBC\x8B" || start == "\xEF\xBC\x8D" || start == "\xEF\xBC\xA0";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The terminal sees printable UTF-8 only: no control, no C1 or bidirectional character, no stray byte.
    const std::string shown = tarrowind::TerminalSafe(input);
    FuzzCheck(tarrowind::IsValidUtf8(shown));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<unsigned char>(shown[i]);
        FuzzCheck(c >= 0x20 && c != 0x7F);
        if (c == 0xC2 && i + 1 < shown.size()) {
            FuzzCheck(static_cast<unsigned char>(shown[i + 1]) > 0x9F);
        }
        if (c == 0xE2 && i + 2 < shown.size() && static_cast<unsigned char>(shown[i + 1]) == 0x80) {
            const auto third = static_cast<unsigned char>(shown[i + 2]);
            FuzzCheck(third != 0x8E && third != 0x8F && (third < 0xA8 || third > 0xAE));
        }
    }
    FuzzCheck(tarrowind::TerminalSafe(shown) == shown);
    if (input.find('\\') == std::string_view::npos && input == shown) {
        FuzzCheck(tarrowind::IsValidUtf8(input));
    }

    // A CSV field reads back as the text, or as the text behind the apostrophe that keeps it from
    // being a formula; the apostrophe comes exactly when the text could start one.
    const std::string written = tarrowind::CsvField(input);
    std::string read;
    FuzzCheck(ReadCsvField(written, read));
    const bool guarded = read.size() == input.size() + 1 && read.front() == '\'' && read.substr(1) == input;
    FuzzCheck(read == input || guarded);
    FuzzCheck(!StartsAFormula(read));
    FuzzCheck(guarded == (StartsAFormula(input) || (!input.empty() && input.front() == '\'')));
    return 0;
}
