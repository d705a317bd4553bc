#include <gtest/gtest.h>

#include <algorithm>

#include "discovery/dactyl_settings.h"
#include "operations/firmware_upload.h"
#include "operations/module_settings.h"
#include "tests/unit/operations/operations_fixture.h"
#include "commands/module_commands.h"

namespace tarrowind {
namespace {

using testing::Answer;

// Answers like a user: scripted replies, and a record of every question.
struct ScriptedPrompts final : CommandPrompts {
    bool accept = true;
    std::string loginId = "installer";
    std::string password = "pw";
    std::string firmware = "/fw/new.bin";
    std::function<void(ModuleSettings&)> editSettings;
    DactylSettingValues shownReader;
    std::vector<std::string> asked;
    std::vector<std::string> opened;

    bool AskLogin(std::string& id, std::string& pw) override
    {
        asked.push_back("login");
        id = loginId;
        pw = password;
        return accept;
    }
    bool EditModuleSettings(ModuleSettings& s) override
    {
        asked.push_back("sheet:" + s.newLoginName);
        if (editSettings) {
            editSettings(s);
        }
        return accept;
    }
    bool EditDactylSettings(DactylSettingValues& v) override
    {
        asked.push_back("reader");
        shownReader = v;
        v.name = "Lobby";
        return accept;
    }
    bool AskFirmwareFile(DeviceRecord&, std::string& path) override
    {
        asked.push_back("firmware");
        path = firmware;
        return accept;
    }
    bool AskUpdateWaves(const std::vector<const DeviceRecord*>& modules, bool, std::optional<WaveOptions>& w) override
    {
        wavesAskedFor.push_back(modules.size());
        w = waves;
        return accept;
    }
    std::optional<WaveOptions> waves;
    std::vector<std::size_t> wavesAskedFor;  // how many modules each update would go to
    // Each attempt as a dialog's OK: the rules are asked, and the first login they pass is taken.
    bool AskNewLogin(int modules, std::string& id, std::string& pw, const NewLoginCheck& check) override
    {
        asked.push_back("new login for " + std::to_string(modules));
        for (const auto& [tryId, tryPassword] : newLogins) {
            const NewLoginProblem problem = check(tryId, tryPassword);
            refusedLogins.push_back(problem);
            if (problem == NewLoginProblem::None) {
                id = tryId;
                pw = tryPassword;
                return true;
            }
        }
        return false;  // the user gave up
    }
    std::vector<std::pair<std::string, std::string>> newLogins;
    std::vector<NewLoginProblem> refusedLogins;
    void OpenAddress(const std::string& url) override { opened.push_back(url); }
    void AddressInUse(const DeviceRecord&) override { asked.push_back("in use"); }
    void Skipped(const DeviceRecord& r, SkipReason reason) override { skipped.emplace_back(r.macText, reason); }
    void CannotTellApart(const DeviceRecord& r, int modules, bool first) override
    {
        apart.push_back(r.macText + " of " + std::to_string(modules) + (first ? " first" : ""));
        Skipped(r, SkipReason::CannotTellApart);
    }
    std::vector<std::string> apart;
    // A user who stops waiting: the read is left to finish later, as the window's thread does.
    bool Await(const DeviceRecord&, std::function<void()> work, std::function<void()> after) override
    {
        if (!giveUpWaiting) {
            work();
            return true;
        }
        leftRunning = [work, after] {
            work();
            after();
        };
        return false;
    }
    bool giveUpWaiting = false;
    std::function<void()> leftRunning;
    std::vector<std::pair<std::string, SkipReason>> skipped;
};

struct ModuleCommandsTest : testing::OperationsFixture {
    ScriptedPrompts prompts;
    ModuleCommands commands{*manager, prompts};
    std::vector<DeviceRecord> rows;

    ModuleCommandsTest() { rows.reserve(8); }
    ~ModuleCommandsTest() override { RunWorkers(); }  // before the rows they point at go

