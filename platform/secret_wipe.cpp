#include "platform/secret_wipe.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <strings.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

namespace tarrowind {

void WipeBytes(void* data, std::size_t size)
{
    if (data == nullptr || size == 0) {
        return;
    }
#if defined(_WIN32)
    SecureZeroMemory(data, size);
#else
    explicit_bzero(data, size);
#endif
}

void WipeString(std::string& text)
{
    // Growing to the capacity never moves the buffer, and makes every byte of it part of the string.
    text.resize(text.capacity());
    WipeBytes(text.data(), text.size());
    text.clear();
}

void KeepSecretsOutOfDumps()
{
#if defined(__linux__)
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

std::optional<std::string> TakeEnvironmentSecret(const std::string& name)
{
#if defined(_WIN32)
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string secret(value);
    // The runtime's copy and the process's own block both go.
    WipeBytes(const_cast<char*>(value), std::strlen(value));
    _putenv((name + "=").c_str());
    ::SetEnvironmentVariableA(name.c_str(), nullptr);
    return secret;
#else
    char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string secret(value);
    // Overwritten in place: the first environment lies in memory that removing the variable keeps.
    WipeBytes(value, std::strlen(value));
    ::unsetenv(name.c_str());
    return secret;
#endif
}

}  // namespace tarrowind
