#include <gtest/gtest.h>

#include <map>

#include "operations/module_settings.h"
#include "operations/settings_change.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;
using testing::Ip;
using Statuses = std::vector<std::int32_t>;

struct JobWorkerTest : testing::OperationsFixture {
    // Runs one record's action to its end and returns the statuses it showed.
    Statuses Run(DeviceRecord& r)
    {
        log.entries.clear();
        EXPECT_EQ(manager->QueueJob(&r), 1);
        RunWorkers();
        EXPECT_EQ(manager->GetJobCount(), 0);
        EXPECT_TRUE(neighbours.entries.empty());
        return log.Statuses();
    }
    std::size_t Probes() const
    {
        std::size_t n = 0;
        for (const auto& s : sockets.sent) {
            n += s.port == CControllerManager::kTextProbePort ? 1 : 0;
        }
        return n;
    }
};

TEST_F(JobWorkerTest, LoginEndsInSuccessOrFailureWithTheActionCleared)
{
    struct Case {
        bool dactyl;
        const char* answer;
        std::int32_t result;
        const char* path;
    };
    const Case cases[] = {
        {false, "<html>Other</html>", kStatusLoginSuccessfully, "/Eng/Other.htm"},
        {false, "401 Unauthorized", kStatusLoginFailed, "/Eng/Other.htm"},
        {true, "<html>Welcome</html>", kStatusLoginSuccessfully, "/login.cgi?user=admin&pswd="},
        {true, "Login Fail", kStatusLoginFailed, "/login.cgi?user=admin&pswd="},
    };
    for (const Case& c : cases) {
        DeviceRecord r = c.dactyl ? DactylReader() : WebModule();
        r.action = kActionSetLogin;
        r.status = kStatusQueueLogin;
        http.handler = [&c](const HttpRequest&) { return Answer(c.answer); };
        EXPECT_EQ(Run(r), (Statuses{kStatusLogin, c.result})) << c.answer;
        EXPECT_EQ(log.entries.front().action, kActionSetLogin);
        EXPECT_EQ(log.entries.back().action, kActionNone);
        EXPECT_EQ(http.Requests().back().request.path, c.path);
        EXPECT_EQ(http.Requests().back().request.basicAuth, !c.dactyl);
    }
}

// An error number of this platform's HTTP layer of the given kind.
int CodeOfKind(HttpFailureKind kind)
{
    for (int code = 1; code < 20000; ++code) {
        if (HttpClient::KindOf(code) == kind) {
            return code;
        }
    }
    ADD_FAILURE() << "no code of this kind";
    return 0;
}

TEST_F(JobWorkerTest, AFailedLoginOrRestartSaysWhyAWrongPasswordApartFromNoAnswer)
{
    struct Case {
        bool dactyl;
        std::int32_t queued;
        HttpResult answer;
        std::int32_t status;
        FailureReason reason;
    };
    const Case cases[] = {
        {false, kStatusQueueLogin, Answer("401 Unauthorized"), kStatusLoginFailed, FailureReason::CredentialsRefused},
        {true, kStatusQueueLogin, Answer("Login Fail"), kStatusLoginFailed, FailureReason::CredentialsRefused},
        {false, kStatusQueueLogin, Answer("404 Not Found"), kStatusLoginFailed, FailureReason::RefusalPage},
        {false, kStatusQueueLogin, HttpResult{CodeOfKind(HttpFailureKind::NoAnswer), 0, {}}, kStatusLoginFailed,
         FailureReason::NoAnswer},
        {false, kStatusQueueLogin, HttpResult{CodeOfKind(HttpFailureKind::TimedOut), 0, "401 Unauthorized"},
         kStatusLoginFailed, FailureReason::TimedOut},
        {true, kStatusQueueLogin, HttpResult{CodeOfKind(HttpFailureKind::Tls), 0, {}}, kStatusLoginFailed,
         FailureReason::TlsFailed},
        {false, kStatusQueueLogin, Answer("<html>Other</html>"), kStatusLoginSuccessfully, FailureReason::None},
        {false, kStatusQueueReboot, HttpResult{CodeOfKind(HttpFailureKind::TimedOut), 0, {}}, kStatusRebootFailed,
         FailureReason::TimedOut},
    };
    for (const Case& c : cases) {
        DeviceRecord r = c.dactyl ? DactylReader() : WebModule();
        r.action = c.queued == kStatusQueueLogin ? kActionSetLogin : kActionReboot;
        r.status = c.queued;
        r.failureReason = FailureReason::Cancelled;  // from an earlier action: the new one decides
        http.handler = [&c](const HttpRequest&) { return c.answer; };
        Run(r);
        EXPECT_EQ(r.status, c.status) << c.answer.body << " " << c.answer.code;
        EXPECT_EQ(r.failureReason, c.reason) << c.answer.body << " " << c.answer.code;
    }
}