    DeviceRecord& Row(DeviceRecord r, std::int32_t status = kStatusLoginSuccessfully)
    {
        r.status = status;
        rows.push_back(std::move(r));
        return rows.back();
    }
    std::vector<DeviceRecord*> All()
    {
        std::vector<DeviceRecord*> out;
        for (DeviceRecord& r : rows) {
            out.push_back(&r);
        }
        return out;
    }
};

TEST_F(ModuleCommandsTest, SetLoginQueuesOnlyModulesThatTakeALogin)
{
    DeviceRecord& loggedIn = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& failed = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"), kStatusLoginFailed);
    DeviceRecord& longReply = Row(WebModule("192.0.2.12", "02:00:00:00:01:03"), kStatusNone);
    longReply.kind = ModuleKind::LongReply;
    DeviceRecord& reader = Row(DactylReader(), kStatusSettingFailed);

    prompts.accept = false;
    commands.SetLogin(All());
    EXPECT_EQ(manager->GetJobCount(), 0);

    prompts.accept = true;
    commands.SetLogin(All());
    EXPECT_EQ(manager->GetJobCount(), 2);
    EXPECT_EQ(failed.action, kActionSetLogin);
    EXPECT_EQ(failed.status, kStatusQueueLogin);
    EXPECT_EQ(failed.userName, "installer");
    EXPECT_EQ(reader.status, kStatusQueueLogin);  // a reader may log in again after a failed setting
    EXPECT_EQ(loggedIn.action, kActionNone);
    EXPECT_EQ(loggedIn.userName, "admin");
    EXPECT_EQ(longReply.status, kStatusNone);
}

TEST_F(ModuleCommandsTest, SettingOfAWebModuleReadsEditsAndQueuesACopy)
{
    DeviceRecord& r = Row(WebModule());
    http.handler = [](const HttpRequest&) { return Answer(testing::SettingsPage()); };
    prompts.editSettings = [](ModuleSettings& s) { s.machineName = "Door 7"; };
    commands.Setting(All());

    ASSERT_EQ(prompts.asked, std::vector<std::string>{"sheet:admin"});  // the current login is the default
    EXPECT_EQ(r.status, kStatusQueueSetting);
    const auto* payload = PayloadAs<ModuleSettings>(r);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->machineName, "Door 7");
    EXPECT_TRUE(neighbours.entries.empty());  // the entry made for the read is gone
    // Parked behind the reservation while the sheet was open, started by its release.
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_FALSE(manager->ReserveAddress(r.ip));
}

TEST_F(ModuleCommandsTest, SettingThatIsCancelledOrCannotBeReadQueuesNothing)
{
    DeviceRecord& r = Row(WebModule());
    http.handler = [](const HttpRequest&) { return Answer(testing::SettingsPage()); };
    prompts.accept = false;
    commands.Setting(All());
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.pendingPayload, nullptr);

    http.handler = [](const HttpRequest&) { return Answer("401 Unauthorized", 401); };
    prompts.asked.clear();
    commands.Setting(All());
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(r.status, kStatusSettingFailed);
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(r.ip));  // every path gives the address back
}

TEST_F(ModuleCommandsTest, SettingsPageWithoutItsValuesShowsNoSheet)
{
    DeviceRecord& r = Row(WebModule());
    http.handler = [](const HttpRequest&) { return Answer("<script>var va_machname = 'Door';</script>"); };
    commands.Setting(All());
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusSettingsUnreadable);
    EXPECT_EQ(r.pendingPayload, nullptr);
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(r.ip));
}

TEST_F(ModuleCommandsTest, ASettingsReadRefusedForAChangedKeySaysSo)
{
    DeviceRecord& r = Row(WebModule());
    r.ownerQueue = manager.get();  // as the login left it
    KeyFingerprint remembered{}, shown{};
    remembered.fill(1);
    shown.fill(2);
    known.Learn(MacKey(r.mac), true, remembered);
    http.handler = [&](const HttpRequest& q) {
        EXPECT_EQ(q.expectedKey, remembered);
        return HttpResult{HttpClient::kCertificateChanged, 0, {}, shown};
    };
    commands.Setting(All());
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(r.status, kStatusCertificateChanged);
    EXPECT_EQ(r.action, kActionNone);
}

