// The built tarrowind-cli against simulated modules in the lab: what it reports per module and its exit code.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "commands/settings_backup.h"
#include "commands/settings_plan.h"
#include "commands/settings_restore.h"
#include "discovery/address_text.h"
#include "platform/neighbour_table.h"
#include "tests/e2e/cli_runner.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

constexpr const char* kPassword = "s3cret pw";
constexpr const char* kPasswordVariable = "TW_CLI_E2E_PASSWORD";

using lab::CliRun;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

// The final line of one module's JSON output.
json FinalLine(const std::string& out)
{
    std::istringstream lines(out);
    json last;
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line);
        if (j.contains("final")) {
            last = j;
        }
    }
    return last;
}

TEST_F(CliE2E, AChangedCertificateStopsEveryActionUntilTheUserTakesIt)
{
    const std::string mac = "02:00:00:00:20:31";
    json module = LabModule("Web", mac, "192.0.2.75");
    module["newKeyOnDefault"] = true;  // as a real module may: a factory default makes a new key
    lab::Simulator sim(json{{"restartSilenceMs", 500}, {"modules", {module}}});
    char folder[] = "/tmp/tw-trust-e2e.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string config = folder;
    const std::vector<std::string> env{std::string(kPasswordVariable) + "=" + kPassword, "XDG_CONFIG_HOME=" + config};
    const std::vector<std::string> common{"--mac", mac, "--user", "admin", "--password-env", kPasswordVariable, "--json",
                                          "--search-ms", "1500"};
    const auto cli = [&](std::vector<std::string> argv) {
        argv.insert(argv.end(), common.begin(), common.end());
        return lab::RunCli(argv, env);
    };

    // First contact learns the key; the login after the default meets the new one and is refused, even
    // with the flag given for the action.
    CliRun run = cli({"default", "--accept-new-certificate"});
    EXPECT_EQ(FinalLine(run.out)["statusName"], "CERTIFICATE_CHANGED") << run.out << run.err;
    EXPECT_EQ(run.exitCode, 1);
    const std::string file = config + "/Tarrowind/known-modules";
    const std::string before = ReadFile(file);
    EXPECT_NE(before.find(mac + " 1 "), std::string::npos) << before;
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    run = cli({"login"});
    EXPECT_EQ(FinalLine(run.out)["statusName"], "CERTIFICATE_CHANGED") << run.out;
    EXPECT_EQ(ReadFile(file), before);

    run = cli({"login", "--accept-new-certificate"});
    EXPECT_EQ(FinalLine(run.out)["statusName"], "LOGIN_SUCCESSFULLY") << run.out << run.err;
    EXPECT_NE(run.err.find(mac + ": new certificate taken"), std::string::npos) << run.err;
    EXPECT_NE(ReadFile(file), before);

    run = cli({"login"});
    EXPECT_EQ(FinalLine(run.out)["statusName"], "LOGIN_SUCCESSFULLY") << run.out;
    EXPECT_EQ(run.exitCode, 0);
    std::filesystem::remove_all(config);
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

TEST_F(CliE2E, AStoppedRunEndsItsExchangesAndLeavesNoNeighbourEntry)
{
    const std::vector<std::string> ips{"192.0.2.90", "192.0.2.91", "192.0.2.92"};
    json modules = json::array();
    for (std::size_t i = 0; i < ips.size(); ++i) {
        json m = LabModule("Web", "02:00:00:00:90:0" + std::to_string(i), ips[i]);
        m["faults"] = {{"httpDelayMs", 60000}};  // the login is still running when the signal comes
        modules.push_back(m);
    }
    lab::Simulator sim(json{{"modules", modules}});
    const std::uint32_t pc0 = lab::AdapterIndex("pc0");
    const auto permanent = [&] {
        return std::count_if(ips.begin(), ips.end(), [&](const std::string& ip) {
            return NeighbourTable::System().Lookup(pc0, ParseIpText(ip)) == NeighbourKind::Permanent;
        });
    };
    for (const auto& [signal, code] : std::vector<std::pair<int, int>>{{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}}) {
        bool allRunning = false;
        const auto started = std::chrono::steady_clock::now();
        const CliRun run = lab::RunCli({"login", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                        "--search-ms", "1000"},
                                       {std::string(kPasswordVariable) + "=" + kPassword}, "", "",
                                       [&, signal = signal](pid_t pid) {
                                      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                                      while (!(allRunning = permanent() == 3) &&
                                             std::chrono::steady_clock::now() < deadline) {
                                          std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                      }
                                      ::kill(pid, signal);
                                  });
        ASSERT_TRUE(allRunning) << run.out << run.err;
        EXPECT_EQ(run.exitCode, code) << run.err;
        EXPECT_NE(run.err.find("stopped"), std::string::npos) << run.err;
        EXPECT_EQ(permanent(), 0) << "signal " << signal;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25)) << "not the 30 s time-out";
    }
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