TEST_F(JobWorkerTest, ARefusedPasswordInSettingsRebootOrFirmwareIsToldApartFromARefusedPage)
{
    testing::TempDir dir;
    const std::string firmware = dir.Write("a.bin", "image");
    struct Case {
        std::int32_t queued;
        int payload;  // 0 none, 1 a whole form from the sheet, 2 a change read first
        const char* answer;
        std::int32_t status;
        FailureReason reason;
    };
    const Case cases[] = {
        {kStatusQueueSetting, 1, "401 Unauthorized", kStatusSettingFailed, FailureReason::CredentialsRefused},
        {kStatusQueueSetting, 2, "401 Unauthorized", kStatusSettingFailed, FailureReason::CredentialsRefused},
        {kStatusQueueSetting, 2, "404 Not Found", kStatusSettingFailed, FailureReason::RefusalPage},
        {kStatusQueueReboot, 0, "401 Unauthorized", kStatusRebootFailed, FailureReason::CredentialsRefused},
        {kStatusQueueSetDefault, 0, "401 Unauthorized", kStatusSetDefaultFailed, FailureReason::CredentialsRefused},
        {kStatusQueueFirmwareUpdate, 0, "401 Unauthorized", kStatusFirmwareUpdateFailed,
         FailureReason::CredentialsRefused},
    };
    for (const Case& c : cases) {
        DeviceRecord r = WebModule();
        r.action = c.queued == kStatusQueueSetting          ? kActionSetting
                   : c.queued == kStatusQueueFirmwareUpdate ? kActionFirmwareUpdate
                                                            : kActionReboot;
        r.status = c.queued;
        r.firmwareFile = firmware;
        if (c.payload == 1) {
            ModuleSettings whole;
            whole.target = HttpTarget::ForRecord(r);
            r.pendingPayload = MakePayload(whole);
        } else if (c.payload == 2) {
            SettingsChange change;
            change.name = "Door";
            r.pendingPayload = MakePayload(change);
        }
        http.handler = [&c](const HttpRequest&) { return Answer(c.answer); };
        Run(r);
        EXPECT_EQ(r.status, c.status) << c.queued << " " << c.answer;
        EXPECT_EQ(r.failureReason, c.reason) << c.queued << " " << c.answer;
    }
}