TEST_F(ModuleCommandsTest, SettingOnABusyAddressSaysSoAndChangesNothing)
{
    DeviceRecord& busy = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& same = Row(WebModule("192.0.2.10", "02:00:00:00:01:09"));
    busy.action = kActionReboot;
    busy.status = kStatusQueueReboot;
    manager->QueueJob(&busy);
    commands.Setting({&same});
    EXPECT_EQ(prompts.asked, std::vector<std::string>{"in use"});
    EXPECT_EQ(same.action, kActionNone);
    EXPECT_EQ(same.status, kStatusLoginSuccessfully);
}

TEST_F(ModuleCommandsTest, ReaderSettingStartsFromItsAddresses)
{
    DeviceRecord& r = Row(DactylReader());
    r.ipText = "192.0.2.20";
    r.maskText = "255.255.255.0";
    r.gatewayText = "192.0.2.254";
    commands.Setting(All());
    EXPECT_EQ(prompts.shownReader.ip, Ipv4Address::FromOctets(192, 0, 2, 20));
    EXPECT_EQ(prompts.shownReader.mask, Ipv4Address::FromOctets(255, 255, 255, 0));
    EXPECT_EQ(prompts.shownReader.gateway, Ipv4Address::FromOctets(192, 0, 2, 254));
    const auto* request = PayloadAs<DactylSettingsRequest>(r);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->bytes, MakeDactylSettingsRequest(r.macText, "Lobby", r.dhcp != 0, 0xC0000214u, 0xFFFFFF00u,
                                                        0xC00002FEu));
    EXPECT_EQ(r.status, kStatusQueueSetting);
}

TEST_F(ModuleCommandsTest, ModulesWithoutAReachableAddressAreListedButOnlyAReaderSettingIsQueued)
{
    DeviceRecord& noLease = Row(WebModule("0.0.0.0", "02:00:00:00:01:01"), kStatusNone);
    DeviceRecord& another = Row(WebModule("0.0.0.0", "02:00:00:00:01:02"), kStatusNone);
    DeviceRecord& loopback = Row(WebModule("127.0.0.5", "02:00:00:00:01:03"));
    DeviceRecord& reader = Row(DactylReader(), kStatusNone);
    reader.ip = 0;
    reader.ipText = "0.0.0.0";
    commands.SetLogin(All());
    commands.RebootOrDefault({&loopback}, ModuleCommands::RestartKind::Reboot);
    commands.AdvancedSetting({&loopback});
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(workers.empty());
    EXPECT_TRUE(prompts.opened.empty());
    for (const DeviceRecord* r : {&noLease, &another, &loopback, &reader}) {
        EXPECT_EQ(r->status, kStatusAddressUnusable) << r->macText;
        EXPECT_EQ(r->action, kActionNone);
    }
    EXPECT_EQ(prompts.skipped.size(), 5u);  // the loopback one as already logged in, then for its reboot
    EXPECT_EQ(prompts.skipped.back().second, SkipReason::AddressUnusable);

    // A reader takes its settings by a broadcast to its MAC: the way to give it an address.
    commands.Setting({&reader});
    EXPECT_EQ(reader.status, kStatusQueueSetting);
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_EQ(workers.size(), 1u);
    commands.Setting({&loopback});
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_EQ(prompts.asked.back(), "reader") << "no settings sheet, no in-use message for an unusable address";
}

TEST_F(ModuleCommandsTest, RebootAndFirmwareSkipModulesTheirModelDoesNotAllow)
{
    DeviceRecord& door = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& grabber = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"));
    grabber.model = "QT-TEXT GRABBER V7K";
    DeviceRecord& old = Row(WebModule("192.0.2.12", "02:00:00:00:01:03"));
    old.version = "V1.0.9-20080101";
    DeviceRecord& notLoggedIn = Row(WebModule("192.0.2.13", "02:00:00:00:01:04"), kStatusNone);

    commands.RebootOrDefault(All(), ModuleCommands::RestartKind::Reboot);
    EXPECT_EQ(door.status, kStatusQueueReboot);
    EXPECT_EQ(grabber.action, kActionNone);
    EXPECT_EQ(notLoggedIn.action, kActionNone);
    RunWorkers();

    door.action = grabber.action = old.action = kActionNone;
    door.status = grabber.status = old.status = kStatusLoginSuccessfully;
    door.firmwareFile2 = "stale.bin";
    commands.FirmwareUpdate(All());
    EXPECT_EQ(door.status, kStatusQueueFirmwareUpdate);
    EXPECT_EQ(door.firmwareFile, "/fw/new.bin");
    EXPECT_EQ(door.firmwareFile2, "");
    EXPECT_EQ(old.action, kActionNone);  // too old a controller for a new firmware
    // The file's digest is taken as the batch begins; a file that could not be read has none.
    const auto* batch = PayloadAs<FirmwareBatch>(door);
    ASSERT_NE(batch, nullptr);
    EXPECT_FALSE(batch->digests[0]);
}

