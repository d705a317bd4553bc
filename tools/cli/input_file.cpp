#include "tools/cli/input_file.h"

#include <fstream>

#include "platform/file_path.h"

namespace tarrowind {

bool ReadInputFile(const std::string& path, std::size_t maxBytes, const char* what, std::string& bytes,
                   std::ostream& err)
{
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file) {
        err << "tarrowind-cli: cannot open the " << what << ' ' << path << '\n';
        return false;
    }
    bytes.assign(maxBytes + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (file.bad()) {
        err << "tarrowind-cli: cannot read the " << what << ' ' << path << '\n';
        return false;
    }
    return true;
}

}  // namespace tarrowind
