#pragma once

#include <functional>
#include <vector>

#include "operations/controller_manager.h"
#include "tests/unit/fakes/fake_http.h"
#include "tests/unit/fakes/fake_network.h"
#include "tests/unit/fakes/reply_bytes.h"

namespace tarrowind::testing {

// A window's services over fakes: one adapter, two modules that answer the text probe (02:..:01:01 at
// 192.0.2.10, 02:..:01:02 at 192.0.2.11, or both at .10), workers that run only when the test runs them.
struct FakeWindowSite {
    FakeClock clock;
    FakeUdpSockets sockets{clock};
    FakeAdapterTable adapters;
    FakeNeighbourTable neighbours;
    FakeHttpClient http;
    std::vector<std::function<void()>> workers;
    bool oneAddress = false;  // both modules answer from 192.0.2.10, as new ones on their factory address

    FakeWindowSite()
    {
        adapters.table = std::vector<SystemAdapter>{{2, "pc0", {{"192.0.2.1", "255.255.255.0"}}}};
        sockets.responder = [this](const FakeUdpSockets::Sent& s) {
            std::vector<FakeUdpSockets::Answer> answers;
            if (s.port == CControllerManager::kBinaryProbePort) {
                return answers;
            }
            for (const char* mac : {"02:00:00:00:01:01", "02:00:00:00:01:02"}) {
                TextReplyFields f;
                f.mac = mac;
                f.ip = mac[16] == '1' || oneAddress ? "192.0.2.10" : "192.0.2.11";
                answers.push_back({5, TextReply(252, f)});
            }
            return answers;
        };
    }
    ManagerServices Services()
    {
        ManagerServices s;
        s.adapters = &adapters;
        s.neighbours = &neighbours;
        s.sockets = &sockets;
        s.clock = &clock;
        s.http = &http;
        s.startWorker = [this](std::function<void()> work) {
            workers.push_back(std::move(work));
            return true;
        };
        return s;
    }
    void RunWorkers()
    {
        for (std::size_t i = 0; i < workers.size(); ++i) {
            auto work = std::move(workers[i]);
            work();
        }
        workers.clear();
    }
};

}  // namespace tarrowind::testing