TEST_F(ModuleCommandsTest, LatestFirmwareShowsCurrentAndUnknownWithoutQueueing)
{
    testing::TempDir folder;
    folder.Write("Tarrowind.ini", "[QT-DC410]\nVersion=3.10.2\nDate=1\nFile=dc410.a90\n"
                                   "[QT-DC820]\nVersion=9.0.0\nDate=1\nFile=a.bin\nFile2=b.bin\n");
    manager->SetFirmwareFolder(folder.path);
    DeviceRecord& current = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    current.version = "V3.10.2-1";  // same version and build as the list
    DeviceRecord& unknown = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"));
    unknown.model = "QT-NOT-LISTED";
    DeviceRecord& older = Row(WebModule("192.0.2.12", "02:00:00:00:01:03"));
    older.model = "QT-DC820";

    commands.FirmwareUpdateToLatest(All());
    EXPECT_EQ(current.status, kStatusLatestVersion);
    EXPECT_EQ(unknown.status, kStatusUnknown);
    EXPECT_EQ(current.action | unknown.action, kActionNone);
    EXPECT_EQ(older.action, kActionFirmwareUpdateToLatest);
    EXPECT_EQ(older.firmwareFile2, folder.path + "b.bin");
    EXPECT_EQ(older.expectedVersion, "V9.0.0-1");  // what it must report once it runs the listed firmware
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_EQ(prompts.wavesAskedFor, std::vector<std::size_t>{1}) << "only a module with newer firmware counts";
}

TEST_F(ModuleCommandsTest, CancelWithdrawsOnlyParkedRecords)
{
    DeviceRecord& running = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& parked = Row(WebModule("192.0.2.10", "02:00:00:00:01:02"), kStatusNone);
    running.action = kActionReboot;
    running.status = kStatusQueueReboot;
    manager->QueueJob(&running);
    parked.action = kActionSetLogin;
    parked.status = kStatusQueueLogin;
    manager->QueueJob(&parked);  // same address: waits for the first

    commands.CancelQueueItems(All());
    EXPECT_EQ(running.action, kActionReboot);
    EXPECT_EQ(parked.action, kActionNone);
    EXPECT_EQ(parked.status, kStatusNone);
    EXPECT_EQ(manager->GetJobCount(), 1);
}

TEST_F(ModuleCommandsTest, AnUpdateInWavesQueuesTheFirstWaveAndCancelTakesOutTheRest)
{
    UpdateWaves waves;
    commands.SetUpdateWaves(&waves);
    prompts.waves = WaveOptions{1, true, false};
    for (int i = 0; i < 3; ++i) {
        Row(WebModule("192.0.2.1" + std::to_string(i), "02:00:00:00:01:0" + std::to_string(i)));
    }
    Row(WebModule("192.0.2.13", "02:00:00:00:01:03"), kStatusNone);
    commands.FirmwareUpdate(All());
    EXPECT_EQ(prompts.wavesAskedFor, std::vector<std::size_t>{3});
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_EQ(waves.WaitingCount(), 2u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].status, kStatusQueueFirmwareUpdate) << i;  // shown queued, waiting or not
    }
    // The waiting ones are taken out before the queue is asked: none of them starts in a cancelled one's place.
    commands.CancelQueueItems(All());
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(rows[i].action, kActionNone);
        EXPECT_EQ(rows[i].failureReason, FailureReason::Cancelled);
    }
    EXPECT_EQ(rows[0].action, kActionFirmwareUpdate) << "its worker has it";
    RunWorkers();
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_EQ(waves.WaitingCount(), 0u);
}