TEST_F(JobWorkerTest, RestartedModuleThatAnswersIsLoggedInAgain)
{
    ModulesAnswer();
    const std::pair<std::int32_t, const char*> actions[] = {{kStatusQueueReboot, "Reboot=1&Default=0&Submit=Submit\r\n"},
                                                            {kStatusQueueSetDefault, "Reboot=0&Default=1&Submit=Submit\r\n"}};
    for (const auto& [queued, body] : actions) {
        DeviceRecord r = WebModule();
        r.action = kActionReboot;
        r.status = queued;
        const std::size_t before = http.Requests().size();
        EXPECT_EQ(Run(r), (Statuses{queued + 1, kStatusWaitForLogin, kStatusQueueLogin, kStatusLogin,
                                    kStatusLoginSuccessfully}));
        const auto sent = http.Requests();
        ASSERT_EQ(sent.size(), before + 2);
        EXPECT_EQ(sent[before].body, body);
        EXPECT_EQ(sent[before + 1].request.path, "/Eng/Other.htm");
        // 0 to 16 over the settle time, reported every 10 ms; then 16 as the first try starts.
        const auto waiting = log.ProgressWhile(kStatusWaitForLogin);
        ASSERT_GE(waiting.size(), 12u);
        EXPECT_EQ(Statuses(waiting.begin(), waiting.begin() + 12), (Statuses{0, 1, 3, 4, 6, 8, 9, 11, 12, 14, 16, 16}));
        for (std::size_t i = 0; i + 1 < log.entries.size(); ++i) {
            EXPECT_EQ(log.entries[i].action, kActionReboot);  // until the login ends
        }
        EXPECT_EQ(log.ProgressWhile(kStatusQueueLogin), Statuses{100});
        EXPECT_EQ(log.entries.back().action, kActionNone);
        EXPECT_EQ(workers.size(), 1u);  // the same worker went on with the login
        workers.clear();
    }
    http.handler = [](const HttpRequest&) { return HttpResult{7, 0, {}}; };
    for (const std::int32_t queued : {kStatusQueueReboot, kStatusQueueSetDefault}) {
        DeviceRecord r = WebModule();
        r.action = kActionDefault;
        r.status = queued;
        EXPECT_EQ(Run(r), (Statuses{queued + 1, queued + 2}));
        EXPECT_EQ(r.action, kActionNone);
    }
}

TEST_F(JobWorkerTest, ModuleThatNeverAnswersEndsUnreachable)
{
    DeviceRecord r = WebModule();
    r.action = kActionReboot;
    r.status = kStatusQueueReboot;
    EXPECT_EQ(Run(r), (Statuses{kStatusReboot, kStatusWaitForLogin, kStatusCannotAccess}));
    EXPECT_EQ(Probes(), 10u);
    const auto waiting = log.ProgressWhile(kStatusWaitForLogin);
    for (std::int32_t i = 0; i < 10; ++i) {
        EXPECT_NE(std::find(waiting.begin(), waiting.end(), 16 + 8 * i), waiting.end()) << i;
    }
    EXPECT_LE(*std::max_element(waiting.begin(), waiting.end()), 100);
    EXPECT_EQ(waiting.back(), 100);
    EXPECT_EQ(log.entries.back().action, kActionNone);
    EXPECT_EQ(r.progress, 100);
}

TEST_F(JobWorkerTest, SettingsWithANewAddressMoveTheRecordAndFreeTheOldAddress)
{
    ModulesAnswer();
    DeviceRecord r = WebModule("192.0.2.10");
    r.action = kActionSetting;
    r.status = kStatusQueueSetting;
    ModuleSettings settings;
    settings.target = HttpTarget::ForRecord(r);
    settings.ip = Ip(192, 0, 2, 77);
    settings.newLoginName = "boss";
    settings.newAdminPassword = "n3w";
    r.pendingPayload = MakePayload(settings);
    const std::weak_ptr<PendingPayload> watch = r.pendingPayload;
    const std::uint32_t oldIp = r.ip;

    manager->QueueJob(&r);
    RunWorker(0);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(r.ip, Ip(192, 0, 2, 77));
    EXPECT_EQ(r.ipText, "192.0.2.77");
    EXPECT_EQ(sockets.sent.back().address, Ip(192, 0, 2, 77));
    ASSERT_EQ(workers.size(), 2u);  // the new address was free: a worker of its own
    EXPECT_TRUE(neighbours.entries.empty());  // also the entry made for the old address
    EXPECT_TRUE(manager->ReserveAddress(oldIp));
    EXPECT_FALSE(manager->ReserveAddress(r.ip));
    EXPECT_TRUE(manager->ReleaseAddress(oldIp));
    RunWorkers();
    EXPECT_EQ(log.Statuses(), (Statuses{kStatusSetting, kStatusWaitForLogin, kStatusQueueLogin, kStatusLogin,
                                        kStatusLoginSuccessfully}));
    const auto sent = http.Requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].request.host, "192.0.2.10");
    EXPECT_EQ(sent[0].request.user, "admin");
    EXPECT_NE(sent[0].body.find("&IpAddress=192.0.2.77&"), std::string::npos);
    EXPECT_EQ(sent[1].request.host, "192.0.2.77");
    EXPECT_EQ(sent[1].request.user, "boss");
    EXPECT_EQ(sent[1].request.password, "n3w");
    EXPECT_EQ(manager->GetJobCount(), 0);
}

