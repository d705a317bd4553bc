// Module actions against simulated modules over real HTTP and HTTPS in the lab.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "operations/firmware_folder.h"
#include "operations/module_settings.h"
#include "operations/pending_payload.h"
#include "tests/e2e/lab_simulator.h"

namespace tarrowind {
namespace {

using lab::Module;
using nlohmann::json;

// Remembers every status a record went through, and its progress values.
class Timeline final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& record) override { found.push_back(record); }
    void OnReport(DeviceRecord& record) override
    {
        std::lock_guard hold(m_lock);
        auto& t = m_byMac[record.macText];
        if (t.statuses.empty() || t.statuses.back() != record.status) {
            t.statuses.push_back(record.status);
        }
        t.progress.push_back({record.status, record.progress});
    }
    struct Track {
        std::vector<std::int32_t> statuses;
        std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    };
    Track Of(const std::string& mac)
    {
        std::lock_guard hold(m_lock);
        return m_byMac[mac];
    }
    std::vector<DeviceRecord> found;

private:
    std::mutex m_lock;
    std::map<std::string, Track> m_byMac;
};

class OperationsE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lab::InLab()) {
            GTEST_SKIP() << "needs the lab (root): run through scripts/lab run or ctest as root";
        }
    }

    static ManagerTiming Quick()
    {
        ManagerTiming t;
        t.searchMs = 1200;
        t.settleMs = 500;
        t.firmwarePauseMs = 600;
        t.requeryMs = 1000;
        return t;
    }

    // Searches and keeps the records as the device list would, reporting to the timeline.
    void Discover(CControllerManager& manager)
    {
        manager.Init(nullptr, &timeline);
        manager.StartSearch();
        manager.WaitForSearch();
        manager.Init(nullptr, nullptr);
        for (const DeviceRecord& r : timeline.found) {
            records.push_back(std::make_unique<DeviceRecord>(r));
            records.back()->reportWindow = &timeline;
        }
    }

    DeviceRecord& Record(const std::string& mac)
    {
        for (auto& r : records) {
            if (r->macText == mac) {
                return *r;
            }
        }
        throw std::runtime_error("module " + mac + " was not found");
    }

    void LogIn(CControllerManager& manager, DeviceRecord& r, const std::string& user, const std::string& password)
    {
        r.userName = user;
        r.password = password;
        r.action = kActionSetLogin;
        r.status = kStatusQueueLogin;
        Report(r);
        ASSERT_EQ(manager.QueueJob(&r), 1);
        manager.WaitUntilIdle();
    }

    static void NoNeighbourEntryFor(const DeviceRecord& r)
    {
        for (const char* adapter : {"pc0", "pc1"}) {
            EXPECT_NE(NeighbourTable::System().Lookup(lab::AdapterIndex(adapter), r.ip), NeighbourKind::Permanent)
                << r.ipText << " on " << adapter;
        }
    }

    Timeline timeline;
    std::vector<std::unique_ptr<DeviceRecord>> records;
};

// Discovery cannot tell how a module serves its pages, except for the data-capture box, which is the
// one model reached over plain HTTP.
json WebModule(const std::string& mac, const std::string& ip, bool https)
{
    json m = Module("Web", mac, ip);
    m["useHttps"] = https;
    if (!https) {
        m["model"] = "QT-TEXT GRABBER V7K";
    }
    m["user"] = "admin";
    m["password"] = "s3cret&=x";
    return m;
}

