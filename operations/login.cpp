#include "operations/login.h"

#include <cstdio>
#include <random>

#include "operations/module_request.h"
#include "operations/percent_escape.h"
#include "platform/secret_wipe.h"
#include "platform/utf16.h"

namespace tarrowind {
namespace {

// One generator per worker thread: workers log in to many modules at once.
std::uint8_t RandomByte()
{
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint8_t>((generator() * 127u) & 0xFFu);
}

void AppendByte(std::string& out, unsigned byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "-%.2x", byte & 0xFFu);
    out += text;
}

}  // namespace

std::string EncodePassword(const std::string& password)
{
    if (password.empty()) {
        return {};
    }
    std::uint8_t byte = RandomByte();
    std::u16string units = ToUtf16(password);
    // Reserved at once, so that growing leaves no copy behind; the units are wiped after use.
    std::string out;
    out.reserve(3 * (units.size() + 1));
    AppendByte(out, byte);
    for (const char16_t unit : units) {
        byte = static_cast<std::uint8_t>(byte ^ (unit & 0xFFu));
        AppendByte(out, byte);
    }
    WipeBytes(units.data(), units.size() * sizeof(char16_t));
    return out;
}

std::int32_t LoginByPage(DeviceRecord* record, HttpClient& http)
{
    if (record == nullptr) {
        return kHttpNoTarget;
    }
    const HttpTarget target = HttpTarget::ForRecord(*record);
    ModuleRequest request;
    request.path = "/Eng/Other.htm";
    request.credentialRefusals = {"401 Unauthorized"};
    request.refusals = {"404 Not Found"};
    return RunModuleRequest(http, &target, request);
}

std::int32_t LoginByCgi(DeviceRecord* record, HttpClient& http)
{
    if (record == nullptr) {
        return kHttpNoTarget;
    }
    const HttpTarget target = HttpTarget::ForRecord(*record);
    ModuleRequest request;
    // Built in one buffer of its final size: the path holds the encoded password and is wiped with the
    // request.
    std::string user = PercentEscaped(record->userName, kLoginQueryEscapes);
    std::string password = EncodePassword(record->password);
    const std::string_view start = "/login.cgi?user=", middle = "&pswd=";
    request.path.reserve(start.size() + user.size() + middle.size() + password.size());
    request.path.append(start).append(user).append(middle).append(password);
    WipeString(user);
    WipeString(password);
    request.basicAuth = false;
    request.credentialRefusals = {"Login Fail"};
    return RunModuleRequest(http, &target, request);
}

}  // namespace tarrowind