TEST_F(JobWorkerTest, ModulesOnOneAddressAreEachReachedByTheirMacAndTheNextStartsWhileOneRestarts)
{
    DeviceRecord a = WebModule("192.0.2.100", "02:00:00:00:01:01");
    DeviceRecord b = WebModule("192.0.2.100", "02:00:00:00:01:02");
    const std::map<std::uint32_t, std::string> macAt{{Ip(192, 0, 2, 110), a.macText}, {Ip(192, 0, 2, 111), b.macText}};
    sockets.responder = [macAt](const testing::FakeUdpSockets::Sent& s) -> std::vector<testing::FakeUdpSockets::Answer> {
        const auto found = macAt.find(s.address);
        if (found == macAt.end()) {
            return {};
        }
        testing::TextReplyFields f;
        f.ip = FormatIp(s.address);
        f.mac = found->second;
        return {{5, testing::TextReply(252, f)}};
    };
    // Which MAC the neighbour entry sends each request to.
    std::vector<std::string> reached;
    http.handler = [&](const HttpRequest& request) {
        const auto entry = neighbours.entries.find({a.adapterIndex, ParseIpText(request.host)});
        reached.push_back(entry == neighbours.entries.end() ? "none" : FormatMac(entry->second.mac));
        return Answer("<html>OK</html>");
    };
    for (const auto& [r, newIp] : {std::pair{&a, Ip(192, 0, 2, 110)}, std::pair{&b, Ip(192, 0, 2, 111)}}) {
        r->action = kActionSetting;
        r->status = kStatusQueueSetting;
        ModuleSettings settings;
        settings.target = HttpTarget::ForRecord(*r);
        settings.ip = newIp;
        r->pendingPayload = MakePayload(settings);
        manager->QueueJob(r);
    }
    ASSERT_EQ(workers.size(), 1u);  // the second parks behind the first
    RunWorker(0);
    // The first left the address once its settings were sent: the second started then, and the first's
    // login at its new address on a worker of its own.
    EXPECT_EQ(workers.size(), 3u);
    RunWorkers();
    EXPECT_EQ(reached, (std::vector<std::string>{a.macText, b.macText, a.macText, b.macText}));
    EXPECT_EQ(a.ipText, "192.0.2.110");
    EXPECT_EQ(b.ipText, "192.0.2.111");
    EXPECT_EQ(a.status, kStatusLoginSuccessfully);
    EXPECT_EQ(b.status, kStatusLoginSuccessfully);
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(Ip(192, 0, 2, 100)));
}

TEST_F(JobWorkerTest, AModuleLeavingItsAddressFreesNoOtherWorkersAddressZero)
{
    // Two readers without an address take their settings by broadcast, one after the other on address 0.
    DeviceRecord first = DactylReader(), second = DactylReader();
    for (DeviceRecord* reader : {&first, &second}) {
        reader->ip = 0;
        reader->ipText = "0.0.0.0";
        reader->action = kActionSetting;
        reader->status = kStatusQueueSetting;
        ASSERT_EQ(manager->QueueJob(reader), 1);
    }
    DeviceRecord web = WebModule("192.0.2.10");
    web.action = kActionSetting;
    web.status = kStatusQueueSetting;
    ModuleSettings settings;
    settings.target = HttpTarget::ForRecord(web);
    settings.ip = Ip(192, 0, 2, 77);
    web.pendingPayload = MakePayload(settings);
    manager->QueueJob(&web);
    ASSERT_EQ(workers.size(), 2u);
    RunWorker(1);  // the web module moves, does not come back, and its worker ends
    EXPECT_EQ(web.status, kStatusCannotAccess);
    EXPECT_EQ(second.action, kActionSetting) << "the second reader still waits for the first";
    EXPECT_FALSE(manager->CancelJob(&first));
    EXPECT_TRUE(manager->CancelJob(&second));
    RunWorkers();
    EXPECT_EQ(manager->GetJobCount(), 0);
}

