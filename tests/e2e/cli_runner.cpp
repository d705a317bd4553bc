#include "tests/e2e/cli_runner.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarrowind::lab {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (auto& s : strings) {
        p.push_back(s.data());
    }
    p.push_back(nullptr);
    return p;
}

}  // namespace

std::string CliBinary()
{
    return TARROWIND_CLI_BINARY;
}

CliRun RunCli(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
              const std::string& input, const std::string& user, const std::function<void(pid_t)>& meanwhile)
{
    std::vector<std::string> env = environment;
    // Modules' keys are remembered in the user's configuration: unless the caller names a folder, each
    // run has a new one, so that no run meets keys of another run's simulator.
    const bool ownConfig = std::none_of(environment.begin(), environment.end(),
                                        [](const std::string& e) { return e.rfind("XDG_CONFIG_HOME=", 0) == 0; });
    std::string config;
    if (ownConfig && user.empty()) {
        char folder[] = "/tmp/tw-cli-config.XXXXXX";
        if (::mkdtemp(folder) != nullptr) {
            config = folder;
            env.emplace_back("XDG_CONFIG_HOME=" + config);
        }
    }
    if (!user.empty()) {
        // The user has no configuration of its own: nothing may come from root's.
        env.emplace_back("HOME=/nonexistent");
        env.emplace_back("XDG_CONFIG_HOME=/nonexistent/.config");
    }
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);  // the first of two equal names wins
    }
    std::vector<std::string> argv;
    if (!user.empty()) {
        argv = {"/usr/bin/setpriv", "--reuid=" + user, "--regid=nogroup", "--clear-groups", "--"};
    }
    argv.emplace_back(TARROWIND_CLI_BINARY);
    argv.insert(argv.end(), arguments.begin(), arguments.end());

    int out[2], err[2], in[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe(in) != 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    for (const int fd : {out[0], err[0], in[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, Pointers(argv).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {out[1], err[1], in[0]}) {
        ::close(fd);
    }
    if (rc != 0) {
        throw std::runtime_error("cannot run " + argv[0]);
    }
    [[maybe_unused]] const auto written = ::write(in[1], input.data(), input.size());
    ::close(in[1]);
    std::thread alongside;
    if (meanwhile) {
        alongside = std::thread(meanwhile, pid);
    }

    CliRun run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    for (int open = 2; open > 0;) {
        if (::poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (alongside.joinable()) {
        alongside.join();
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    if (!config.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(config, ignored);
    }
    return run;
}

}  // namespace tarrowind::lab