TEST_F(ModuleCommandsTest, AdvancedSettingOpensTheModulesPagesOverItsProtocol)
{
    DeviceRecord& r = Row(WebModule(), kStatusNone);
    r.useHttps = 1;
    commands.AdvancedSetting(All());
    r.status = kStatusCannotAccess;
    commands.AdvancedSetting(All());
    // Built from the numeric address, never from the reply's address text.
    r.status = kStatusNone;
    r.ipText = "evil.example/x?";
    commands.AdvancedSetting(All());
    EXPECT_EQ(prompts.opened, (std::vector<std::string>{"https://192.0.2.10/", "https://192.0.2.10/"}));
}

TEST_F(ModuleCommandsTest, ReadersAreNotOfferedRestartOrFirmwareAndSaySo)
{
    DeviceRecord& reader = Row(DactylReader());
    DeviceRecord& door = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"));
    commands.RebootOrDefault(All(), ModuleCommands::RestartKind::Reboot);
    EXPECT_EQ(reader.action, kActionNone);
    EXPECT_EQ(door.action, kActionReboot);
    RunWorkers();
    commands.FirmwareUpdateToLatest({&reader});
    EXPECT_EQ(reader.status, kStatusLoginSuccessfully);
    using Skip = std::pair<std::string, SkipReason>;
    EXPECT_EQ(prompts.skipped, (std::vector<Skip>{{reader.macText, SkipReason::KindNotOffered},
                                                  {reader.macText, SkipReason::KindNotOffered}}));
}

TEST_F(ModuleCommandsTest, AbandonedSettingsReadKeepsTheAddressUntilItEnds)
{
    DeviceRecord& r = Row(WebModule());
    http.handler = [](const HttpRequest&) { return Answer(testing::SettingsPage()); };
    prompts.giveUpWaiting = true;
    commands.Setting(All());
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_TRUE(prompts.asked.empty());              // no sheet for a read nobody waits for
    EXPECT_FALSE(manager->ReserveAddress(r.ip));     // still held by the read
    prompts.leftRunning();
    EXPECT_TRUE(neighbours.entries.empty());
    EXPECT_TRUE(manager->ReserveAddress(r.ip));      // given back when the read ended
}

TEST_F(ModuleCommandsTest, SettingWhoseWorkerCannotStartIsPutBack)
{
    DeviceRecord& r = Row(WebModule());
    http.handler = [](const HttpRequest&) { return Answer(testing::SettingsPage()); };
    workersStart = false;
    commands.Setting(All());
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.pendingPayload, nullptr);
    EXPECT_EQ(manager->GetJobCount(), 0);
    ASSERT_EQ(prompts.skipped.size(), 1u);
    EXPECT_EQ(prompts.skipped[0].second, SkipReason::NoWorker);
}

