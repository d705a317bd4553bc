#pragma once

#include <string>
#include <string_view>

namespace tarrowind {

// Module names and other texts from the network, made safe to print to a terminal: C0 controls, DEL
// and C1 controls, the bidirectional controls and the line and paragraph separators are written as
// escapes (\x1b, \u202e), and bytes that are not UTF-8 as \xNN, so that a name can neither drive the
// terminal (clipboard writes, erased lines) nor reorder what follows it. Printable UTF-8 stays as it is.
std::string TerminalSafe(std::string_view text);
// One column of a tab-separated line: tabs and line ends become blanks, so a module's or a file's text
// never splits the line, and the rest is made terminal-safe.
std::string TerminalColumn(std::string_view text);

// A JSON text as a JSON library dumps it (controls below 0x20 already escaped inside strings), with
// DEL, the C1 controls and the bidirectional controls escaped as \uXXXX as well: the same JSON value,
// safe to print. Bytes that are not UTF-8 are left to the library, which never emits them.
std::string JsonTerminalSafe(std::string_view json);

}  // namespace tarrowind
