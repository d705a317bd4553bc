// The built tarrowind-cli against simulated modules in the lab: what it reports per module and its exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "commands/settings_plan.h"
#include "tests/e2e/cli_runner.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

constexpr const char* kPassword = "s3cret pw";
constexpr const char* kPasswordVariable = "TW_CLI_E2E_PASSWORD";

using lab::CliRun;

// The password goes in the CLI's environment, or on its standard input, never in its arguments.
CliRun RunCli(const std::vector<std::string>& argv, const std::string& input = "")
{
    return lab::RunCli(argv, {std::string(kPasswordVariable) + "=" + kPassword}, input);
}

json LabModule(const std::string& kind, const std::string& mac, const std::string& ip,
               const std::string& password = kPassword)
{
    json m = Module(kind, mac, ip);
    if (kind != "LongReply") {
        m["user"] = "admin";
        m["password"] = password;
    }
    return m;
}

// The final line of each module of a --json action run, by MAC.
using JsonLines = std::map<std::string, json>;
JsonLines FinalLines(const std::string& out)
{
    JsonLines final;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line);
        if (j.contains("final")) {
            final[j["mac"]] = j;
        }
    }
    return final;
}

class CliE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lab::InLab()) {
            GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
        }
    }
};

TEST_F(CliE2E, RebootAllRestartsTheWebModuleAndReportsTheReaderSkipped)
{
    const std::string web = "02:00:00:00:20:01", reader = "02:00:00:FD:20:02";
    lab::Simulator sim(json{{"restartSilenceMs", 500},
                        {"modules", {LabModule("Web", web, "192.0.2.70"), LabModule("BinaryDactyl", reader, "192.0.2.71")}}});
    const CliRun run =
        RunCli({"reboot", "--all", "--user", "admin", "--password-env", kPasswordVariable, "--json", "--search-ms", "1500"});

    std::map<std::string, json> final;
    std::map<std::string, std::vector<std::string>> statuses;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line);
        if (j.contains("final")) {
            final[j["mac"]] = j;
        } else {
            statuses[j["mac"]].push_back(j["statusName"]);
        }
    }
    ASSERT_EQ(final.size(), 2u) << run.out;
    EXPECT_EQ(final[web]["result"], "done") << run.out;
    EXPECT_EQ(final[web]["statusName"], "LOGIN_SUCCESSFULLY");
    const auto& w = statuses[web];
    EXPECT_NE(std::find(w.begin(), w.end(), "REBOOT"), w.end()) << "the web module really restarted";
    EXPECT_NE(std::find(w.begin(), w.end(), "WAIT_FOR_LOGIN"), w.end());

    EXPECT_EQ(final[reader]["result"], "skipped") << run.out;
    EXPECT_NE(final[reader]["reason"].get<std::string>().find("BinaryDactyl"), std::string::npos);
    const auto& r = statuses[reader];
    EXPECT_EQ(std::find(r.begin(), r.end(), "QUEUE_REBOOT"), r.end()) << "nothing was posted to the reader";
    EXPECT_EQ(run.exitCode, 3);
}

TEST_F(CliE2E, AnImpostorNamingAModulesAddressGetsNoPasswordAndTheModuleStillLogsIn)
{
    const std::string mac = "02:00:00:00:24:01";
    json real = LabModule("Web", mac, "192.0.2.76");
    real["name"] = "Door\x1b]52;c;SGk=\x07";
    real["faults"] = {{"delayMs", 300}};  // the impostor answers first
    json impostor = LabModule("Web", "02:00:00:00:24:99", "192.0.2.77");
    impostor["macText"] = mac;
    impostor["faults"] = {{"namesAddress", "192.0.2.76"}};
    lab::Simulator sim(json{{"modules", {real, impostor}}});

    const CliRun search = RunCli({"search", "--json", "--search-ms", "1500"});
    std::vector<json> lines;
    std::istringstream out(search.out);
    for (std::string line; std::getline(out, line);) {
        const json j = json::parse(line);
        if (j.contains("mac") && j["mac"] == mac) {
            lines.push_back(j);
        }
    }
    ASSERT_EQ(lines.size(), 2u) << search.out;
    EXPECT_EQ(lines[0]["addressConfirmed"], false);
    EXPECT_EQ(lines[0]["replyFrom"], "192.0.2.77");
    EXPECT_EQ(lines[1]["addressConfirmed"], true) << "the module's own reply takes its place";
    EXPECT_EQ(lines[1]["replyFrom"], "192.0.2.76");
    EXPECT_EQ(lines[1]["name"], "Door\x1b]52;c;SGk=\x07");
    EXPECT_EQ(search.out.find('\x1b'), std::string::npos) << "no control reaches the terminal";
    EXPECT_NE(search.err.find(mac + ": this reply came from 192.0.2.77 but names 192.0.2.76"), std::string::npos)
        << search.err;

    const CliRun plain = RunCli({"search", "--search-ms", "1500"});
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);
    EXPECT_NE(plain.out.find("Door\\x1b]52;c;SGk=\\x07"), std::string::npos) << plain.out;

    const std::vector<std::string> login = {"login", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                            "--json", "--search-ms", "1500"};
    JsonLines done = FinalLines(RunCli(login).out);
    ASSERT_EQ(done.count(mac), 1u);
    EXPECT_EQ(done[mac]["result"], "done");
    EXPECT_EQ(done[mac]["ip"], "192.0.2.76");

    // Alone, the impostor is listed but sent nothing.
    impostor["password"] = kPassword;
    sim.Reload(json{{"modules", {impostor}}});
    const CliRun refused = RunCli(login);
    done = FinalLines(refused.out);
    ASSERT_EQ(done.count(mac), 1u) << refused.out;
    EXPECT_EQ(done[mac]["result"], "failed");
    EXPECT_EQ(done[mac]["statusName"], "ADDRESS_NOT_CONFIRMED");
    EXPECT_NE(done[mac]["reason"].get<std::string>().find("came from 192.0.2.77"), std::string::npos);
    EXPECT_EQ(refused.exitCode, 1);
}

