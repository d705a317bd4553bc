#pragma once

#include <cstdint>
#include <string>

#include "discovery/controller_manager.h"
#include "operations/http_target.h"

namespace tarrowind {

struct FirmwareTarget {
    HttpTarget target;
    std::string firmwarePath;
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
bool RunFirmwareUpload(CControllerManager& manager, DeviceRecord* record, int which);

}  // namespace tarrowind
