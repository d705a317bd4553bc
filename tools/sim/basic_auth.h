#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarrowind::sim {

struct BasicCredentials {
    std::string user;
    std::string password;
};

// Strict standard base64 with padding; nothing for any other character or a bad length.
std::optional<std::string> decodeBase64(std::string_view text);

// The value of an Authorization header: "Basic " (scheme in any case) and base64 of "user:password";
// the first ':' splits. Nothing for another scheme, bad base64, no ':' or a value above 4 KiB.
std::optional<BasicCredentials> parseBasicAuthorization(std::string_view header);

} // namespace tarrowind::sim
