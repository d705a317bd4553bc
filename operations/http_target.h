#pragma once

#include <cstdint>
#include <string>

#include "discovery/core_events.h"
#include "discovery/device_record.h"
#include "platform/secret_wipe.h"

namespace tarrowind {

// Result of every request to a module's web server. Any other value is the HTTP layer's error number
// of the step that failed.
enum HttpResultCode : std::int32_t {
    kHttpSuccess = 0,
    kHttpNoTarget = -1,
    kHttpRefused = -2,
    kHttpNoFirmwareData = -3,
    kHttpPageIncomplete = -4,  // a configuration page without every value its form posts back
};

// Where a request goes and with which credentials.
struct HttpTarget {
    CoreEvents* reportWindow = nullptr;
    std::string host;  // dotted IPv4 address
    std::string userName;
    std::string password;
    DeviceRecord* record = nullptr;  // read for useHttps only

    ~HttpTarget() { WipeString(password); }

    static HttpTarget ForRecord(DeviceRecord& record)
    {
        return HttpTarget{record.reportWindow, record.ipText, record.userName, record.password, &record};
    }
};

}  // namespace tarrowind