TEST_F(JobWorkerTest, ALoginChangeLogsInWithTheNewLoginOrLeavesTheModuleOnItsOldOne)
{
    ModulesAnswer();
    // Which logins the module takes after its restart.
    struct Case {
        bool takesNew, takesOld;
        std::int32_t status;
        FailureReason reason;
        const char *user, *password;
    };
    const Case cases[] = {
        {true, false, kStatusLoginSuccessfully, FailureReason::None, "boss", "n3w-pass-1"},
        {false, true, kStatusSettingFailed, FailureReason::LoginKept, "admin", "secret"},
        {false, false, kStatusLoginFailed, FailureReason::CredentialsRefused, "admin", ""},
    };
    for (const Case& c : cases) {
        http.handler = [&c](const HttpRequest& q) {
            if (q.path == "/Eng/Hidden.htm") {
                return Answer(testing::SettingsPage());
            }
            const bool taken = (q.user == "boss" && c.takesNew) || (q.user == "admin" && c.takesOld);
            return q.path != "/Eng/Other.htm" || taken ? Answer("<html>ok</html>") : Answer("401 Unauthorized", 401);
        };
        DeviceRecord r = WebModule();
        r.action = kActionSetting;
        r.status = kStatusQueueSetting;
        SettingsChange change;
        change.login = SettingsChange::Login{"boss", "n3w-pass-1"};
        r.pendingPayload = MakePayload(change);
        const std::size_t before = http.Requests().size();
        Run(r);
        EXPECT_EQ(r.status, c.status) << c.takesNew << c.takesOld;
        EXPECT_EQ(r.failureReason, c.reason) << c.takesNew << c.takesOld;
        EXPECT_EQ(r.userName, c.user);
        EXPECT_EQ(r.password, c.password);
        EXPECT_EQ(r.pendingPayload, nullptr) << "no earlier password is left behind";
        // Only the login changes: every other value goes back as the module has it.
        const auto sent = http.Requests();
        ASSERT_GT(sent.size(), before + 1);
        EXPECT_NE(sent[before + 1].body.find("MachName=Door&EnableDHCP=0&IpAddress=192.0.2.10&"), std::string::npos);
        EXPECT_NE(sent[before + 1].body.find("&DevicePort=4001&LoginChange=1&LoginName=boss&AdminPasswd=n3w-pass-1&"),
                  std::string::npos)
            << sent[before + 1].body;
    }
}

TEST_F(JobWorkerTest, SettingsThatCannotBeSentFail)
{
    http.handler = [](const HttpRequest&) { return HttpResult{7, 0, {}}; };
    for (const bool withPayload : {false, true}) {
        DeviceRecord r = WebModule();
        r.action = kActionSetting;
        r.status = kStatusQueueSetting;
        if (withPayload) {
            r.pendingPayload = MakePayload(ModuleSettings{});
        }
        EXPECT_EQ(Run(r), (Statuses{kStatusSetting, kStatusSettingFailed}));
        EXPECT_EQ(r.action, kActionNone);
        EXPECT_EQ(r.pendingPayload, nullptr);
    }
}

