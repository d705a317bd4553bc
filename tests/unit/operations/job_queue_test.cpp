#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "discovery/address_text.h"
#include "discovery/module_address.h"
#include "operations/module_settings.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;
using testing::Ip;

// Records that a worker finishes at once: a status without a step.
struct JobQueueTest : testing::OperationsFixture {
    std::vector<DeviceRecord> records;
    ~JobQueueTest() override { RunWorkers(); }  // before the records they point at go
    void Make(std::size_t count, int addresses)
    {
        records.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            records[i].ip = Ip(192, 0, 2, static_cast<std::uint8_t>(10 + static_cast<int>(i) % addresses));
            records[i].status = kStatusLoginSuccessfully;
            records[i].action = kActionReboot;
        }
    }
    bool Finished(std::size_t i) const { return records[i].action == kActionNone; }
};

TEST_F(JobQueueTest, ThirtyThirdRecordRunsOnTheFirstWorkerThatFinishes)
{
    Make(33, 33);
    for (DeviceRecord& r : records) {
        EXPECT_EQ(manager->QueueJob(&r), 1);
        EXPECT_EQ(r.ownerQueue, manager.get());
    }
    EXPECT_EQ(workers.size(), 32u);
    EXPECT_EQ(manager->GetRunningCount(), 32);
    EXPECT_EQ(manager->GetJobCount(), 33);
    EXPECT_FALSE(manager->ReserveAddress(records[5].ip));  // its worker holds it

    RunWorker(7);
    EXPECT_TRUE(Finished(7));
    EXPECT_TRUE(Finished(32));
    EXPECT_FALSE(Finished(0));
    EXPECT_EQ(workers.size(), 32u);  // no worker of its own
    EXPECT_EQ(manager->GetRunningCount(), 31);
    EXPECT_EQ(manager->GetJobCount(), 31);
    RunWorkers();
    EXPECT_EQ(manager->GetRunningCount(), 0);
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_EQ(manager->QueueJob(nullptr), 0);
    EXPECT_EQ(manager->GetJobCount(), 0);
}

TEST_F(JobQueueTest, RecordOfABusyAddressWaitsForTheSameWorker)
{
    Make(3, 2);  // records 0 and 2 share an address
    manager->QueueJob(&records[0]);
    manager->QueueJob(&records[2]);
    EXPECT_EQ(workers.size(), 1u);
    manager->QueueJob(&records[1]);  // a parked record holds back no other address
    EXPECT_EQ(workers.size(), 2u);
    EXPECT_EQ(manager->GetJobCount(), 3);
    RunWorker(0);
    EXPECT_TRUE(Finished(0) && Finished(2));
    EXPECT_FALSE(Finished(1));
    EXPECT_EQ(manager->GetJobCount(), 1);
}

TEST_F(JobQueueTest, OnlyParkedRecordsCanBeWithdrawn)
{
    Make(2, 1);
    records[1].pendingPayload = MakePayload(ModuleSettings{});
    const std::weak_ptr<PendingPayload> watch = records[1].pendingPayload;
    records[0].pendingPayload = MakePayload(ModuleSettings{});
    manager->QueueJob(&records[0]);
    manager->QueueJob(&records[1]);
    EXPECT_FALSE(manager->CancelJob(&records[0]));
    EXPECT_NE(records[0].pendingPayload, nullptr);
    EXPECT_TRUE(manager->CancelJob(&records[1]));
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_FALSE(manager->CancelJob(&records[1]));
    RunWorkers();
    EXPECT_FALSE(Finished(1));  // withdrawn records are never worked on
    EXPECT_EQ(manager->GetJobCount(), 0);
}

TEST_F(JobQueueTest, ReleasingAReservedAddressStartsItsParkedRecord)
{
    Make(1, 1);
    const std::uint32_t ip = records[0].ip;
    EXPECT_FALSE(manager->ReserveAddress(0));
    EXPECT_FALSE(manager->ReleaseAddress(0));
    EXPECT_TRUE(manager->ReserveAddress(ip));
    EXPECT_FALSE(manager->ReserveAddress(ip));
    EXPECT_FALSE(manager->ReleaseAddress(Ip(192, 0, 2, 99)));
    EXPECT_EQ(manager->QueueJob(&records[0]), 1);
    EXPECT_TRUE(workers.empty());
    EXPECT_TRUE(manager->ReleaseAddress(ip));
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_EQ(manager->GetJobCount(), 1);
    EXPECT_FALSE(manager->ReserveAddress(ip));  // now its worker's
    RunWorkers();
    EXPECT_TRUE(Finished(0));
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(ip));
    EXPECT_TRUE(manager->ReleaseAddress(ip));
}

