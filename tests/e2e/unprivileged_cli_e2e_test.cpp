// tarrowind-cli as a normal user in the lab (the simulator stays root's): every command works, static
// neighbour entries are done without, the user is told so once, and no entry is left behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

#include "tests/e2e/cli_runner.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using nlohmann::json;

constexpr const char* kUser = "nobody";
constexpr const char* kPasswordVariable = "TW_NOBODY_E2E_PASSWORD";
constexpr const char* kNotice = "may not make static neighbour (ARP) entries";

lab::CliRun RunAsUser(std::vector<std::string> argv)
{
    argv.insert(argv.end(), {"--search-ms", "1500"});
    return lab::RunCli(argv, {std::string(kPasswordVariable) + "=pw of nobody"}, "", kUser);
}

std::vector<std::string> Action(const char* command, const std::string& mac)
{
    return {command, "--mac", mac, "--user", "admin", "--password-env", kPasswordVariable, "--json"};
}

// The summary objects of an action's JSON output, by MAC.
std::map<std::string, json> Final(const std::string& out)
{
    std::map<std::string, json> final;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line, nullptr, false);
        if (j.is_object() && j.contains("final")) {
            final[j["mac"]] = j;
        }
    }
    return final;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The pc namespace's permanent neighbour entries, as `ip` lists them.
std::string PermanentNeighbours()
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen("ip -4 neigh show nud permanent", "r"), ::pclose);
    std::string text;
    char chunk[512];
    for (std::size_t n; pipe && (n = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        text.append(chunk, n);
    }
    return text;
}

TEST(UnprivilegedCliE2E, SearchLoginRebootAndSettingWorkWithoutStaticNeighbourEntries)
{
    if (!lab::InLab()) {
        GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
    }
    const std::string web = "02:00:00:00:31:01";
    const std::string other = "02:00:00:00:31:02";  // on pc1's subnet: the second adapter as well
    json module = lab::Module("Web", web, "192.0.2.101");
    json second = lab::Module("Web", other, "198.51.100.102", "sim1");
    for (json* m : {&module, &second}) {
        (*m)["user"] = "admin";
        (*m)["password"] = "pw of nobody";
    }
    lab::Simulator sim(json{{"restartSilenceMs", 500}, {"modules", {module, second}}});
    ASSERT_EQ(lab::RunCli({"--version"}, {}, "", kUser).exitCode, 0) << "nobody cannot run the build's CLI";

    const lab::CliRun search = RunAsUser({"search", "--json"});
    EXPECT_EQ(search.exitCode, 0) << search.err;
    EXPECT_NE(search.out.find(web), std::string::npos) << search.out;
    EXPECT_NE(search.out.find(other), std::string::npos) << search.out;
    EXPECT_EQ(search.err.find(kNotice), std::string::npos) << "a search makes no entries, so it tells of none";

    struct Step {
        const char* command;
        std::vector<std::string> extra;
    };
    const Step steps[] = {{"login", {}}, {"reboot", {}}, {"set", {"--name", "Gate of nobody"}}};
    for (const Step& step : steps) {
        auto argv = Action(step.command, web);
        argv.push_back("--mac");
        argv.push_back(other);
        argv.insert(argv.end(), step.extra.begin(), step.extra.end());
        const lab::CliRun run = RunAsUser(argv);
        SCOPED_TRACE(step.command);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        const auto final = Final(run.out);
        ASSERT_EQ(final.size(), 2u) << run.out;
        EXPECT_EQ(final.at(web)["result"], "done") << run.out;
        EXPECT_EQ(final.at(other)["result"], "done") << run.out;
        EXPECT_EQ(Occurrences(run.err, kNotice), 1u) << "told once per run: " << run.err;
        EXPECT_EQ(PermanentNeighbours(), "");
    }

    const lab::CliRun after = RunAsUser({"search", "--json", "--filter", "Gate of nobody"});
    EXPECT_EQ(Occurrences(after.out, "\"mac\":\"" + web), 1u) << after.out;
    EXPECT_EQ(Occurrences(after.out, "\"mac\":\"" + other), 1u) << after.out;
}

TEST(UnprivilegedCliE2E, ModulesSharingAnAddressAreSentNothingWhenNothingTellsThemApart)
{
    if (!lab::InLab()) {
        GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
    }
    json modules = json::array();
    for (const char* mac : {"02:00:00:00:32:01", "02:00:00:00:32:02", "02:00:00:00:32:03"}) {
        json m = lab::Module("Web", mac, "192.0.2.100");
        m["user"] = "admin";
        m["password"] = "pw of nobody";
        modules.push_back(m);
    }
    lab::Simulator sim(json{{"restartSilenceMs", 300}, {"modules", modules}});
    const lab::CliRun run = RunAsUser({"set", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                       "--ip-from", "192.0.2.110", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("3 modules are on 192.0.2.100 and cannot be told apart"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << run.err;
    EXPECT_TRUE(Final(run.out).empty()) << run.out;
    // No password, reboot or default goes to the shared address: any module there would take them.
    for (const char* command : {"login", "reboot", "default"}) {
        const lab::CliRun refused = RunAsUser(Action(command, "02:00:00:00:32:03"));
        SCOPED_TRACE(command);
        EXPECT_EQ(refused.exitCode, 3) << refused.out << refused.err;
        const auto final = Final(refused.out);
        ASSERT_EQ(final.size(), 1u) << refused.out;
        const json& only = final.begin()->second;
        EXPECT_EQ(only["result"], "skipped") << refused.out;
        EXPECT_EQ(only["reason"], "3 modules answer at 192.0.2.100 and without static neighbour entries they "
                                  "cannot be told apart; nothing was sent")
            << refused.out;
        EXPECT_EQ(PermanentNeighbours(), "");
    }
    const lab::CliRun named = RunAsUser({"set", "--mac", "02:00:00:00:32:02", "--user", "admin", "--password-env",
                                         kPasswordVariable, "--name", "Which one?", "--json"});
    EXPECT_EQ(named.exitCode, 1) << named.out << named.err;
    EXPECT_NE(named.err.find("cannot be told apart"), std::string::npos) << named.err;

    const lab::CliRun after = RunAsUser({"search", "--json"});
    EXPECT_EQ(Occurrences(after.out, "\"ip\":\"192.0.2.100\""), 3u) << after.out;
    EXPECT_EQ(after.out.find("Which one?"), std::string::npos) << after.out;
}

}  // namespace
}  // namespace tarrowind
