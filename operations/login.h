#pragma once

#include <cstdint>
#include <string>

#include "discovery/device_record.h"
#include "platform/http_client.h"

namespace tarrowind {

// Checks the record's credentials on a web-server module: its "/Eng/Other.htm" page must not refuse.
std::int32_t LoginByPage(DeviceRecord* record, HttpClient& http);
// Logs in to a BinaryDactyl reader through its login CGI with the encoded password.
std::int32_t LoginByCgi(DeviceRecord* record, HttpClient& http);
// The login CGI's password form: a random byte, then each byte the one before XOR one character's
// UTF-16 code (low 8 bits), each as "-" and two lower-case hex digits. Empty for an empty password.
std::string EncodePassword(const std::string& password);

}  // namespace tarrowind
