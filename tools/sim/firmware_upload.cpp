#include "firmware_upload.h"

#include <algorithm>

namespace tarrowind::sim {

namespace {

constexpr std::size_t kMaxRedirectUrl = 256;

} // namespace

std::optional<std::string> firmwareVersionMarker(std::string_view head)
{
    if (head.substr(0, kFirmwareMarker.size()) != kFirmwareMarker) return std::nullopt;
    head.remove_prefix(kFirmwareMarker.size());
    const std::size_t end = head.find('\n');
    if (end == std::string_view::npos || end == 0 || end > kMaxFirmwareVersion) return std::nullopt;
    const std::string_view text = head.substr(0, end);
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) return std::nullopt;
    return std::string(text);
}

bool FirmwareUploadReader::partBegins(const PartHeaders& headers)
{
    m_part = Part::Other;
    if (headers.name == "RedirectUrl") {
        m_part = Part::RedirectUrl;
    } else if (headers.name == "SourceFile") {
        // A second file part would make the upload ambiguous; modules take one image.
        if (m_sawFile) return false;
        m_sawFile = true;
        m_part = Part::SourceFile;
        m_result.filename = headers.filename;
    }
    return true;
}

bool FirmwareUploadReader::partData(std::string_view bytes)
{
    if (m_part == Part::RedirectUrl) {
        const std::size_t room = kMaxRedirectUrl - std::min(kMaxRedirectUrl, m_result.redirectUrl.size());
        m_result.redirectUrl.append(bytes.substr(0, room));
    } else if (m_part == Part::SourceFile) {
        m_result.size += bytes.size();
        if (m_head.size() < kHeadBytes) m_head.append(bytes.substr(0, kHeadBytes - m_head.size()));
    }
    return true;
}

bool FirmwareUploadReader::partEnds()
{
    m_part = Part::Other;
    return true;
}

FirmwareUpload FirmwareUploadReader::finish() const
{
    FirmwareUpload result = m_result;
    result.complete = m_reader.complete() && m_sawFile;
    result.version = firmwareVersionMarker(m_head);
    return result;
}

} // namespace tarrowind::sim
