#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

#include "platform/http_client.h"
#include "platform/sha256.h"

namespace tarrowind {

// The multipart body of a firmware upload with the file's bytes read from the file while it is sent,
// so that an upload holds only the layer's send buffer of it. The file is opened once and its size taken
// then; a file that is shorter or longer when its end is read fails the read, so a body is never
// completed with a firmware that changed size meanwhile. With an expected digest the bytes are hashed as
// they are read, and the piece holding the file's last byte is given out only once the whole file hashed
// the same: a file rewritten in place at the same size never reaches a module whole either.
class FirmwareBodySource final : public HttpBodySource {
public:
    // `head` and `tail` are the body's bytes before and after the file's.
    FirmwareBodySource(const std::string& path, std::string head, std::string_view tail,
                       std::optional<Sha256Digest> expected = std::nullopt);

    // False when the file could not be opened.
    bool IsOpen() const { return m_file.is_open(); }
    // The file's size as taken on opening; 0 when it could not be taken.
    std::uint64_t FileSize() const { return m_fileSize; }

    std::uint64_t Size() const override;
    bool ReadAt(std::uint64_t offset, std::span<char> buffer) override;

private:
    bool ReadFile(std::uint64_t offset, std::span<char> out);

    std::ifstream m_file;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_filePosition = 0;  // where the next read of m_file starts
    std::string m_head;
    std::string m_tail;
    std::optional<Sha256Digest> m_expected;
    Sha256 m_hash;
    std::uint64_t m_hashed = 0;  // the file's bytes hashed so far, all from its start
    bool m_inOrder = true;       // false once bytes were asked for out of turn: no digest to compare
};

}  // namespace tarrowind
