#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace tarrowind {

// Reads a file named on the command line (a UTF-8 path) into `bytes`, at most `maxBytes` of it and one
// more, so the caller can tell a file that is too large without reading all of it. False with a message
// naming `what` and the path when it cannot be opened or read.
bool ReadInputFile(const std::string& path, std::size_t maxBytes, const char* what, std::string& bytes,
                   std::ostream& err);

}  // namespace tarrowind