TEST_F(ModuleCommandsTest, RecordNoWorkerCanTakeReturnsToItsEarlierState)
{
    workersStart = false;
    DeviceRecord& r = Row(WebModule(), kStatusLoginFailed);
    commands.SetLogin(All());
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusLoginFailed);
    EXPECT_EQ(manager->GetJobCount(), 0);
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST_F(ModuleCommandsTest, ChangeSettingsQueuesEachOfferedModuleWithItsOwnChange)
{
    DeviceRecord& a = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& b = Row(DactylReader());
    DeviceRecord& grabber = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"));
    grabber.model = "QT-TEXT GRABBER V7K";
    DeviceRecord& notLoggedIn = Row(WebModule("192.0.2.12", "02:00:00:00:01:03"), kStatusLoginFailed);
    DeviceRecord& longReply = Row(WebModule("192.0.2.13", "02:00:00:00:01:04"));
    longReply.kind = ModuleKind::LongReply;
    DeviceRecord& failedReader = Row(DactylReader(), kStatusSettingFailed);
    DeviceRecord& busy = Row(WebModule("192.0.2.14", "02:00:00:00:01:05"));
    ASSERT_TRUE(manager->ReserveAddress(busy.ip));

    std::vector<std::pair<DeviceRecord*, SettingsChange>> changes;
    for (DeviceRecord* r : All()) {
        SettingsChange c;
        c.ip = r->ip + 0x01000000u;  // the next address
        changes.emplace_back(r, c);
    }
    changes.emplace_back(nullptr, SettingsChange{});
    workersStart = true;
    commands.ChangeSettings(changes);

    for (DeviceRecord* queued : {&a, &b}) {
        EXPECT_EQ(queued->action, kActionSetting);
        EXPECT_EQ(queued->status, kStatusQueueSetting);
        const auto* payload = PayloadAs<SettingsChange>(*queued);
        ASSERT_NE(payload, nullptr);
        EXPECT_EQ(payload->ip, queued->ip + 0x01000000u);
    }
    EXPECT_EQ(workers.size(), 2u);  // started by the release of their reservations
    EXPECT_EQ(prompts.skipped, (std::vector<std::pair<std::string, SkipReason>>{
                                   {grabber.macText, SkipReason::NotOffered},
                                   {notLoggedIn.macText, SkipReason::NotEligible},
                                   {longReply.macText, SkipReason::KindNotOffered},
                                   {failedReader.macText, SkipReason::NotEligible},
                                   {busy.macText, SkipReason::AddressInUse},
                               }));
    for (DeviceRecord* left : {&grabber, &notLoggedIn, &longReply, &busy}) {
        EXPECT_EQ(left->action, kActionNone);
        EXPECT_EQ(left->pendingPayload, nullptr);
    }
    EXPECT_TRUE(manager->ReleaseAddress(busy.ip));
}

TEST_F(ModuleCommandsTest, ChangeLoginAsksUntilTheRulesPassAndQueuesOnlyTheLoginOfLoggedInWebModules)
{
    DeviceRecord& a = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"));
    DeviceRecord& reader = Row(DactylReader());
    DeviceRecord& notLoggedIn = Row(WebModule("192.0.2.12", "02:00:00:00:01:03"), kStatusLoginFailed);
    DeviceRecord& b = Row(WebModule("192.0.2.13", "02:00:00:00:01:04"));
    b.password = "other-pass-9";

    prompts.newLogins = {{"boss", "n3w-pass-1"}};
    prompts.accept = false;
    commands.ChangeLogin({&notLoggedIn, &reader});
    EXPECT_TRUE(prompts.asked.empty()) << "nothing to ask for";

    prompts.newLogins = {{"boss", "short"}, {"boss", "other-pass-9"}, {"boss", "n3w-pass-1"}};
    commands.ChangeLogin(All());
    EXPECT_EQ(prompts.asked.back(), "new login for 2");
    EXPECT_EQ(prompts.refusedLogins, (std::vector<NewLoginProblem>{NewLoginProblem::TooShort,
                                                                    NewLoginProblem::SameAsCurrent,
                                                                    NewLoginProblem::None}));
    for (DeviceRecord* queued : {&a, &b}) {
        EXPECT_EQ(queued->status, kStatusQueueSetting);
        const auto* change = PayloadAs<SettingsChange>(*queued);
        ASSERT_NE(change, nullptr);
        ASSERT_TRUE(change->login);
        EXPECT_EQ(change->login->userName, "boss");
        EXPECT_EQ(change->login->password, "n3w-pass-1");
        EXPECT_FALSE(change->name || change->dhcp || change->ip || change->mask || change->gateway);
    }
    EXPECT_EQ(notLoggedIn.action, kActionNone);
    EXPECT_EQ(reader.action, kActionNone);
    EXPECT_NE(std::find(prompts.skipped.begin(), prompts.skipped.end(),
                        std::pair{reader.macText, SkipReason::KindNotOffered}),
              prompts.skipped.end());
}

TEST_F(ModuleCommandsTest, ChangeSettingsWithoutAWorkerPutsTheModuleBack)
{
    DeviceRecord& r = Row(WebModule());
    workersStart = false;
    SettingsChange c;
    c.name = "Gate";
    commands.ChangeSettings({{&r, c}});
    EXPECT_EQ(r.action, kActionNone);
    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.pendingPayload, nullptr);
    EXPECT_EQ(prompts.skipped, (std::vector<std::pair<std::string, SkipReason>>{{r.macText, SkipReason::NoWorker}}));
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(r.ip));
}