TEST_F(JobQueueTest, WorkerThatCannotStartGivesBackWhatItClaimed)
{
    Make(2, 2);
    workersStart = false;
    EXPECT_EQ(manager->QueueJob(&records[0]), 0);  // no worker at all would ever take it
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_EQ(manager->GetRunningCount(), 0);
    EXPECT_TRUE(manager->ReserveAddress(records[0].ip));
    EXPECT_TRUE(manager->ReleaseAddress(records[0].ip));

    workersStart = true;
    manager->QueueJob(&records[0]);
    workersStart = false;
    EXPECT_EQ(manager->QueueJob(&records[1]), 1);  // the running worker takes it
    EXPECT_EQ(manager->GetRunningCount(), 1);
    EXPECT_EQ(manager->GetJobCount(), 2);
    RunWorkers();
    EXPECT_TRUE(Finished(0) && Finished(1));
    EXPECT_EQ(manager->GetRunningCount(), 0);
    EXPECT_EQ(manager->GetJobCount(), 0);
}

TEST(ModuleAddress, OnlyUnicastAddressesAModuleCanHaveAreUsable)
{
    for (const char* bad : {"0.0.0.0", "0.1.2.3", "127.0.0.1", "127.255.255.254", "224.0.0.1", "239.255.255.250",
                            "255.255.255.255"}) {
        EXPECT_FALSE(IsUsableModuleAddress(ParseIpText(bad))) << bad;
    }
    for (const char* good : {"192.0.2.10", "1.0.0.0", "126.255.255.255", "128.0.0.1", "223.255.255.255", "10.0.0.0"}) {
        EXPECT_TRUE(IsUsableModuleAddress(ParseIpText(good))) << good;
    }
}

TEST_F(JobQueueTest, UnusableAddressesFailAtOnceAndReadersWithoutOneFollowEachOther)
{
    Make(4, 1);
    for (DeviceRecord& r : records) {
        r.ip = 0;
        r.reportWindow = &log;
    }
    records[1].ip = ParseIpText("127.0.0.1");
    EXPECT_EQ(manager->QueueJob(&records[0]), 0);
    EXPECT_EQ(manager->QueueJob(&records[1]), 0);
    for (int i : {0, 1}) {
        EXPECT_EQ(records[i].status, kStatusAddressUnusable);
        EXPECT_TRUE(Finished(i));
    }
    EXPECT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_TRUE(workers.empty());

    // Two readers without an address, their settings sent by broadcast: one after the other, and the
    // second is not left waiting for address 0 to be freed.
    for (int i : {2, 3}) {
        records[i].kind = ModuleKind::BinaryDactyl;
        records[i].status = kStatusQueueSetting;
        records[i].action = kActionSetting;
        EXPECT_EQ(manager->QueueJob(&records[i]), 1);
    }
    EXPECT_EQ(workers.size(), 1u);
    RunWorkers();
    EXPECT_TRUE(Finished(2) && Finished(3));
    EXPECT_EQ(manager->GetJobCount(), 0);
    EXPECT_EQ(manager->GetRunningCount(), 0);
    EXPECT_TRUE(neighbours.entries.empty());
    EXPECT_EQ(neighbours.calls, 0) << "no neighbour entry for address 0";
}

