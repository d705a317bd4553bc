#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "operations/controller_manager.h"
#include "operations/http_target.h"
#include "platform/sha256.h"

namespace tarrowind {

struct FirmwareTarget {
    HttpTarget target;
    std::string firmwarePath;
    // The file's digest when its batch began: bytes that hash otherwise end the upload before the module
    // has them all (HttpClient::kBodySourceFailed).
    std::optional<Sha256Digest> digest = std::nullopt;
};

// The payload of a queued firmware update: the digests of its files as they were when the batch began,
// so that every module of the batch gets the same bytes. Nothing for a file that could not be read then.
struct FirmwareBatch {
    std::optional<Sha256Digest> digests[2];
};

// Digests of a batch's files, each file read once however many modules take it.
class FirmwareBatchDigests {
public:
    FirmwareBatch For(const std::string& file, const std::string& file2);

private:
    std::map<std::string, std::optional<Sha256Digest>> m_taken;
};

// The multipart body of an upload around `file`'s bytes.
std::string FirmwareUploadBody(const std::string& firmwarePath, std::string_view file);

// Posts the firmware file; kHttpNoFirmwareData when the file gave no data.
std::int32_t UploadFirmware(const FirmwareTarget* target, HttpClient& http);
// Reads how far the module has written the firmware; each value changes only when the page has it.
std::int32_t QueryUploadProgress(const FirmwareTarget* target, std::int32_t& finish, std::int32_t& total,
                                 HttpClient& http);
// Asks the module to restart with the new firmware.
std::int32_t RequestReboot(const FirmwareTarget* target, HttpClient& http);

// One file of a firmware update: upload, follow the progress (status 18), request the restart.
// `which` 0 uploads firmwareFile, 1 firmwareFile2. True when the module finished and took the restart.
// A record whose pending payload is a FirmwareBatch gets only the bytes its batch began with.
bool RunFirmwareUpload(CControllerManager& manager, DeviceRecord* record, int which);

}  // namespace tarrowind
