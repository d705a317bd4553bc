#include <gtest/gtest.h>

#include <deque>
#include <algorithm>
#include <cstdio>
#include <string>

#include "operations/update_waves.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;

// Web modules 192.0.2.10, .11, ... updated from one file; each comes back with a new version unless its
// upload is refused. Workers run when the test runs them.
struct UpdateWavesTest : testing::OperationsFixture {
    testing::TempDir dir;
    std::string file = dir.Write("a.bin", "image");
    std::deque<DeviceRecord> modules;
    std::string failingIp;  // its upload is refused
    std::vector<int> jobsAtUpload;  // actions queued or running as each upload began
    UpdateWaves waves;

    UpdateWavesTest()
    {
        sockets.responder = [this](const testing::FakeUdpSockets::Sent& s) -> std::vector<testing::FakeUdpSockets::Answer> {
            testing::TextReplyFields f;
            f.ip = FormatIp(s.address);
            f.mac = MacOf(f.ip);
            f.version = "V3.10R3";
            return {{5, testing::TextReply(252, f)}};
        };
        http.handler = [this](const HttpRequest& r) {
            if (r.path == "/ETHUpload.cgi") {
                jobsAtUpload.push_back(manager->GetJobCount());
                if (r.host == failingIp) {
                    return HttpResult{7, 0, {}};
                }
            }
            return Answer(r.path == "/Eng/FMUpProcess.htm" ? "var va_Finish = 4; var va_Total = 4;" : "ok");
        };
    }
    ~UpdateWavesTest() override { RunWorkers(); }

    static std::string IpOf(std::size_t i) { return "192.0.2." + std::to_string(10 + i); }
    static std::string MacOf(const std::string& ip)
    {
        const int last = std::stoi(ip.substr(ip.rfind('.') + 1));
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:01:%02X", last);
        return mac;
    }
    // `count` logged-in modules shown queued for an update, handed to the coordinator.
    void Begin(std::size_t count, WaveOptions options)
    {
        std::vector<DeviceRecord*> batch;
        for (std::size_t i = 0; i < count; ++i) {
            modules.push_back(WebModule(IpOf(i), MacOf(IpOf(i))));
            DeviceRecord& r = modules.back();
            r.action = kActionFirmwareUpdate;
            r.status = kStatusQueueFirmwareUpdate;
            r.firmwareFile = file;
            batch.push_back(&r);
        }
        waves.Begin(*manager, batch, options);
    }
    std::size_t Count(const std::function<bool(const DeviceRecord&)>& which) const
    {
        return static_cast<std::size_t>(std::count_if(modules.begin(), modules.end(), which));
    }
    std::size_t Updated() const
    {
        return Count([](const DeviceRecord& r) {
            return r.action == kActionNone && r.status == kStatusLoginSuccessfully && r.version == "V3.10R3";
        });
    }
    std::size_t Held() const
    {
        return Count([](const DeviceRecord& r) {
            return r.action == kActionNone && r.status == kStatusLoginSuccessfully &&
                   r.failureReason == FailureReason::Held && r.versionBefore.empty();
        });
    }
};

TEST_F(UpdateWavesTest, TheFirstWaveRunsAloneAndTheRestFollowAsWideAsTheQueue)
{
    Begin(40, {2, true});
    EXPECT_EQ(workers.size(), 2u);
    EXPECT_EQ(waves.WaitingCount(), 38u);
    RunWorker(0);
    EXPECT_EQ(workers.size(), 2u) << "one of the first wave still runs";
    EXPECT_EQ(waves.WaitingCount(), 38u);
    RunWorkers();
    EXPECT_EQ(Updated(), 40u);
    ASSERT_EQ(jobsAtUpload.size(), 40u);
    EXPECT_EQ(jobsAtUpload[0], 2);
    EXPECT_EQ(jobsAtUpload[1], 1);
    EXPECT_EQ(*std::max_element(jobsAtUpload.begin() + 2, jobsAtUpload.end()),
              static_cast<int>(UpdateWaves::kWaveWidth));
    EXPECT_EQ(waves.WaitingCount(), 0u);
    EXPECT_EQ(manager->GetJobCount(), 0);
    for (const DeviceRecord& r : modules) {
        EXPECT_EQ(r.reportWindow, &log) << "each record has its own report window back";
    }
}