TEST_F(JobWorkerTest, UpdateWithTwoFilesPausesBetweenThem)
{
    testing::TempDir dir;
    ModulesAnswer("02:00:00:00:01:01", "V3.11.0-5");
    http.handler = [](const HttpRequest& r) {
        return Answer(r.path == "/Eng/FMUpProcess.htm" ? "var va_Finish = 4; var va_Total = 4;" : "ok");
    };
    DeviceRecord r = WebModule();
    r.action = kActionFirmwareUpdateToLatest;
    r.status = kStatusQueueFirmwareUpdate;
    r.expectedVersion = "V3.11.0-5";
    r.firmwareFile = dir.Write("a.bin", "first");
    r.firmwareFile2 = dir.Write("b.bin", "second");
    EXPECT_EQ(Run(r), (Statuses{kStatusFirmwareUploading, kStatusFirmwareUpdating, kStatusWaitForFirmwareUpdate,
                                kStatusFirmwareUploading, kStatusFirmwareUpdating, kStatusWaitForLogin,
                                kStatusQueueLogin, kStatusLogin, kStatusLoginSuccessfully}));
    Statuses pause;  // every 10 ms of the 200 ms pause: elapsed * 100 / 200
    for (int p = 0; p <= 100; p += 5) {
        pause.push_back(p);
    }
    EXPECT_EQ(log.ProgressWhile(kStatusWaitForFirmwareUpdate), pause);
    const auto sent = http.Requests();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_NE(sent[0].body.find("\r\n\r\nfirst\r\n--Tarrowind--"), std::string::npos);
    EXPECT_NE(sent[3].body.find("\r\n\r\nsecond\r\n--Tarrowind--"), std::string::npos);
    EXPECT_EQ(sent[5].request.path, "/ConfigReboot");

    DeviceRecord failing = WebModule();
    failing.action = kActionFirmwareUpdate;
    failing.status = kStatusQueueFirmwareUpdate;
    failing.firmwareFile = dir.path + "missing.bin";
    EXPECT_EQ(Run(failing), (Statuses{kStatusFirmwareUploading, kStatusFirmwareUpdateFailed}));
    EXPECT_EQ(failing.action, kActionNone);
    EXPECT_EQ(http.Requests().size(), 7u);
}

TEST_F(JobWorkerTest, UpdateIsDoneOnlyWhenTheModuleComesBackWithTheNewVersion)
{
    testing::TempDir dir;
    http.handler = [](const HttpRequest& r) {
        return Answer(r.path == "/Eng/FMUpProcess.htm" ? "var va_Finish = 4; var va_Total = 4;" : "ok");
    };
    const std::string file = dir.Write("a.bin", "image");
    struct Case {
        std::int32_t action;
        std::string expected, comesBackWith;
        std::int32_t ends;
    };
    const Case cases[] = {
        {kActionFirmwareUpdateToLatest, "V3.11.0-5", "V3.11.0-5", kStatusLoginSuccessfully},
        {kActionFirmwareUpdateToLatest, "V3.11.0-5", "V3.10R2", kStatusFirmwareNotTaken},
        {kActionFirmwareUpdateToLatest, "V3.11.0-5", "V3.11.0-4", kStatusFirmwareNotTaken},  // not the listed build
        {kActionFirmwareUpdate, "", "V3.10R2", kStatusFirmwareNotTaken},
        {kActionFirmwareUpdate, "", "V3.10R3", kStatusLoginSuccessfully},
    };
    for (const Case& c : cases) {
        ModulesAnswer("02:00:00:00:01:01", c.comesBackWith);
        DeviceRecord r = WebModule();
        r.action = c.action;
        r.status = kStatusQueueFirmwareUpdate;
        r.firmwareFile = file;
        r.expectedVersion = c.expected;
        const Statuses shown = Run(r);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), c.ends) << c.comesBackWith;
        EXPECT_EQ(r.action, kActionNone);
        EXPECT_EQ(r.versionBefore, "V3.10R2");
        EXPECT_EQ(r.version, c.comesBackWith);
    }
    // A login of its own is never judged by a version.
    ModulesAnswer();
    DeviceRecord plain = WebModule();
    plain.action = kActionSetLogin;
    plain.status = kStatusQueueLogin;
    plain.versionBefore = "V0";
    EXPECT_EQ(Run(plain), (Statuses{kStatusLogin, kStatusLoginSuccessfully}));
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST_F(JobWorkerTest, AnUnconfirmedRecordQueuedAnywayIsSentNothing)
{
    for (const bool reader : {false, true}) {
        DeviceRecord r = reader ? DactylReader() : WebModule();
        r.addressConfirmed = false;
        r.action = kActionSetLogin;
        r.status = kStatusQueueLogin;
        EXPECT_EQ(Run(r), (Statuses{kStatusAddressNotConfirmed}));
        EXPECT_EQ(r.action, kActionNone);
        EXPECT_EQ(neighbours.calls, 0);
    }
    EXPECT_TRUE(http.Requests().empty());
}

}  // namespace
}  // namespace tarrowind
