#pragma once

#include <string>
#include <vector>

namespace tarrowind::lab {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built tarrowind-cli with `arguments`, this process's environment plus `environment`
// ("NAME=value"), and `input` on its standard input. A non-empty `user` runs it as that unprivileged
// user (its group "nogroup", no other groups) with a home folder that does not exist.
CliRun RunCli(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
              const std::string& input = "", const std::string& user = "");

}  // namespace tarrowind::lab