TEST_F(CliE2E, LoginFromStandardInputNamesEveryResultInItsColumn)
{
    lab::Simulator sim(json{{"modules",
                         {LabModule("Web", "02:00:00:00:21:01", "192.0.2.72"),
                          LabModule("Web", "02:00:00:00:21:02", "192.0.2.73", "other"),
                          LabModule("LongReply", "02:00:00:00:21:03", "192.0.2.74")}}});
    const CliRun run = RunCli({"login", "--all", "--mac", "02:00:00:00:21:09", "--user", "admin", "--password-stdin",
                               "--search-ms", "1500"},
                              std::string(kPassword) + "\n");

    std::map<std::string, std::vector<std::string>> rows;  // by MAC: the summary's columns
    std::istringstream lines(run.out.substr(run.out.find("MAC\tIP\t")));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> columns;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) {
            columns.push_back(cell);
        }
        rows[columns.front()] = columns;
    }
    ASSERT_EQ(rows["MAC"].size(), 8u) << run.out;
    EXPECT_EQ(rows["MAC"][6], "RESULT");
    EXPECT_EQ(rows["02:00:00:00:21:01"].at(6), "done") << run.out;
    EXPECT_EQ(rows["02:00:00:00:21:02"].at(6), "failed");
    EXPECT_EQ(rows["02:00:00:00:21:03"].at(6), "skipped");
    EXPECT_NE(rows["02:00:00:00:21:03"].at(7).find("LongReply"), std::string::npos);
    EXPECT_EQ(rows["02:00:00:00:21:09"].at(6), "not found");
    EXPECT_EQ(run.exitCode, 1);
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

// The JSON lines of a run: plan lines, change lines and the final line of each module by MAC.
struct JsonRun {
    std::vector<json> plan;
    std::map<std::string, json> final;
};

JsonRun ParseJsonLines(const std::string& out)
{
    JsonRun run;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line);
        if (j.contains("plan") || j.contains("problem")) {
            run.plan.push_back(j);
        } else if (j.contains("final")) {
            run.final[j["mac"]] = j;
        }
    }
    return run;
}

// The modules as `search --csv` lists them, read back as a plan: MAC to name and address.
std::map<std::string, std::pair<std::string, std::string>> SearchCsv()
{
    const CliRun run = RunCli({"search", "--csv", "--search-ms", "1500"});
    EXPECT_EQ(run.exitCode, 0);
    const SettingsPlan listed = ReadSettingsPlan(run.out);
    EXPECT_EQ(listed.error, PlanReadError::None) << run.out;
    std::map<std::string, std::pair<std::string, std::string>> modules;
    for (const PlanRow& row : listed.rows) {
        modules[row.mac] = {row.name.value_or(""), row.ip.value_or("")};
    }
    return modules;
}

