#pragma once

#include "multipart_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind::sim {

// A firmware file built for the simulator may begin with "SIMFW version=<text>\n"; the module
// then reports <text> as its version after the reboot that follows the upload.
inline constexpr std::string_view kFirmwareMarker = "SIMFW version=";
inline constexpr std::size_t kMaxFirmwareVersion = 64;

// <text> of a marker at the start of head (printable ASCII, 1 to kMaxFirmwareVersion characters,
// ended by '\n'); nothing when head does not begin with a complete marker.
std::optional<std::string> firmwareVersionMarker(std::string_view head);

// What an upload leaves behind: never the file itself, only what the progress and reboot need.
struct FirmwareUpload {
    bool complete = false;              // closing boundary read and a SourceFile part seen
    std::string redirectUrl;            // value of the RedirectUrl part (first 256 bytes)
    std::optional<std::string> filename;
    std::uint64_t size = 0;             // bytes of the SourceFile part
    std::optional<std::string> version; // from the file's marker
};

// Feeds an upload body through a MultipartReader and keeps the summary above.
class FirmwareUploadReader : private PartHandler {
public:
    explicit FirmwareUploadReader(std::string_view boundary) : m_reader(boundary, *this) {}

    bool feed(std::string_view bytes) { return m_reader.feed(bytes); }
    // The summary; complete only when the body was well formed and held a SourceFile part.
    FirmwareUpload finish() const;
    const std::string& error() const { return m_reader.error(); }

private:
    enum class Part { Other, RedirectUrl, SourceFile };
    bool partBegins(const PartHeaders& headers) override;
    bool partData(std::string_view bytes) override;
    bool partEnds() override;

    static constexpr std::size_t kHeadBytes = kFirmwareMarker.size() + kMaxFirmwareVersion + 1;

    MultipartReader m_reader;
    Part m_part = Part::Other;
    bool m_sawFile = false;
    std::string m_head;
    FirmwareUpload m_result;
};

} // namespace tarrowind::sim