// Every status name a module went through in a --json run, and its final line.
struct Followed {
    std::map<std::string, std::vector<std::string>> statuses;
    std::map<std::string, json> final;
    bool Went(const std::string& mac, const std::string& status) const
    {
        const auto it = statuses.find(mac);
        return it != statuses.end() && std::find(it->second.begin(), it->second.end(), status) != it->second.end();
    }
};

Followed Follow(const std::string& out)
{
    Followed f;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.contains("mac") || !j["mac"].is_string()) {
            continue;
        }
        if (j.contains("final")) {
            f.final[j["mac"]] = j;
        } else if (j.contains("statusName")) {
            f.statuses[j["mac"]].push_back(j["statusName"]);
        }
    }
    return f;
}

TEST_F(CliE2E, SettingsOfAModuleTooBusyToShowThemWriteNothing)
{
    const std::string busy = "02:00:00:00:2B:01";
    json module = LabModule("Web", busy, "192.0.2.87");
    module["name"] = "Kept name";
    module["faults"] = {{"busySettingsPage", true}};
    lab::Simulator sim(json{{"restartSilenceMs", 300}, {"modules", {module}}});
    const std::vector<std::string> common = {"--mac", busy, "--user", "admin", "--password-env", kPasswordVariable,
                                             "--json", "--search-ms", "1500"};
    const auto set = [&](std::vector<std::string> options) {
        options.insert(options.begin(), "set");
        options.insert(options.end(), common.begin(), common.end());
        return RunCli(options);
    };
    // One module's sheet read by the command, and many modules' changes read by the worker.
    for (const CliRun& run : {set({"--name", "Renamed"}), set({"--ip-from", "192.0.2.88"})}) {
        const Followed f = Follow(run.out);
        ASSERT_EQ(f.final.count(busy), 1u) << run.out;
        EXPECT_EQ(f.final.at(busy)["statusName"], "SETTINGS_UNREADABLE") << run.out;
        EXPECT_EQ(f.final.at(busy)["result"], "failed");
        EXPECT_NE(f.final.at(busy)["reason"].get<std::string>().find(busy), std::string::npos);
        EXPECT_FALSE(f.Went(busy, "WAIT_FOR_LOGIN")) << "the module restarted: something was posted\n" << run.out;
        EXPECT_EQ(run.exitCode, 1);
    }
    const auto listed = SearchCsv();
    EXPECT_EQ(listed.at(busy), (std::pair<std::string, std::string>{"Kept name", "192.0.2.87"}));
}

