#include <fstream>
#include <vector>

#include "platform/file_path.h"
#include "platform/sha256.h"

namespace tarrowind {

std::optional<Sha256Digest> Sha256OfFile(const std::string& path)
{
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    Sha256 hash;
    std::vector<char> chunk(64 * 1024);
    while (file) {
        file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        hash.Update(std::string_view(chunk.data(), static_cast<std::size_t>(file.gcount())));
    }
    if (!file.eof()) {
        return std::nullopt;  // a read error, not the end
    }
    return hash.Finish();
}

}  // namespace tarrowind