TEST_F(UpdateWavesTest, AFailureHoldsEveryModuleNotStartedAndLetsTheRunningOnesFinish)
{
    // The first wave fails: nothing else starts, whatever stopOnFailure says.
    failingIp = IpOf(0);
    Begin(5, {1, false});
    RunWorkers();
    EXPECT_EQ(workers.size(), 1u);
    EXPECT_EQ(modules[0].status, kStatusFirmwareUpdateFailed);
    EXPECT_EQ(Held(), 4u);
    EXPECT_EQ(manager->GetJobCount(), 0);

    // A failure in the second wave. Its modules 1 to 31 get workers of their own; 32 finds all busy and
    // is taken by the first wave's worker, which runs it before the others run.
    workers.clear();
    modules.clear();
    failingIp = IpOf(32);
    Begin(41, {1, true});
    RunWorker(0);
    EXPECT_EQ(modules[32].status, kStatusFirmwareUpdateFailed);
    EXPECT_EQ(Held(), 8u);
    EXPECT_EQ(waves.WaitingCount(), 0u);
    RunWorkers();
    EXPECT_EQ(Updated(), 32u) << "the updates running at the failure finish";
    EXPECT_EQ(Held(), 8u);
    EXPECT_EQ(manager->GetJobCount(), 0);

    // An update handed to the queue but still parked (its address busy) has not started: it is held too.
    workers.clear();
    modules.clear();
    failingIp = IpOf(1);
    ASSERT_TRUE(manager->ReserveAddress(InetAddr(IpOf(3))));
    Begin(5, {1, true});
    RunWorker(0);  // the first wave, then 1, 2 and 4 on workers of their own and 3 parked
    ASSERT_EQ(workers.size(), 4u);
    RunWorker(1);
    EXPECT_EQ(modules[3].failureReason, FailureReason::Held);
    EXPECT_EQ(modules[3].action, kActionNone);
    manager->ReleaseAddress(InetAddr(IpOf(3)));
    RunWorkers();
    EXPECT_EQ(workers.size(), 4u);
    EXPECT_EQ(Updated(), 3u);

    // Without stopOnFailure a failure after the first wave stops nothing.
    workers.clear();
    modules.clear();
    Begin(41, {1, false});
    RunWorkers();
    EXPECT_EQ(Updated(), 40u);
    EXPECT_EQ(Held(), 0u);
}

TEST_F(UpdateWavesTest, CancelledModulesLeaveTheRolloutAndACancelledFirstWaveIsFollowedByAnother)
{
    // The first module's address is busy: its update parks, and so can be cancelled.
    ASSERT_TRUE(manager->ReserveAddress(InetAddr(IpOf(0))));
    Begin(4, {1, true});
    EXPECT_TRUE(workers.empty());
    EXPECT_TRUE(waves.Withdraw(&modules[3]));
    EXPECT_FALSE(waves.Withdraw(&modules[3]));
    EXPECT_FALSE(waves.Withdraw(&modules[0])) << "handed to the queue: cancelled there";
    EXPECT_EQ(modules[3].reportWindow, &log);
    ASSERT_TRUE(manager->CancelJob(&modules[0]));
    modules[0].action = kActionNone;
    modules[0].status = kStatusLoginSuccessfully;
    modules[0].failureReason = FailureReason::Cancelled;
    Report(modules[0]);
    EXPECT_EQ(workers.size(), 1u) << "the next module is the new first wave";
    EXPECT_EQ(waves.WaitingCount(), 1u);
    manager->ReleaseAddress(InetAddr(IpOf(0)));
    RunWorkers();
    EXPECT_EQ(modules[1].status, kStatusLoginSuccessfully);
    EXPECT_EQ(modules[2].status, kStatusLoginSuccessfully);
    EXPECT_TRUE(modules[0].versionBefore.empty() && modules[3].versionBefore.empty()) << "never started";
    EXPECT_EQ(modules[3].action, kActionFirmwareUpdate) << "a withdrawn record is the caller's to put back";

    // The queue stops: what waits is put back as cancelled, not held.
    workers.clear();
    modules.clear();
    Begin(3, {1, true});
    manager->StopJobs();
    RunWorkers();
    EXPECT_EQ(Held(), 0u);
    EXPECT_EQ(Count([](const DeviceRecord& r) { return r.failureReason == FailureReason::Cancelled; }), 2u);
    EXPECT_EQ(waves.WaitingCount(), 0u);
}

}  // namespace
}  // namespace tarrowind