TEST_F(CliE2E, FirmwareThatTheModuleDoesNotTakeIsNoSuccess)
{
    const std::string good = "02:00:00:00:2C:01", stuck = "02:00:00:00:2C:02";
    json takes = LabModule("Web", good, "192.0.2.89");
    json keeps = LabModule("Web", stuck, "192.0.2.90");
    takes["version"] = keeps["version"] = "V3.1.0-2";
    keeps["faults"] = {{"keepVersion", true}};
    lab::Simulator sim(json{{"restartSilenceMs", 300}, {"modules", {takes, keeps}}});
    char folderTemplate[] = "/tmp/tarrowind-cli-fw-XXXXXX";
    ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
    const std::string folder = std::string(folderTemplate) + "/";
    std::ofstream(folder + "latest.bin") << "SIMFW version=V3.2.0-7\n" << std::string(40000, 'l');
    std::ofstream(folder + "chosen.bin") << "SIMFW version=V3.3.0-1\n" << std::string(40000, 'c');
    std::ofstream(folder + "Tarrowind.ini") << "[QT-DC410]\nVersion=3.2.0\nDate=7\nFile=latest.bin\n";
    const std::vector<std::string> common = {"--all", "--user", "admin", "--password-env", kPasswordVariable, "--json",
                                             "--search-ms", "1500"};
    const auto run = [&](std::vector<std::string> options) {
        options.insert(options.end(), common.begin(), common.end());
        return RunCli(options);
    };

    CliRun latest = run({"latest", "--firmware-folder", folder});
    Followed f = Follow(latest.out);
    ASSERT_EQ(f.final.size(), 2u) << latest.out;
    EXPECT_EQ(f.final.at(good)["statusName"], "LOGIN_SUCCESSFULLY") << latest.out;
    EXPECT_EQ(f.final.at(good)["result"], "done");
    EXPECT_EQ(f.final.at(good)["versionBefore"], "V3.1.0-2");
    EXPECT_EQ(f.final.at(good)["versionAfter"], "V3.2.0-7");
    EXPECT_EQ(f.final.at(stuck)["statusName"], "FIRMWARE_NOT_TAKEN") << latest.out;
    EXPECT_EQ(f.final.at(stuck)["result"], "failed");
    EXPECT_EQ(f.final.at(stuck)["versionAfter"], "V3.1.0-2");
    EXPECT_TRUE(f.Went(stuck, "WAIT_FOR_LOGIN")) << "the update itself ran";
    EXPECT_EQ(latest.exitCode, 1);

    CliRun chosen = run({"firmware", folder + "chosen.bin"});
    f = Follow(chosen.out);
    EXPECT_EQ(f.final.at(good)["versionBefore"], "V3.2.0-7") << chosen.out;
    EXPECT_EQ(f.final.at(good)["versionAfter"], "V3.3.0-1");
    EXPECT_EQ(f.final.at(good)["result"], "done");
    EXPECT_EQ(f.final.at(stuck)["statusName"], "FIRMWARE_NOT_TAKEN") << chosen.out;
    EXPECT_EQ(chosen.exitCode, 1);

    // Flashing the version a module already has, on purpose.
    CliRun same = RunCli({"firmware", folder + "chosen.bin", "--allow-same-version", "--mac", stuck, "--user", "admin",
                          "--password-env", kPasswordVariable, "--search-ms", "1500"});
    EXPECT_NE(same.out.find("VERSION BEFORE\tVERSION AFTER"), std::string::npos) << same.out;
    EXPECT_NE(same.out.find("\tdone\t\tV3.1.0-2\tV3.1.0-2"), std::string::npos) << same.out;
    EXPECT_EQ(same.exitCode, 0);
    std::filesystem::remove_all(folderTemplate);
}

