#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarrowind::testing {

// A new empty folder under the system's temporary folder, named `prefix` and a random part.
inline std::filesystem::path MakeTempFolder(std::string_view prefix)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() /
                          (std::string(prefix) + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            return path;
        }
    }
    throw std::runtime_error("no temporary folder");
}

// Sets or, given nothing, removes an environment variable of the test process.
inline void SetEnvironment(const std::string& name, const std::optional<std::string>& value)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
#endif
}

}  // namespace tarrowind::testing
