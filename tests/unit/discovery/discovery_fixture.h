#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "discovery/module_search.h"
#include "tests/unit/fakes/fake_network.h"
#include "tests/unit/fakes/reply_bytes.h"

namespace tarrowind::testing {

// Records every event the core sends, with the fake time it was sent at.
class RecordingEvents final : public CoreEvents {
public:
    explicit RecordingEvents(FakeClock& clock) : m_clock(clock) {}
    void OnSearchState(SearchState state, int seconds) override
    {
        states.push_back({state, seconds, m_clock.now});
    }
    void OnModuleFound(const DeviceRecord& record) override
    {
        found.push_back(record);
        if (onFound) {
            onFound(record);
        }
    }
    void OnReport(DeviceRecord& record) override { progress.push_back(record.progress); }

    struct State {
        SearchState state;
        int seconds;
        std::uint32_t at;
    };
    std::vector<State> states;
    std::vector<DeviceRecord> found;
    std::vector<std::int32_t> progress;
    std::function<void(const DeviceRecord&)> onFound;

private:
    FakeClock& m_clock;
};

// Two real adapters (192.0.2.1/24 as index 2, 198.51.100.1/24 as index 3) and the Broadcast adapter.
struct DiscoveryFixture : ::testing::Test {
    FakeClock clock;
    FakeUdpSockets sockets{clock};
    FakeAdapterTable adapters;
    FakeNeighbourTable neighbours;
    RecordingEvents events{clock};
    std::unique_ptr<ModuleSearch> search;

    DiscoveryFixture()
    {
        adapters.table = std::vector<SystemAdapter>{
            {2, "pc0", {{"192.0.2.1", "255.255.255.0"}}},
            {3, "pc1", {{"198.51.100.1", "255.255.255.0"}}},
        };
        SearchServices services;
        services.adapters = &adapters;
        services.neighbours = &neighbours;
        services.sockets = &sockets;
        services.clock = &clock;
        search = std::make_unique<ModuleSearch>(services);
        search->Init(&events, &events);
    }

    static bool IsTextProbe(const FakeUdpSockets::Sent& s)
    {
        return s.port == 10002 && s.data == std::vector<std::uint8_t>{'i', 'n', 'f', 'o'};
    }
    static bool IsBinaryProbe(const FakeUdpSockets::Sent& s)
    {
        return s.port == 23 && s.data == std::vector<std::uint8_t>{0xFF, 0x04, 0x02, 0xFB};
    }
};

}  // namespace tarrowind::testing

namespace tarrowind {

// The names every discovery test uses.
using testing::BinaryReply;
using testing::BinaryReplyFields;
using testing::DiscoveryFixture;
using testing::FakeUdpSockets;
using testing::Ip;
using testing::TextReply;
using testing::TextReplyFields;
using Answers = std::vector<FakeUdpSockets::Answer>;

}  // namespace tarrowind
