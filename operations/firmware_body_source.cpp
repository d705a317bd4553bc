#include "operations/firmware_body_source.h"

#include <algorithm>
#include <cstring>

#include "platform/file_path.h"

namespace tarrowind {

FirmwareBodySource::FirmwareBodySource(const std::string& path, std::string head, std::string_view tail,
                                       std::optional<Sha256Digest> expected)
    : m_file(PathFromUtf8(path), std::ios::binary), m_head(std::move(head)), m_tail(tail), m_expected(expected)
{
    if (!m_file) {
        return;
    }
    m_file.seekg(0, std::ios::end);
    const std::streamoff size = m_file.tellg();
    m_file.seekg(0, std::ios::beg);
    // A size that cannot be read back, or a start that cannot be found again, counts as no data.
    if (m_file && size > 0) {
        m_fileSize = static_cast<std::uint64_t>(size);
    }
    m_file.clear();
}

std::uint64_t FirmwareBodySource::Size() const
{
    return m_head.size() + m_fileSize + m_tail.size();
}

bool FirmwareBodySource::ReadAt(std::uint64_t offset, std::span<char> buffer)
{
    // The three parts in turn; `at` is the offset of the part being copied from.
    std::uint64_t at = 0;
    for (const int part : {0, 1, 2}) {
        const std::uint64_t length = part == 0 ? m_head.size() : part == 1 ? m_fileSize : m_tail.size();
        if (!buffer.empty() && offset < at + length) {
            const std::uint64_t from = offset - at;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - from));
            if (part == 1) {
                if (!ReadFile(from, buffer.first(n))) {
                    return false;
                }
            } else {
                const std::string& text = part == 0 ? m_head : m_tail;
                std::memcpy(buffer.data(), text.data() + from, n);
            }
            buffer = buffer.subspan(n);
            offset += n;
        }
        at += length;
    }
    return buffer.empty();
}

bool FirmwareBodySource::ReadFile(std::uint64_t offset, std::span<char> out)
{
    if (offset == 0) {
        // The layer sends the body again: so is the file hashed again.
        m_hash.Finish();
        m_hashed = 0;
        m_inOrder = true;
    }
    if (offset != m_filePosition) {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
    }
    m_file.read(out.data(), static_cast<std::streamsize>(out.size()));
    if (!m_file || static_cast<std::size_t>(m_file.gcount()) != out.size()) {
        m_filePosition = ~std::uint64_t{0};  // unknown: the next read seeks
        return false;  // the file shrank
    }
    m_filePosition = offset + out.size();
    // At the end of the size announced, the file must end too: one that grew is not the file measured.
    if (m_filePosition == m_fileSize && m_file.peek() != std::ifstream::traits_type::eof()) {
        return false;
    }
    if (!m_expected) {
        return true;
    }
    if (offset == m_hashed) {
        m_hash.Update(std::string_view(out.data(), out.size()));
        m_hashed += out.size();
    } else {
        m_inOrder = false;
    }
    // Read once, hashed as it passes: the last piece is held back until the whole file is known the same.
    return m_filePosition != m_fileSize || (m_inOrder && m_hash.Finish() == m_expected);
}

}  // namespace tarrowind
