// How long a command-line run that is told to stop takes to end, and whether it leaves the neighbour
// table as it found it: 32 logins whose module answers late are running when the signal comes.
//   scripts/lab run --prefix twstop -- build/release/bench/cli_stop_bench [--runs N]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/lab_web_modules.h"
#include "discovery/address_text.h"
#include "platform/neighbour_table.h"
#include "tests/e2e/lab_simulator.h"

extern char** environ;

namespace {

using namespace tarrowind;
using Steady = std::chrono::steady_clock;

constexpr int kModules = CControllerManager::kMaxWorkers;

pid_t StartCli(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{TARROWIND_CLI_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int PermanentEntries(std::uint32_t pc0)
{
    int count = 0;
    for (int i = 0; i < kModules; ++i) {
        count += NeighbourTable::System().Lookup(pc0, ParseIpText("192.0.2." + std::to_string(2 + i))) ==
                         NeighbourKind::Permanent
                     ? 1
                     : 0;
    }
    return count;
}

// Starts a login of every module and waits until all of its exchanges run (each has its entry).
pid_t StartLogins(std::uint32_t pc0)
{
    const pid_t pid = StartCli({"login", "--all", "--user", "admin", "--password-env", "TARROWIND_BENCH_PASSWORD",
                                "--search-ms", "1500"});
    const auto deadline = Steady::now() + std::chrono::seconds(20);
    while (pid > 0 && PermanentEntries(pc0) < kModules && Steady::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return PermanentEntries(pc0) == kModules ? pid : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (!lab::InLab()) {
        std::fprintf(stderr, "cli_stop_bench runs in the lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    nlohmann::json config = bench::WebModules(kModules, 3000);
    for (auto& m : config["modules"]) {
        m["faults"] = {{"httpDelayMs", 60000}};  // every exchange is still running when the signal comes
    }
    lab::Simulator sim(config);
    ::setenv("TARROWIND_BENCH_PASSWORD", "admin", 1);
    // A configuration folder of its own: the simulator's keys are new at each start, and the user's own
    // known-modules file would refuse them as changed before any exchange began.
    char configFolder[] = "/tmp/tarrowind-stop-bench-XXXXXX";
    if (::mkdtemp(configFolder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("XDG_CONFIG_HOME", configFolder, 1);
    const std::uint32_t pc0 = lab::AdapterIndex("pc0");
    std::printf("cli stop bench: lab, %d web modules (HTTPS) answering after 60 s, tarrowind-cli login --all, release build\n",
                kModules);

    std::vector<double> ms;
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        const pid_t pid = StartLogins(pc0);
        if (pid < 0) {
            std::printf("run %d: the %d exchanges did not all start\n", run + 1, kModules);
            return 1;
        }
        const auto sent = Steady::now();
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const double took = std::chrono::duration<double, std::milli>(Steady::now() - sent).count();
        const int left = PermanentEntries(pc0);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::printf("run %d: SIGTERM with %d exchanges running: exit %d after %.0f ms, permanent entries left %d\n",
                    run + 1, kModules, code, took, left);
        failures += code != 143 || left != 0 ? 1 : 0;
        ms.push_back(took);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("SIGTERM to exit, %d runs: median %.0f ms, max %.0f ms; runs with entries left or another exit code: %d\n",
                runs, ms[ms.size() / 2], ms.back(), failures);

    // A run killed outright cannot clean up; the next run's search removes what it left.
    const pid_t killed = StartLogins(pc0);
    if (killed < 0) {
        return 1;
    }
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    const int leftByKill = PermanentEntries(pc0);
    const pid_t next = StartCli({"search", "--search-ms", "100"});
    int status = 0;
    ::waitpid(next, &status, 0);
    const int afterSearch = PermanentEntries(pc0);
    std::printf("SIGKILL: %d permanent entries left; after the next run's search: %d\n", leftByKill, afterSearch);
    std::filesystem::remove_all(configFolder);
    return failures == 0 && afterSearch == 0 ? 0 : 1;
}