TEST_F(OperationsE2E, LoginSucceedsAndFailsOverHttpAndHttpsAndTheCgi)
{
    json reader = Module("BinaryDactyl", "02:00:00:FD:10:03", "192.0.2.62");
    reader["user"] = "admin";
    reader["password"] = "pa ss";
    json config = {{"modules",
                    {WebModule("02:00:00:00:10:01", "192.0.2.60", true), WebModule("02:00:00:00:10:02", "192.0.2.61", false),
                     reader}}};
    lab::Simulator sim(config);
    CControllerManager manager(ManagerServices{}, Quick());
    Discover(manager);
    for (const char* mac : {"02:00:00:00:10:01", "02:00:00:00:10:02", "02:00:00:FD:10:03"}) {
        DeviceRecord& r = Record(mac);
        const std::string right = r.kind == ModuleKind::BinaryDactyl ? "pa ss" : "s3cret&=x";
        LogIn(manager, r, "admin", "wrong");
        EXPECT_EQ(r.status, kStatusLoginFailed) << mac;
        EXPECT_EQ(r.action, kActionNone);
        LogIn(manager, r, "admin", right);
        EXPECT_EQ(r.status, kStatusLoginSuccessfully) << mac;
        EXPECT_EQ(timeline.Of(mac).statuses,
                  (std::vector<std::int32_t>{kStatusQueueLogin, kStatusLogin, kStatusLoginFailed, kStatusQueueLogin,
                                             kStatusLogin, kStatusLoginSuccessfully}))
            << mac;
        NoNeighbourEntryFor(r);
    }
    EXPECT_EQ(manager.GetJobCount(), 0);
}

TEST_F(OperationsE2E, RebootAtRealTimeComesBackAndLogsInAgain)
{
    json config = {{"restartSilenceMs", 2000}, {"modules", {WebModule("02:00:00:00:11:01", "192.0.2.63", true)}}};
    lab::Simulator sim(config);
    ManagerTiming real;  // the real settle wait and requery time
    CControllerManager manager(ManagerServices{}, real);
    Discover(manager);
    DeviceRecord& r = Record("02:00:00:00:11:01");
    LogIn(manager, r, "admin", "s3cret&=x");
    ASSERT_EQ(r.status, kStatusLoginSuccessfully);
    r.action = kActionReboot;
    r.status = kStatusQueueReboot;
    Report(r);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(manager.QueueJob(&r), 1);
    manager.WaitUntilIdle();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.action, kActionNone);
    const auto track = timeline.Of(r.macText);
    const std::vector<std::int32_t> tail(track.statuses.end() - 6, track.statuses.end());
    EXPECT_EQ(tail, (std::vector<std::int32_t>{kStatusQueueReboot, kStatusReboot, kStatusWaitForLogin,
                                               kStatusQueueLogin, kStatusLogin, kStatusLoginSuccessfully}));
    // The settle wait runs 0 to 16, the tries start at 16 and the bar never passes 100.
    std::vector<std::int32_t> waiting;
    for (const auto& [status, progress] : track.progress) {
        if (status == kStatusWaitForLogin) {
            waiting.push_back(progress);
        }
    }
    ASSERT_FALSE(waiting.empty());
    EXPECT_EQ(waiting.front(), 0);
    EXPECT_NE(std::find(waiting.begin(), waiting.end(), 16), waiting.end());
    EXPECT_LE(*std::max_element(waiting.begin(), waiting.end()), 100);
    NoNeighbourEntryFor(r);
}

TEST_F(OperationsE2E, SettingsGiveANewAddressAndTheRecordFollows)
{
    json config = {{"restartSilenceMs", 400}, {"modules", {WebModule("02:00:00:00:12:01", "192.0.2.64", true)}}};
    lab::Simulator sim(config);
    CControllerManager manager(ManagerServices{}, Quick());
    Discover(manager);
    DeviceRecord& r = Record("02:00:00:00:12:01");
    LogIn(manager, r, "admin", "s3cret&=x");
    ASSERT_EQ(r.status, kStatusLoginSuccessfully);
    const std::uint32_t oldIp = r.ip;

    ASSERT_TRUE(manager.ReserveAddress(r.ip));
    auto settings = std::make_shared<ModuleSettings>();
    settings->target = HttpTarget::ForRecord(r);
    manager.AddStaticArp(r);
    ASSERT_EQ(ReadModuleSettings(settings.get(), manager.Http()), 0);
    manager.RemoveStaticArp(r);
    EXPECT_EQ(settings->ip, oldIp);
    settings->ip = InetAddr("192.0.2.65");
    settings->machineName = "Moved door & co";
    settings->newLoginName = "admin";
    settings->newAdminPassword = "s3cret&=x";
    r.action = kActionSetting;
    r.pendingPayload = MakePayload(*settings);
    r.status = kStatusQueueSetting;
    Report(r);
    ASSERT_EQ(manager.QueueJob(&r), 1);
    ASSERT_TRUE(manager.ReleaseAddress(oldIp));
    manager.WaitUntilIdle();

    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.ipText, "192.0.2.65");
    EXPECT_EQ(r.name, "Moved door & co");
    EXPECT_FALSE(r.pendingPayload);
    EXPECT_TRUE(manager.ReserveAddress(oldIp)) << "the old address is free again";
    manager.ReleaseAddress(oldIp);
    NoNeighbourEntryFor(r);
    DeviceRecord old = r;
    old.ip = oldIp;
    NoNeighbourEntryFor(old);
}