TEST_F(ModuleCommandsTest, ChangeSettingsQueuesModulesOnOneAddressOneAfterAnother)
{
    // New modules on one factory address: the first starts, the others park behind it; another action
    // that holds an address still keeps a change off it.
    DeviceRecord& a = Row(WebModule("192.0.2.100", "02:00:00:00:01:01"));
    DeviceRecord& b = Row(WebModule("192.0.2.100", "02:00:00:00:01:02"));
    DeviceRecord& c = Row(WebModule("192.0.2.100", "02:00:00:00:01:03"));
    DeviceRecord& held = Row(WebModule("192.0.2.101", "02:00:00:00:01:04"));
    DeviceRecord& alsoHeld = Row(WebModule("192.0.2.101", "02:00:00:00:01:05"));
    ASSERT_TRUE(manager->ReserveAddress(held.ip));
    std::vector<std::pair<DeviceRecord*, SettingsChange>> changes;
    for (DeviceRecord* r : All()) {
        SettingsChange change;
        change.name = "New " + r->macText;
        changes.emplace_back(r, change);
    }
    workersStart = true;
    commands.ChangeSettings(changes);
    for (DeviceRecord* queued : {&a, &b, &c}) {
        EXPECT_EQ(queued->status, kStatusQueueSetting);
    }
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_EQ(manager->GetJobCount(), 3);
    EXPECT_EQ(prompts.skipped, (std::vector<std::pair<std::string, SkipReason>>{
                                   {held.macText, SkipReason::AddressInUse}, {alsoHeld.macText, SkipReason::AddressInUse}}));
    EXPECT_TRUE(manager->ReleaseAddress(held.ip));
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST_F(ModuleCommandsTest, AModuleWhoseReplyCameFromElsewhereIsSentNoCredentials)
{
    DeviceRecord& impostor = Row(WebModule("192.0.2.10", "02:00:00:00:01:01"), kStatusNone);
    impostor.addressConfirmed = false;
    DeviceRecord& real = Row(WebModule("192.0.2.11", "02:00:00:00:01:02"), kStatusNone);
    commands.SetLogin(All());
    EXPECT_EQ(impostor.status, kStatusAddressNotConfirmed);
    EXPECT_EQ(impostor.action, kActionNone);
    EXPECT_EQ(impostor.password, "secret") << "the typed password is never stored in it";
    EXPECT_EQ(real.status, kStatusQueueLogin);
    RunWorkers();

    // Its refusal status sorts above "logged in"; no command may take it for one.
    const std::size_t requests = http.Requests().size();
    prompts.skipped.clear();
    commands.RebootOrDefault({&impostor}, ModuleCommands::RestartKind::Reboot);
    commands.FirmwareUpdate({&impostor});
    commands.Setting({&impostor});
    commands.ChangeSettings({{&impostor, SettingsChange{}}});
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_EQ(http.Requests().size(), requests);
    EXPECT_EQ(prompts.skipped.size(), 4u);
    for (const auto& [mac, reason] : prompts.skipped) {
        EXPECT_EQ(reason, SkipReason::AddressNotConfirmed) << mac;
    }
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

struct SharedAddressTest : ModuleCommandsTest {
    DeviceRecord* a;
    DeviceRecord* b;
    DeviceRecord* c;

    // Three new modules on one factory address, and the list the commands see.
    SharedAddressTest()
    {
        a = &Row(WebModule("192.0.2.100", "02:00:00:00:01:01"), kStatusNone);
        b = &Row(WebModule("192.0.2.100", "02:00:00:00:01:02"), kStatusNone);
        c = &Row(WebModule("192.0.2.100", "02:00:00:00:01:03"), kStatusNone);
        commands.SetListed([this] {
            std::vector<const DeviceRecord*> listed;
            for (const DeviceRecord& r : rows) {
                listed.push_back(&r);
            }
            return listed;
        });
    }
};

TEST_F(SharedAddressTest, WithoutNeighbourEntriesNoCommandSendsAnythingToTheSharedAddress)
{
    neighbours.normalUser = true;
    DeviceRecord& alone = Row(WebModule("192.0.2.101", "02:00:00:00:01:04"), kStatusNone);
    DeviceRecord& reader = Row(DactylReader(), kStatusNone);
    reader.ip = a->ip;  // its settings go by broadcast with its MAC

    commands.SetLogin(All());
    EXPECT_TRUE(manager->StaticArp().Refused()) << "the right is learnt before the first password goes out";
    EXPECT_EQ(prompts.apart, (std::vector<std::string>{"02:00:00:00:01:01 of 4 first", "02:00:00:00:01:02 of 4",
                                                        "02:00:00:00:01:03 of 4"}));
    for (const DeviceRecord* r : {a, b, c}) {
        EXPECT_EQ(r->status, kStatusNone) << r->macText;
        EXPECT_EQ(r->action, kActionNone) << r->macText;
    }
    EXPECT_EQ(alone.status, kStatusQueueLogin);
    EXPECT_EQ(reader.status, kStatusQueueLogin);
    RunWorkers();
    const std::size_t requests = http.Requests().size();

    // Logged in earlier, by a user who could tell them apart: still nothing goes to the address now.
    for (DeviceRecord* r : {a, b, c}) {
        r->status = kStatusLoginSuccessfully;
    }
    prompts.apart.clear();
    prompts.skipped.clear();
    commands.RebootOrDefault({a, b}, ModuleCommands::RestartKind::Default);
    commands.FirmwareUpdate({c});
    commands.FirmwareUpdateToLatest({a});
    commands.Setting({b});
    commands.ChangeSettings({{c, SettingsChange{}}});
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_EQ(prompts.asked, (std::vector<std::string>{"login", "firmware"})) << "no settings sheet";
    EXPECT_EQ(prompts.apart.size(), 6u);
    EXPECT_EQ(std::count_if(prompts.apart.begin(), prompts.apart.end(),
                            [](const std::string& s) { return s.ends_with(" first"); }),
              5)
        << "said once per command";
    for (const DeviceRecord* r : {a, b, c}) {
        EXPECT_EQ(r->status, kStatusLoginSuccessfully) << r->macText;
        EXPECT_EQ(r->action, kActionNone) << r->macText;
    }
    EXPECT_TRUE(manager->ReserveAddress(a->ip)) << "the settings command left no reservation";
    EXPECT_TRUE(manager->ReleaseAddress(a->ip));
    RunWorkers();
    EXPECT_EQ(http.Requests().size(), requests);
}

TEST_F(SharedAddressTest, WithTheRightEachIsReachedByItsMacButARoutedOneIsNot)
{
    DeviceRecord& routed = Row(WebModule("192.0.2.100", "02:00:00:00:01:04"), kStatusNone);
    routed.routed = true;
    routed.adapterIndex = kBroadcastAdapterIndex;

    commands.SetLogin(All());
    EXPECT_TRUE(manager->StaticArp().Granted());
    EXPECT_TRUE(neighbours.entries.empty()) << "the entry that showed the right is gone again";
    for (const DeviceRecord* r : {a, b, c}) {
        EXPECT_EQ(r->status, kStatusQueueLogin) << r->macText;
    }
    EXPECT_EQ(routed.status, kStatusNone);
    EXPECT_EQ(prompts.apart, std::vector<std::string>{"02:00:00:00:01:04 of 4 first"});
}

TEST_F(SharedAddressTest, ARightStillUnknownAfterTryingCountsAsNone)
{
    neighbours.refuseChanges = true;  // the entry fails for another reason than the right
    commands.SetLogin({b});
    EXPECT_FALSE(manager->StaticArp().Granted());
    EXPECT_FALSE(manager->StaticArp().Refused());
    EXPECT_EQ(b->status, kStatusNone);
    EXPECT_EQ(prompts.apart, std::vector<std::string>{"02:00:00:00:01:02 of 3 first"});
}

}  // namespace
}  // namespace tarrowind
