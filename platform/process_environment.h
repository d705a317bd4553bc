#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarrowind {

// What the process learns from its system: where it lies, its environment, its arguments and console,
// the user's language and the folder of the brand file. Texts are UTF-8.

// The folder of the running program, without a trailing separator; "." when it cannot be told.
std::string ProgramDirectory();
// The separator of folder names in paths: '/' or '\'.
char PathSeparator();
// The variable's value; nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);
// The brand file's full path: /etc/OrbBrand.ini, or OrbBrand.ini in the Windows folder.
std::string BrandFilePath();
// The user's interface language identifier where the system keeps one (Windows); nothing where the
// locale variables decide.
std::optional<std::uint16_t> SystemUiLanguageId();
// The command line's arguments as UTF-8, whatever the system's code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Lets the console show UTF-8 output as it is.
void UseUtf8Console();
// A desktop program has no console of its own on Windows: its few lines of output (--version) go to the
// console it was started from, when its output is not already redirected. Nothing to do elsewhere.
void WriteToParentConsole();

}  // namespace tarrowind
