#pragma once

#include <sys/types.h>

#include <functional>
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
// The built tarrowind-cli.
std::string CliBinary();

// `meanwhile`, when given, runs on a thread of its own with the CLI's process id while it runs. A run
// ended by a signal has the exit code 128 + the signal.
CliRun RunCli(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
              const std::string& input = "", const std::string& user = "",
              const std::function<void(pid_t)>& meanwhile = {});

}  // namespace tarrowind::lab