TEST(JobQueueThreads, ManyLoginsOnRealThreadsNeverShareAnAddress)
{
    testing::FakeClock clock;
    testing::FakeUdpSockets sockets{clock};
    testing::FakeAdapterTable adapters;
    testing::FakeNeighbourTable neighbours;
    testing::FakeHttpClient http;
    std::mutex lock;
    std::map<std::string, int> atHost;
    int running = 0, peak = 0;
    bool shared = false;
    http.handler = [&](const HttpRequest& r) {
        {
            std::lock_guard hold(lock);
            shared = shared || ++atHost[r.host] > 1;
            peak = std::max(peak, ++running);
        }
        // Long enough for the workers to overlap; Windows sleeps in whole milliseconds, and not at all below one.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        {
            std::lock_guard hold(lock);
            --atHost[r.host];
            --running;
        }
        return Answer("<html>ok</html>");
    };
    ManagerServices services;
    services.adapters = &adapters;
    services.neighbours = &neighbours;
    services.sockets = &sockets;
    services.clock = &clock;
    services.http = &http;
    CControllerManager manager(services);
    std::vector<DeviceRecord> records(240);
    for (std::size_t i = 0; i < records.size(); ++i) {
        DeviceRecord& r = records[i];
        r.ip = Ip(192, 0, 2, static_cast<std::uint8_t>(1 + i % 50));
        r.ipText = FormatIp(r.ip);
        r.adapterIndex = 2;
        r.status = kStatusQueueLogin;
        r.action = kActionSetLogin;
        r.useHttps = 0;
    }
    for (DeviceRecord& r : records) {
        ASSERT_EQ(manager.QueueJob(&r), 1);
    }
    manager.WaitUntilIdle();
    EXPECT_EQ(manager.GetJobCount(), 0);
    EXPECT_EQ(manager.GetRunningCount(), 0);
    EXPECT_EQ(http.Requests().size(), records.size());
    std::lock_guard hold(lock);
    EXPECT_FALSE(shared);
    EXPECT_LE(peak, CControllerManager::kMaxWorkers);
    EXPECT_GT(peak, 1);
    for (const DeviceRecord& r : records) {
        EXPECT_EQ(r.status, kStatusLoginSuccessfully);
        EXPECT_EQ(r.action, kActionNone);
    }
    EXPECT_TRUE(neighbours.entries.empty());
}

// Each worker thread marks its end in a thread-local's destructor, the last thing a thread does.
std::atomic<int> g_threadsGone{0};
struct ThreadEndWatch {
    ~ThreadEndWatch() { ++g_threadsGone; }
};
thread_local ThreadEndWatch t_endWatch;

TEST(JobQueueThreads, StopEndsRunningExchangesAndWithdrawsTheParkedAndNoWorkerOutlivesTheManager)
{
    testing::FakeClock clock;
    testing::FakeUdpSockets sockets{clock};
    testing::FakeAdapterTable adapters;
    testing::FakeNeighbourTable neighbours;
    testing::FakeHttpClient http;
    std::atomic<int> inside{0};
    std::mutex lock;
    std::set<std::thread::id> threads;
    http.handler = [&](const HttpRequest& r) {
        (void)t_endWatch;  // made on this thread
        {
            std::lock_guard hold(lock);
            threads.insert(std::this_thread::get_id());
        }
        ++inside;
        // A module that never answers: only the stop ends the exchange.
        while (r.abandon == nullptr || !r.abandon->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return HttpResult{HttpClient::kAborted, 0, {}};
    };
    ManagerServices services;
    services.adapters = &adapters;
    services.neighbours = &neighbours;
    services.sockets = &sockets;
    services.clock = &clock;
    services.http = &http;
    const int goneBefore = g_threadsGone.load();
    std::vector<DeviceRecord> records(CControllerManager::kMaxWorkers + 3);
    {
        CControllerManager manager(services);
        for (std::size_t i = 0; i < records.size(); ++i) {
            DeviceRecord& r = records[i];
            r.ip = Ip(192, 0, 2, static_cast<std::uint8_t>(1 + i));
            r.ipText = FormatIp(r.ip);
            r.adapterIndex = 2;
            r.mac = {2, 0, 0, 0, 0, static_cast<std::uint8_t>(i)};
            r.status = kStatusQueueLogin;
            r.action = kActionSetLogin;
            ASSERT_EQ(manager.QueueJob(&r), 1);
        }
        while (inside.load() < CControllerManager::kMaxWorkers) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_FALSE(neighbours.entries.empty());
        const std::vector<DeviceRecord*> withdrawn = manager.StopJobs();
        EXPECT_EQ(withdrawn.size(), 3u);
        manager.WaitUntilIdle();
        EXPECT_EQ(manager.GetJobCount(), 0);
        EXPECT_EQ(manager.QueueJob(&records.back()), 0) << "a stopped queue takes nothing";
        EXPECT_TRUE(neighbours.entries.empty()) << "each worker removed its entry as it ended";
    }
    for (std::size_t i = 0; i < CControllerManager::kMaxWorkers; ++i) {
        EXPECT_EQ(records[i].status, kStatusLoginFailed);
        EXPECT_EQ(records[i].action, kActionNone);
    }
    std::lock_guard hold(lock);
    EXPECT_EQ(threads.size(), static_cast<std::size_t>(CControllerManager::kMaxWorkers));
    EXPECT_EQ(g_threadsGone.load() - goneBefore, CControllerManager::kMaxWorkers)
        << "every worker thread has ended when the manager is gone";
}

}  // namespace
}  // namespace tarrowind
