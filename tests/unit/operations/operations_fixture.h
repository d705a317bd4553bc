#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "discovery/reply_parser.h"
#include "operations/known_modules.h"
#include "operations/pending_payload.h"
#include "tests/unit/fakes/fake_http.h"
#include "tests/unit/fakes/fake_network.h"
#include "tests/unit/fakes/reply_bytes.h"
#include "tests/unit/fakes/test_environment.h"

namespace tarrowind::testing {

// A folder of the test's own under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir()
    {
        path = MakeTempFolder("tarrowind-test-").string() + "/";
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to `name` below the folder, making its folders; returns the full path.
    std::string Write(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = path + name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    std::string path;  // ends with "/"
};

// A configuration page carrying every value its form posts back; `extra` is put in front, so that its
// variables are the ones found first.
inline std::string SettingsPage(const std::string& extra = {})
{
    return extra + "<script>var va_machname = 'Door'; var va_EnableDHCP = 0; var va_IpAddr = '192.0.2.10';"
                   "var va_NetMask = '255.255.255.0'; var va_Gateway = '192.0.2.254';"
                   "var va_DNServer = '192.0.2.53'; var va_SendtoServer = 2; var va_ServerAddress = '0.0.0.0';"
                   "var va_MyName = 'me'; var va_ddns = 0; var va_HostName = ''; var va_UserName = 'du';"
                   "var va_DDNSPasswd = 'dp'; var va_3Des1 = 'k1'; var va_3Des2 = 'k2'; var va_3Des3 = 'k3';"
                   "var va_DevicePort = '4001';</script>";
}

inline HttpResult Answer(std::string body, long status = 200)
{
    return HttpResult{0, status, std::move(body)};
}

// Every report a row would be repainted for.
class ReportLog final : public CoreEvents {
public:
    struct Entry {
        std::int32_t action, status, progress;
    };
    void OnReport(DeviceRecord& r) override
    {
        std::lock_guard hold(m_lock);
        entries.push_back({r.action, r.status, r.progress});
    }
    // The statuses in the order shown, each change once.
    std::vector<std::int32_t> Statuses() const
    {
        std::vector<std::int32_t> out;
        for (const Entry& e : entries) {
            if (out.empty() || out.back() != e.status) {
                out.push_back(e.status);
            }
        }
        return out;
    }
    std::vector<std::int32_t> ProgressWhile(std::int32_t status) const
    {
        std::vector<std::int32_t> out;
        for (const Entry& e : entries) {
            if (e.status == status) {
                out.push_back(e.progress);
            }
        }
        return out;
    }
    std::vector<Entry> entries;

private:
    std::mutex m_lock;
};

// A manager on fakes (one adapter, pc0 = 192.0.2.1/24, index 2) whose workers run only when the test
// runs them, on the test's thread.
struct OperationsFixture : ::testing::Test {
    FakeClock clock;
    FakeUdpSockets sockets{clock};
    FakeAdapterTable adapters;
    FakeNeighbourTable neighbours;
    FakeHttpClient http;
    KnownModules known{""};  // in memory
    ReportLog log;
    std::vector<std::function<void()>> workers;
    bool workersStart = true;
    std::unique_ptr<CControllerManager> manager;

    static ManagerTiming ShortTiming()
    {
        ManagerTiming t;
        t.searchMs = 100;
        t.requeryMs = 50;
        t.acknowledgementMs = 50;
        t.settleMs = 100;
        t.firmwarePauseMs = 200;
        return t;  // poll interval and stall limit keep their defaults: the fake clock costs nothing
    }

    explicit OperationsFixture(ManagerTiming timing = ShortTiming())
    {
        adapters.table = std::vector<SystemAdapter>{{2, "pc0", {{"192.0.2.1", "255.255.255.0"}}}};
        ManagerServices services;
        services.adapters = &adapters;
        services.neighbours = &neighbours;
        services.sockets = &sockets;
        services.clock = &clock;
        services.http = &http;
        services.knownModules = &known;
        services.startWorker = [this](std::function<void()> work) {
            if (workersStart) {
                workers.push_back(std::move(work));
            }
            return workersStart;
        };
        manager = std::make_unique<CControllerManager>(services, timing);
        manager->EnumerateAdapters();
    }
    ~OperationsFixture() override { RunWorkers(); }  // the manager waits for every started worker

    // Runs one started worker to its end on this thread.
    void RunWorker(std::size_t i)
    {
        auto work = std::move(workers.at(i));
        workers[i] = nullptr;
        if (work) {
            work();
        }
    }
    // Runs every started worker not run yet, including those they start, until none is left.
    void RunWorkers()
    {
        for (std::size_t i = 0; i < workers.size(); ++i) {
            RunWorker(i);
        }
    }

    // A web module as a search through pc0 found it.
    DeviceRecord WebModule(const std::string& ip = "192.0.2.10", const std::string& mac = "02:00:00:00:01:01")
    {
        TextReplyFields f;
        f.ip = ip;
        f.mac = mac;
        const auto reply = TextReply(252, f);
        DeviceRecord r;
        ParseReply(r, reply.data(), 252, 2, "pc0");
        r.reportWindow = &log;
        r.userName = "admin";
        r.password = "secret";
        return r;
    }
    DeviceRecord DactylReader()
    {
        const auto reply = BinaryReply();
        DeviceRecord r;
        ParseReply(r, reply.data(), static_cast<std::int32_t>(reply.size()), 2, "pc0");
        r.reportWindow = &log;
        r.userName = "admin";
        return r;
    }
    // Web modules answer a requery from the address they were asked at; readers answer a broadcast.
    void ModulesAnswer(const std::string& mac = "02:00:00:00:01:01", const std::string& version = "V3.10R2")
    {
        sockets.responder = [mac, version](const FakeUdpSockets::Sent& s) -> std::vector<FakeUdpSockets::Answer> {
            if (s.port == CControllerManager::kBinaryProbePort) {
                return {{5, BinaryReply()}};
            }
            TextReplyFields f;
            f.ip = FormatIp(s.address);
            f.mac = mac;
            f.version = version;
            return {{5, TextReply(252, f)}};
        };
    }
};

}  // namespace tarrowind::testing