TEST_F(CliE2E, SetIpFromGivesThreeModulesTheirAddressesInMacOrder)
{
    // MAC order is not address order: the reader's MAC comes first.
    const std::string reader = "02:00:00:00:22:01", web = "02:00:00:00:22:02", dactyl = "02:00:00:00:22:03";
    lab::Simulator sim(json{{"restartSilenceMs", 300},
                            {"modules",
                             {LabModule("Web", web, "192.0.2.80"), LabModule("WebDactyl", dactyl, "192.0.2.81"),
                              LabModule("BinaryDactyl", reader, "192.0.2.82")}}});
    const std::vector<std::string> args = {"set", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                           "--ip-from", "192.0.2.90", "--mask", "255.255.255.0", "--gateway",
                                           "192.0.2.254", "--json", "--search-ms", "1500"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const CliRun preview = RunCli(dry);
    EXPECT_EQ(preview.exitCode, 0) << preview.out;
    const JsonRun planned = ParseJsonLines(preview.out);
    ASSERT_EQ(planned.plan.size(), 3u) << preview.out;
    EXPECT_EQ(planned.plan[0]["mac"], reader);
    EXPECT_EQ(planned.plan[0]["old"], "192.0.2.82");
    EXPECT_EQ(planned.plan[0]["new"], "192.0.2.90");
    EXPECT_EQ(planned.plan[2]["mac"], dactyl);
    EXPECT_EQ(planned.plan[2]["new"], "192.0.2.92");
    EXPECT_EQ(SearchCsv()[web].second, "192.0.2.80") << "a dry run changes nothing";

    const CliRun run = RunCli(args);
    const JsonRun done = ParseJsonLines(run.out);
    ASSERT_EQ(done.final.size(), 3u) << run.out;
    for (const auto& [mac, ip] : {std::pair{reader, "192.0.2.90"}, {web, "192.0.2.91"}, {dactyl, "192.0.2.92"}}) {
        EXPECT_EQ(done.final.at(mac)["result"], "done") << run.out;
        EXPECT_EQ(done.final.at(mac)["ip"], ip);
        EXPECT_EQ(done.final.at(mac)["statusName"], "LOGIN_SUCCESSFULLY");
    }
    EXPECT_EQ(run.exitCode, 0);
    const auto listed = SearchCsv();
    EXPECT_EQ(listed.at(reader).second, "192.0.2.90");
    EXPECT_EQ(listed.at(web).second, "192.0.2.91");
}

TEST_F(CliE2E, SetPlanChangesWhatTheEditedListSaysAndNothingWhenARowIsWrong)
{
    const std::string web = "02:00:00:00:23:01", reader = "02:00:00:00:23:02";
    lab::Simulator sim(json{{"restartSilenceMs", 300},
                            {"modules", {LabModule("Web", web, "192.0.2.84"), LabModule("BinaryDactyl", reader, "192.0.2.85")}}});
    char path[] = "/tmp/tarrowind-plan-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const auto write = [&](const std::string& text) {
        ASSERT_EQ(::ftruncate(fd, 0), 0);
        ASSERT_EQ(::pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    };
    const std::vector<std::string> args = {"set", "--plan", path, "--user", "admin", "--password-env",
                                           kPasswordVariable, "--json", "--search-ms", "1500"};
    // As a spreadsheet saves it: semicolons, its own column order, a quoted name.
    const std::string plan = "\xEF\xBB\xBF" "Name;MAC;IP\r\n\"Gate; east\";" + web + ";192.0.2.94\r\nLobby;" + reader +
                             ";\r\n";
    write(plan + "Nobody;02:00:00:00:23:09;192.0.2.95\r\n");
    const CliRun refused = RunCli(args);
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    const JsonRun problems = ParseJsonLines(refused.out);
    EXPECT_TRUE(std::any_of(problems.plan.begin(), problems.plan.end(),
                            [](const json& j) { return j.contains("problem") && j["line"] == 4; }))
        << refused.out;
    EXPECT_TRUE(problems.final.empty());

    write(plan);
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const JsonRun done = ParseJsonLines(run.out);
    ASSERT_EQ(done.plan.size(), 3u) << run.out;  // the web module's name and address, the reader's name
    EXPECT_EQ(done.final.at(web)["result"], "done");
    EXPECT_EQ(done.final.at(reader)["result"], "done");
    ::close(fd);
    ::unlink(path);

    const auto listed = SearchCsv();
    EXPECT_EQ(listed.at(web), (std::pair<std::string, std::string>{"Gate; east", "192.0.2.94"}));
    EXPECT_EQ(listed.at(reader), (std::pair<std::string, std::string>{"Lobby", "192.0.2.85"}));
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST_F(CliE2E, RangeReachesModulesBehindTheRouterForAnAction)
{
    if (!lab::HasRouter()) {
        GTEST_SKIP() << "needs the lab's router";
    }
    json config = lab::RoutedModules(3);
    for (json& m : config["modules"]) {
        m["user"] = "admin";
        m["password"] = kPassword;
    }
    lab::Simulator sim(config);
    const std::vector<std::string> login = {"login", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                            "--json", "--search-ms", "1500"};
    EXPECT_EQ(RunCli(login).exitCode, 1) << "no broadcast reaches them: the search finds no module";

    std::vector<std::string> ranged = login;
    for (const char* option : {"--range", "203.0.113.120-203.0.113.126", "--range", lab::kRoutedRange, "--rate", "500"}) {
        ranged.emplace_back(option);
    }
    const CliRun run = RunCli(ranged);
    const JsonRun done = ParseJsonLines(run.out);
    ASSERT_EQ(done.final.size(), 3u) << run.out;
    for (const auto& [mac, line] : done.final) {
        EXPECT_EQ(line["result"], "done") << mac << "\n" << run.out;
    }
    EXPECT_EQ(run.exitCode, 0);

    ranged.back() = "0";
    EXPECT_EQ(RunCli(ranged).exitCode, 2) << "a rate of 0 is refused before anything is sent";
}

}  // namespace
}  // namespace tarrowind
