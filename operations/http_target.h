#pragma once

#include <cstdint>
#include <string>

#include "discovery/core_events.h"
#include "discovery/device_record.h"
#include "platform/secret_wipe.h"

namespace tarrowind {

class KnownModules;

// Result of every request to a module's web server. Any other value is the HTTP layer's error number
// of the step that failed.
enum HttpResultCode : std::int32_t {
    kHttpSuccess = 0,
    kHttpNoTarget = -1,
    kHttpRefused = -2,
    kHttpNoFirmwareData = -3,
    kHttpPageIncomplete = -4,  // a configuration page without every value its form posts back
    kHttpCredentialsRefused = -5,  // the module's answer refused the user name or password
};

// Where a request goes and with which credentials.
struct HttpTarget {
    CoreEvents* reportWindow = nullptr;
    std::string host;  // dotted IPv4 address
    std::string userName;
    std::string password;
    DeviceRecord* record = nullptr;  // read for useHttps and the MAC only
    // Where the module's key is remembered and checked before credentials go out; null: no check.
    KnownModules* knownModules = nullptr;

    ~HttpTarget() { WipeString(password); }

    // From the record, checked against the known modules of the queue that took it.
    static HttpTarget ForRecord(DeviceRecord& record);
};

}  // namespace tarrowind