TEST_F(OperationsE2E, UpdateToLatestWithTwoFilesAndAModuleThatNeverReturns)
{
    char folderTemplate[] = "/tmp/tarrowind-fw-XXXXXX";
    ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
    const std::string folder = std::string(folderTemplate) + "/";
    std::ofstream(folder + "a.bin") << "SIMFW version=V3.2.0-7\n" << std::string(200000, 'a');
    std::ofstream(folder + "b.bin") << std::string(100000, 'b');
    std::ofstream(folder + kFirmwareListFile) << "[QT-DC410]\nVersion=3.2.0\nDate=7\nFile=a.bin\nFile2=b.bin\n";

    json gone = WebModule("02:00:00:00:13:02", "198.51.100.66", true);
    gone["link"] = "sim1";
    gone["faults"] = {{"neverReturn", true}};
    json config = {{"restartSilenceMs", 300},
                   {"modules", {WebModule("02:00:00:00:13:01", "192.0.2.66", true), gone}}};
    config["modules"][0]["version"] = "V3.1.0-2";
    lab::Simulator sim(config);
    ManagerTiming timing = Quick();
    timing.settleMs = 4000;  // the real waits of an update
    timing.firmwarePauseMs = 20000;
    CControllerManager manager(ManagerServices{}, timing);
    manager.SetFirmwareFolder(folder);
    Discover(manager);
    DeviceRecord& r = Record("02:00:00:00:13:01");
    LogIn(manager, r, "admin", "s3cret&=x");
    ASSERT_EQ(r.status, kStatusLoginSuccessfully);
    ASSERT_EQ(CheckLatestFirmware(folder, r.model, r.version, &r.firmwareFile, &r.firmwareFile2), 1);
    EXPECT_EQ(r.firmwareFile2, folder + "b.bin");
    r.action = kActionFirmwareUpdateToLatest;
    r.status = kStatusQueueFirmwareUpdate;
    Report(r);

    DeviceRecord& g = Record("02:00:00:00:13:02");
    LogIn(manager, g, "admin", "s3cret&=x");
    ASSERT_EQ(g.status, kStatusLoginSuccessfully);
    g.action = kActionReboot;
    g.status = kStatusQueueReboot;
    Report(g);

    ASSERT_EQ(manager.QueueJob(&r), 1);
    ASSERT_EQ(manager.QueueJob(&g), 1);
    manager.WaitUntilIdle();

    EXPECT_EQ(r.status, kStatusLoginSuccessfully);
    EXPECT_EQ(r.version, "V3.2.0-7");
    const auto statuses = timeline.Of(r.macText).statuses;
    const std::vector<std::int32_t> expected = {kStatusQueueFirmwareUpdate, kStatusFirmwareUploading,
                                                kStatusFirmwareUpdating, kStatusWaitForFirmwareUpdate,
                                                kStatusFirmwareUploading, kStatusFirmwareUpdating,
                                                kStatusWaitForLogin, kStatusQueueLogin,
                                                kStatusLogin, kStatusLoginSuccessfully};
    EXPECT_EQ(std::vector<std::int32_t>(statuses.end() - static_cast<long>(expected.size()), statuses.end()), expected);

    EXPECT_EQ(g.status, kStatusCannotAccess);
    EXPECT_EQ(g.action, kActionNone);
    EXPECT_EQ(g.progress, 100);
    NoNeighbourEntryFor(r);
    NoNeighbourEntryFor(g);
    std::filesystem::remove_all(folderTemplate);
}

}  // namespace
}  // namespace tarrowind
