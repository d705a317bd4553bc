#include "commands/terminal_text.h"

#include <gtest/gtest.h>

namespace tarrowind {
namespace {

TEST(TerminalText, ControlsAndBrokenBytesAreEscapedAndPrintableTextStays)
{
    // A clipboard write (OSC 52), a line erase and a bell.
    EXPECT_EQ(TerminalSafe("Door\x1b]52;c;SGVsbG8=\x07"), "Door\\x1b]52;c;SGVsbG8=\\x07");
    EXPECT_EQ(TerminalSafe("a\x1b[2Kb\r"), "a\\x1b[2Kb\\x0d");
    EXPECT_EQ(TerminalSafe(std::string("nul\0end", 7)), "nul\\x00end");
    EXPECT_EQ(TerminalSafe("del\x7f"), "del\\x7f");
    // C1 controls as UTF-8 (CSI U+009B), a right-to-left override, a line separator.
    EXPECT_EQ(TerminalSafe("\xc2\x9b" "2J"), "\\u009b2J");
    EXPECT_EQ(TerminalSafe("abc\xe2\x80\xae" "fdp.exe"), "abc\\u202efdp.exe");
    EXPECT_EQ(TerminalSafe("x\xe2\x80\xa8y"), "x\\u2028y");
    // Bytes that are not UTF-8: a lone continuation byte, a cut sequence, an overlong slash.
    EXPECT_EQ(TerminalSafe("\x80\xe2\x80 \xc0\xaf"), "\\x80\\xe2\\x80 \\xc0\\xaf");
    EXPECT_EQ(TerminalSafe("Café Tür 門 \\ \xf0\x9f\x94\x91"), "Café Tür 門 \\ \xf0\x9f\x94\x91");
}

TEST(TerminalText, JsonKeepsItsValueAndLosesTheControls)
{
    EXPECT_EQ(JsonTerminalSafe("{\"name\":\"a\xc2\x9b\xe2\x80\xae\x7f\",\n\"n\":1}"),
              "{\"name\":\"a\\u009b\\u202e\\u007f\",\n\"n\":1}");
    EXPECT_EQ(JsonTerminalSafe("{\"name\":\"Caf\xc3\xa9\\u001b\"}"), "{\"name\":\"Caf\xc3\xa9\\u001b\"}");
}

}  // namespace
}  // namespace tarrowind
