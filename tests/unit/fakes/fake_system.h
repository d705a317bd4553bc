#pragma once

#include "operations/controller_manager.h"
#include "tests/unit/fakes/fake_http.h"
#include "tests/unit/fakes/fake_network.h"

namespace tarrowind::testing {

// Every system service of the manager in memory, for programs that need a manager but no network. The
// adapter table cannot be read until a table is set, so a search ends at once.
struct FakeSystem {
    FakeClock clock;
    FakeUdpSockets sockets{clock};
    FakeAdapterTable adapters;
    FakeNeighbourTable neighbours;
    FakeHttpClient http;

    // `web` replaces the in-memory HTTP layer when given.
    ManagerServices Services(HttpClient* web = nullptr)
    {
        ManagerServices s;
        s.adapters = &adapters;
        s.neighbours = &neighbours;
        s.sockets = &sockets;
        s.clock = &clock;
        s.http = web != nullptr ? web : &http;
        return s;
    }
};

}  // namespace tarrowind::testing