TEST_F(CliE2E, SetIpFromMovesEveryModuleOffTheFactoryAddressTheyShare)
{
    // New modules straight from the box: one address, told apart only by their MACs.
    const std::string a = "02:00:00:00:24:01", b = "02:00:00:00:24:02", dactyl = "02:00:00:00:24:03",
                      reader = "02:00:00:00:24:04";
    lab::Simulator sim(json{{"restartSilenceMs", 300},
                            {"modules",
                             {LabModule("Web", a, "192.0.2.100"), LabModule("Web", b, "192.0.2.100"),
                              LabModule("WebDactyl", dactyl, "192.0.2.100"),
                              LabModule("BinaryDactyl", reader, "192.0.2.100")}}});
    const std::vector<std::string> args = {"set", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                           "--ip-from", "192.0.2.110", "--json", "--search-ms", "1500"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const CliRun preview = RunCli(dry);
    EXPECT_EQ(preview.exitCode, 0) << preview.out << preview.err;
    const JsonRun planned = ParseJsonLines(preview.out);
    ASSERT_EQ(planned.plan.size(), 4u) << preview.out;
    EXPECT_EQ(planned.plan[0]["note"], "assigned (4 modules on 192.0.2.100: moved one after another)");

    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const JsonRun done = ParseJsonLines(run.out);
    ASSERT_EQ(done.final.size(), 4u) << run.out;
    const std::pair<std::string, std::string> moved[] = {
        {a, "192.0.2.110"}, {b, "192.0.2.111"}, {dactyl, "192.0.2.112"}, {reader, "192.0.2.113"}};
    for (const auto& [mac, ip] : moved) {
        EXPECT_EQ(done.final.at(mac)["result"], "done") << run.out;
        EXPECT_EQ(done.final.at(mac)["ip"], ip) << run.out;
        EXPECT_EQ(done.final.at(mac)["statusName"], "LOGIN_SUCCESSFULLY");
    }
    const auto listed = SearchCsv();
    for (const auto& [mac, ip] : moved) {
        EXPECT_EQ(listed.at(mac).second, ip) << mac;
    }
    // Logged in again at their own addresses: a reboot of all of them reaches each one.
    const CliRun again = RunCli({"reboot", "--all", "--user", "admin", "--password-env", kPasswordVariable, "--json",
                                 "--search-ms", "1500"});
    const JsonRun rebooted = ParseJsonLines(again.out);
    for (const std::string& mac : {a, b, dactyl}) {
        EXPECT_EQ(rebooted.final.at(mac)["result"], "done") << again.out;
    }
}

TEST_F(CliE2E, SetGivesNoModuleATakenSharedOrUnusableAddress)
{
    const std::string a = "02:00:00:00:25:01", b = "02:00:00:00:25:02";
    lab::Simulator sim(json{{"restartSilenceMs", 300},
                            {"modules", {LabModule("Web", a, "192.0.2.120"), LabModule("Web", b, "192.0.2.121")}}});
    const auto set = [](std::vector<std::string> extra) {
        std::vector<std::string> argv = {"set", "--user", "admin", "--password-env", kPasswordVariable, "--json",
                                         "--search-ms", "1500"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return RunCli(argv);
    };
    struct Case {
        std::vector<std::string> extra;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {{"--mac", a, "--new-ip", "192.0.2.121"}, 1, "is that of 02:00:00:00:25:02"},
        {{"--mac", a, "--ip", "192.0.2.121"}, 1, "is that of 02:00:00:00:25:02"},  // the one --ip after --mac
        // Four decimal numbers, as --ip-from reads them: none of the C library's hex or short forms.
        {{"--mac", a, "--new-ip", "192.0.2.0x79"}, 2, "not a dotted IPv4 address"},
        {{"--mac", a, "--new-ip", "192.0.2"}, 2, "not a dotted IPv4 address"},
        {{"--mac", a, "--mac", b, "--new-ip", "192.0.2.130"}, 2, "2 modules the one address 192.0.2.130"},
        {{"--mac", a, "--new-ip", "192.0.2.131", "--gateway", "192.0.2.131"}, 1, "the module's own address"},
        {{"--mac", a, "--mask", "255.255.255.252"}, 1, "not a host address"},  // .120 is its /30's network
        {{"--mac", a, "--new-ip", "198.51.100.40"}, 1, "gateway 192.0.2.254 is not a host address"},
        {{"--mac", a, "--gateway", "192.0.2.121"}, 1, "address of another module"},
        {{"--all", "--ip-from", "192.0.2.253"}, 1, "nothing was changed"},  // .254 would be the kept gateway
    };
    for (const Case& c : cases) {
        const CliRun run = set(c.extra);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.extra.back() << run.out << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_TRUE(ParseJsonLines(run.out).final.empty()) << run.out;
    }
    const auto listed = SearchCsv();
    EXPECT_EQ(listed.at(a).second, "192.0.2.120");
    EXPECT_EQ(listed.at(b).second, "192.0.2.121");
}

TEST_F(CliE2E, ARunWhoseOutputIsNoLongerReadStopsAtOnce)
{
    json modules = json::array();
    for (int i = 0; i < 3; ++i) {
        json m = LabModule("Web", "02:00:00:00:91:0" + std::to_string(i), "192.0.2.9" + std::to_string(3 + i));
        m["faults"] = {{"httpDelayMs", 60000}};
        modules.push_back(m);
    }
    lab::Simulator sim(json{{"modules", modules}});
    ::setenv(kPasswordVariable, kPassword, 1);
    // `head` leaves after the first line, long before the modules answer; the exit code is the CLI's.
    const std::string command = "bash -c 'set -o pipefail; \"" + lab::CliBinary() +
                                "\" login --all --user admin --password-env " + kPasswordVariable +
                                " --search-ms 1000 2>/dev/null | head -n 1 >/dev/null'";
    const auto started = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    ::unsetenv(kPasswordVariable);
    EXPECT_EQ(WEXITSTATUS(status), 141);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "not the 30 s time-out";
    const std::uint32_t pc0 = lab::AdapterIndex("pc0");
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(NeighbourTable::System().Lookup(pc0, ParseIpText("192.0.2.9" + std::to_string(3 + i))),
                  NeighbourKind::Permanent);
    }
}

TEST_F(CliE2E, AFailedUpdateInWavesHoldsTheModulesNotYetStarted)
{
    const std::string good = "02:00:00:00:2D:01", bad = "02:00:00:00:2D:02", late = "02:00:00:00:2D:03";
    json modules = json::array();
    for (const auto& [mac, ip] : {std::pair{good, "192.0.2.93"}, {bad, "192.0.2.94"}, {late, "192.0.2.95"}}) {
        modules.push_back(LabModule("Web", mac, ip));
        modules.back()["version"] = "V3.1.0-2";
    }
    modules[1]["faults"] = {{"refuse", {"Upload"}}};
    lab::Simulator sim(json{{"restartSilenceMs", 300}, {"modules", modules}});
    char folderTemplate[] = "/tmp/tarrowind-cli-waves-XXXXXX";
    ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
    const std::string file = std::string(folderTemplate) + "/new.bin";
    std::ofstream(file) << "SIMFW version=V3.3.0-1\n" << std::string(40000, 'w');
    // The modules are taken in the order of --mac: the first is the first wave.
    const auto run = [&](const std::vector<std::string>& order) {
        std::vector<std::string> argv = {"firmware", file, "--wave", "1", "--stop-on-failure", "--user", "admin",
                                         "--password-env", kPasswordVariable, "--json", "--search-ms", "1500"};
        for (const std::string& mac : order) {
            argv.insert(argv.end(), {"--mac", mac});
        }
        return RunCli(argv);
    };

    CliRun held = run({bad, good, late});
    Followed f = Follow(held.out);
    ASSERT_EQ(f.final.size(), 3u) << held.out;
    EXPECT_EQ(f.final.at(bad)["statusName"], "FIRMWARE_UPDATE_FAILED") << held.out;
    EXPECT_EQ(f.final.at(bad)["result"], "failed");
    for (const std::string& mac : {good, late}) {
        EXPECT_EQ(f.final.at(mac)["result"], "held") << held.out;
        EXPECT_EQ(f.final.at(mac)["reason"], "held: an earlier update failed");
        EXPECT_EQ(f.final.at(mac)["versionAfter"], "V3.1.0-2");
        EXPECT_FALSE(f.Went(mac, "FIRMWARE_UPLOADING")) << held.out;
    }
    EXPECT_EQ(held.exitCode, 1);

    // A first wave that ends well lets the rest go; a failure among them holds none already running.
    CliRun rolled = run({good, bad, late});
    f = Follow(rolled.out);
    ASSERT_EQ(f.final.size(), 3u) << rolled.out;
    EXPECT_EQ(f.final.at(good)["versionAfter"], "V3.3.0-1") << rolled.out;
    EXPECT_EQ(f.final.at(late)["versionAfter"], "V3.3.0-1") << rolled.out;
    EXPECT_EQ(f.final.at(bad)["result"], "failed");
    const std::size_t goodEnded = rolled.out.rfind("{\"mac\":\"" + good + "\",\"ip\":\"192.0.2.93\",\"action\":\"None\"");
    const std::size_t lateBegan = rolled.out.find("{\"mac\":\"" + late + "\",\"ip\":\"192.0.2.95\",\"action\":\"FirmwareUpdate\","
                                                  "\"status\":17");
    ASSERT_NE(goodEnded, std::string::npos) << rolled.out;
    ASSERT_NE(lateBegan, std::string::npos) << rolled.out;
    EXPECT_LT(goodEnded, lateBegan) << "the rest waited for the first wave";
    std::filesystem::remove_all(folderTemplate);
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

// A replacement takes its predecessor's settings: saved from one module, restored onto another of the
// same model with another MAC, and read back from it value by value.
TEST_F(CliE2E, BackupOfOneModuleRestoresOntoItsReplacementValueByValue)
{
    const std::string old = "02:00:00:00:26:01", spare = "02:00:00:00:26:02", reader = "02:00:00:00:26:03",
                      dactyl = "02:00:00:00:26:04";
    json first = LabModule("Web", old, "192.0.2.140");
    first.update(json{{"name", "Door 7"}, {"dns", "192.0.2.53"}, {"sendToServer", 1}, {"serverAddress", "192.0.2.60"},
                      {"myName", "door7"}, {"ddns", 1}, {"hostName", "door7.example"}, {"ddnsUser", "site"},
                      {"ddnsPassword", "dd&ns pw"}, {"des1", "0123456789ABCDEF"}, {"des2", "FEDCBA9876543210"},
                      {"des3", "00112233AABBCCDD"}, {"devicePort", 4100}});
    // Two new modules on one factory address: each file must hold its own module's values.
    json newA = LabModule("Web", "02:00:00:00:26:0A", "192.0.2.144"), newB = LabModule("Web", "02:00:00:00:26:0B", "192.0.2.144");
    newA["name"] = "New A";
    newB["name"] = "New B";
    const json others = {LabModule("Web", spare, "192.0.2.141"), LabModule("BinaryDactyl", reader, "192.0.2.142"),
                         LabModule("WebDactyl", dactyl, "192.0.2.143"), newA, newB};
    json modules = others;
    modules.push_back(first);
    lab::Simulator sim(json{{"restartSilenceMs", 300}, {"modules", modules}});
    const std::string folder = ::testing::TempDir() + "tarrowind-backup-e2e";
    std::filesystem::remove_all(folder);
    const auto backup = [&](const std::string& out) {
        return RunCli({"backup", "--all", "--user", "admin", "--password-env", kPasswordVariable, "--out", out,
                       "--json", "--search-ms", "1500"});
    };
    const CliRun saved = backup(folder);
    const JsonLines savedLines = FinalLines(saved.out);
    EXPECT_EQ(saved.exitCode, 3) << saved.out << saved.err;  // the reader is skipped
    EXPECT_EQ(savedLines.at(reader)["result"], "skipped");
    const std::string file = folder + "/02-00-00-00-26-01.json";
    ASSERT_EQ(savedLines.at(old)["result"], "done") << saved.out;
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string text = ReadFile(file);
    for (const auto& [mac, name] : {std::pair{"0A", "New A"}, {"0B", "New B"}}) {
        EXPECT_EQ(ReadSettingsBackup(ReadFile(folder + "/02-00-00-00-26-" + mac + ".json")).backup.settings.machineName, name);
    }
    EXPECT_EQ(text.find(kPassword), std::string::npos) << "the login password is never saved";
    EXPECT_NE(text.find("dd&ns pw"), std::string::npos);

    const auto restore = [&](const std::string& mac, std::vector<std::string> extra) {
        std::vector<std::string> argv = {"restore", file, "--mac", mac, "--user", "admin", "--password-env",
                                         kPasswordVariable, "--search-ms", "1500"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return RunCli(argv);
    };
    const CliRun refused = restore(dactyl, {});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("same model"), std::string::npos) << refused.err;
    const CliRun taken = restore(spare, {"--with-network"});
    EXPECT_EQ(taken.exitCode, 1) << "the predecessor still answers at its address";
    EXPECT_NE(taken.err.find("is that of " + old), std::string::npos) << taken.err;

    // The predecessor fails; the spare takes its settings, its address included.
    sim.Reload(json{{"restartSilenceMs", 300}, {"modules", others}});
    const CliRun dry = restore(spare, {"--with-network", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.out << dry.err;
    EXPECT_NE(dry.out.find("IP\t192.0.2.141\t192.0.2.140\tchanged"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("DDNS password\t(secret)\t(secret)\tchanged"), std::string::npos) << dry.out;
    EXPECT_EQ(dry.out.find("dd&ns pw"), std::string::npos) << "no secret is printed";
    const CliRun run = restore(spare, {"--with-network"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    const CliRun check = backup(folder + "/after");
    ASSERT_EQ(FinalLines(check.out).at(spare)["result"], "done") << check.out;
    EXPECT_EQ(FinalLines(check.out).at(spare)["ip"], "192.0.2.140");
    const BackupRead before = ReadSettingsBackup(text);
    const BackupRead after = ReadSettingsBackup(ReadFile(folder + "/after/02-00-00-00-26-02.json"));
    ASSERT_EQ(after.error, BackupReadError::None);
    EXPECT_EQ(after.backup.mac, spare);
    for (const RestoreField& f : PreviewRestore(before.backup.settings, after.backup.settings, true)) {
        EXPECT_EQ(f.state, RestoreFieldState::Unchanged) << f.field;
    }
    std::filesystem::remove_all(folder);
}

// A firmware folder of its own, removed at the end.
struct FirmwareFolder {
    std::string path;
    FirmwareFolder(const std::string& list)
    {
        char folderTemplate[] = "/tmp/tarrowind-cli-list-XXXXXX";
        if (::mkdtemp(folderTemplate) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        path = folderTemplate;
        std::ofstream(path + "/Tarrowind.ini") << list;
    }
    ~FirmwareFolder() { std::filesystem::remove_all(path); }
};

TEST_F(CliE2E, SearchComparesEveryWebModuleWithTheFirmwareList)
{
    const std::string old = "02:00:00:00:2F:01", current = "02:00:00:00:2F:02", unlisted = "02:00:00:00:2F:03";
    json a = LabModule("Web", old, "192.0.2.95"), b = LabModule("Web", current, "192.0.2.96");
    json c = LabModule("WebDactyl", unlisted, "192.0.2.97");
    a["version"] = "V3.1.0-2";
    b["version"] = "V3.2.0-7";
    lab::Simulator sim(json{{"modules", {a, b, c}}});
    const FirmwareFolder folder("[QT-DC410]\nVersion=3.2.0\nDate=7\nFile=latest.bin\n");

    const CliRun run = RunCli({"search", "--json", "--firmware-folder", folder.path, "--search-ms", "1500"});
    std::map<std::string, json> found;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const json j = json::parse(line);
        if (j.contains("mac")) {
            found[j["mac"]] = j;
        }
    }
    ASSERT_EQ(found.size(), 3u) << run.out;
    EXPECT_EQ(found[old]["latestVersion"], "V3.2.0-7");
    EXPECT_EQ(found[old]["updateAvailable"], true);
    EXPECT_EQ(found[current]["updateAvailable"], false);
    EXPECT_EQ(found[unlisted]["latestVersion"], "");
    EXPECT_TRUE(found[unlisted]["updateAvailable"].is_null());

    const CliRun csv = RunCli({"search", "--csv", "--firmware-folder", folder.path, "--search-ms", "1500"});
    EXPECT_NE(csv.out.find("Adapter index,Latest version,Update available\r\n"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find(old + ",192.0.2.95,"), std::string::npos);
    EXPECT_NE(csv.out.find(",V3.2.0-7,yes\r\n"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find(",,not listed\r\n"), std::string::npos) << csv.out;
}

TEST_F(CliE2E, ANewLoginForTwoModulesIsTheirsAfterTheirRestartAndAWeakOneIsRefused)
{
    const std::string a = "02:00:00:00:30:01", b = "02:00:00:00:30:02";
    lab::Simulator sim(json{{"restartSilenceMs", 300},
                            {"modules", {LabModule("Web", a, "192.0.2.98"), LabModule("Web", b, "192.0.2.99")}}});
    const std::string newVariable = "TW_CLI_E2E_NEW_PASSWORD";
    const auto run = [&](std::vector<std::string> options, const std::string& newPassword) {
        return lab::RunCli(options, {std::string(kPasswordVariable) + "=" + kPassword, newVariable + "=" + newPassword});
    };
    const std::vector<std::string> change = {"set", "--all", "--user", "admin", "--password-env", kPasswordVariable,
                                             "--new-user", "boss", "--new-password-env", newVariable, "--json",
                                             "--search-ms", "1500"};

    const CliRun weak = run(change, "short");
    EXPECT_EQ(weak.exitCode, 2);
    EXPECT_NE(weak.err.find("fewer than 8 characters"), std::string::npos) << weak.err;
    EXPECT_EQ(weak.err.find("short"), std::string::npos) << "the password itself is never shown";

    const CliRun changed = run(change, "n3w-pass-word");
    const JsonLines final = FinalLines(changed.out);
    ASSERT_EQ(final.size(), 2u) << changed.out << changed.err;
    for (const std::string& mac : {a, b}) {
        EXPECT_EQ(final.at(mac)["result"], "done") << changed.out;
    }
    EXPECT_EQ(changed.exitCode, 0);
    EXPECT_EQ(changed.out.find("n3w-pass-word"), std::string::npos);

    const CliRun login = run({"login", "--all", "--user", "boss", "--password-env", newVariable, "--json",
                              "--search-ms", "1500"},
                             "n3w-pass-word");
    const JsonLines loggedIn = FinalLines(login.out);
    ASSERT_EQ(loggedIn.size(), 2u) << login.out;
    for (const std::string& mac : {a, b}) {
        EXPECT_EQ(loggedIn.at(mac)["statusName"], "LOGIN_SUCCESSFULLY") << login.out;
    }
    EXPECT_EQ(login.exitCode, 0);
}

}  // namespace
}  // namespace tarrowind
